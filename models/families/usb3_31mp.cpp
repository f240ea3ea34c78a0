// The two USB3 3.1 MP classes and their factories: one descriptor each, no code of their own.
#include "models/families/usb3_31mp.h"

#include "models/common/cmos_model.h"

using ImplRostrel303100KPA = CmosModel<kSpecRostrel303100KPA>;
using ImplPelvane303100KPA = CmosModel<kSpecPelvane303100KPA>;

ZX_DEFINE_MODEL_FACTORY(Rostrel303100KPA, CreateModel)
ZX_DEFINE_MODEL_FACTORY(Pelvane303100KPA, CreateModel)
