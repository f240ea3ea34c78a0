// The six CCD classes' factories: one descriptor each, no code of their own.
#include "models/common/ccd_model.h"
#include "models/families/ccd_14mp.h"
#include "models/families/ccd_31mp.h"
#include "models/families/ccd_51mp.h"

ZX_DEFINE_MODEL_FACTORY(Quillard01400KPB, CreateCcdModel)
ZX_DEFINE_MODEL_FACTORY(Quillard01400KPBV2, CreateCcdModel)
ZX_DEFINE_MODEL_FACTORY(Quillard03100KPB, CreateCcdModel)
ZX_DEFINE_MODEL_FACTORY(Quillard03100KPBV2, CreateCcdModel)
ZX_DEFINE_MODEL_FACTORY(Quillard05100KPA, CreateCcdModel)
ZX_DEFINE_MODEL_FACTORY(Quillard05100KPAV2, CreateCcdModel)
