// The eight USB2 small-sensor classes and their factories: one descriptor each, no code of their
// own.
#include "models/families/usb2_small.h"

#include "models/common/cmos_model.h"

#define ZX_USB2_SMALL_FACTORY(code)                                                    \
  BaseImpl* Create##code(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b, \
                         const ModelInfo* info) noexcept {                             \
    return CreateModel<kSpec##code>(id, root, a, b, info);                             \
  }

ZX_USB2_SMALL_FACTORY(Rostrel01300KPA)
ZX_USB2_SMALL_FACTORY(Pelvane01300KPA)
ZX_USB2_SMALL_FACTORY(Rostrel01300KPAV2)
ZX_USB2_SMALL_FACTORY(Pelvane01300KPAV2)
ZX_USB2_SMALL_FACTORY(Rostrel02000KPA)
ZX_USB2_SMALL_FACTORY(Pelvane02000KPB)
ZX_USB2_SMALL_FACTORY(Pelvane00350KPA)
ZX_USB2_SMALL_FACTORY(Pelvane01300KMA)
