// The two USB3 5.1 MP classes and their factories: one descriptor each, no code of their own.
#include "models/families/usb3_51mp.h"

#include "models/common/cmos_model.h"

ZX_DEFINE_MODEL_FACTORY(Rostrel305100KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane305100KPA, CreateModel)
