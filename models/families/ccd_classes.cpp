// The six CCD classes' factories: one descriptor each, no code of their own.
#include "models/common/ccd_model.h"
#include "models/families/ccd_14mp.h"
#include "models/families/ccd_31mp.h"
#include "models/families/ccd_51mp.h"

#define ZX_CCD_FACTORY(code)                                                           \
  BaseImpl* Create##code(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b, \
                         const ModelInfo* info) noexcept {                             \
    return CreateCcdModel<kSpec##code>(id, root, a, b, info);                          \
  }

ZX_CCD_FACTORY(Quillard01400KPB)
ZX_CCD_FACTORY(Quillard01400KPBV2)
ZX_CCD_FACTORY(Quillard03100KPB)
ZX_CCD_FACTORY(Quillard03100KPBV2)
ZX_CCD_FACTORY(Quillard05100KPA)
ZX_CCD_FACTORY(Quillard05100KPAV2)
