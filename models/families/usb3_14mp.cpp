// The two USB3 14 MP classes and their factories: one descriptor each, no code of their own.
#include "models/families/usb3_14mp.h"

#include "models/common/cmos_model.h"

ZX_DEFINE_MODEL_FACTORY(Rostrel314000KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane314000KPA, CreateModel)
