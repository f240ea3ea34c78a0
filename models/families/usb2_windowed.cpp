// The USB2 windowed and 14 MP classes and their factories: one descriptor each, no code of their
// own.
#include "models/families/usb2_windowed.h"

#include "models/common/cmos_model.h"

ZX_DEFINE_MODEL_FACTORY(Rostrel03100KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane03100KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Rostrel05100KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane05100KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Rostrel08000KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Rostrel09000KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Rostrel10000KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane08000KPB, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane09000KPB, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane10000KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Rostrel14000KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane14000KPA, CreateModel)
