// The four USB3 8.5 MP and 10 MP classes and their factories: one descriptor each, no code of
// their own.
#include "models/families/usb3_85_10mp.h"

#include "models/common/cmos_model.h"

#define ZX_MODEL_FACTORY(code)                                                         \
  BaseImpl* Create##code(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b, \
                         const ModelInfo* info) noexcept {                             \
    return CreateModel<kSpec##code>(id, root, a, b, info);                             \
  }
ZX_MODEL_FACTORY(Rostrel308500KPA)
ZX_MODEL_FACTORY(Pelvane308500KPA)
ZX_MODEL_FACTORY(Rostrel310000KPA)
ZX_MODEL_FACTORY(Pelvane310000KPA)
#undef ZX_MODEL_FACTORY
