// The four USB3 8.5 MP and 10 MP classes and their factories: one descriptor each, no code of
// their own.
#include "models/families/usb3_85_10mp.h"

#include "models/common/cmos_model.h"

ZX_DEFINE_MODEL_FACTORY(Rostrel308500KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane308500KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Rostrel310000KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane310000KPA, CreateModel)
