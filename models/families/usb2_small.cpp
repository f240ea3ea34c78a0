// The eight USB2 small-sensor classes and their factories: one descriptor each, no code of their
// own.
#include "models/families/usb2_small.h"

#include "models/common/cmos_model.h"

ZX_DEFINE_MODEL_FACTORY(Rostrel01300KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane01300KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Rostrel01300KPAV2, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane01300KPAV2, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Rostrel02000KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane02000KPB, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane00350KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane01300KMA, CreateModel)
