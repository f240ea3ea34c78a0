// The USB2 windowed and 14 MP classes and their factories: one descriptor each, no code of their
// own.
#include "models/families/usb2_windowed.h"

#include "models/common/cmos_model.h"

#define ZX_MODEL_FACTORY(code)                                                         \
  BaseImpl* Create##code(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b, \
                         const ModelInfo* info) noexcept {                             \
    return CreateModel<kSpec##code>(id, root, a, b, info);                             \
  }
ZX_MODEL_FACTORY(Rostrel03100KPA)
ZX_MODEL_FACTORY(Pelvane03100KPA)
ZX_MODEL_FACTORY(Rostrel05100KPA)
ZX_MODEL_FACTORY(Pelvane05100KPA)
ZX_MODEL_FACTORY(Rostrel08000KPA)
ZX_MODEL_FACTORY(Rostrel09000KPA)
ZX_MODEL_FACTORY(Rostrel10000KPA)
ZX_MODEL_FACTORY(Pelvane08000KPB)
ZX_MODEL_FACTORY(Pelvane09000KPB)
ZX_MODEL_FACTORY(Pelvane10000KPA)
ZX_MODEL_FACTORY(Rostrel14000KPA)
ZX_MODEL_FACTORY(Pelvane14000KPA)
#undef ZX_MODEL_FACTORY
