// Factories of the models not built yet: no camera object, so opening such a device finds none.
// Each model's own source replaces its line here with a real factory.
#include "models/model_factories.h"

#define ZX_PENDING_FACTORY(code)                                           \
  BaseImpl* Create##code(const WCHAR16*, const WCHAR16*, uint8_t, uint8_t, \
                         const ModelInfo*) noexcept {                      \
    return nullptr;                                                        \
  }

// TODO(#30): the USB2 3.1 to 14 MP classes.
ZX_PENDING_FACTORY(Rostrel03100KPA)
ZX_PENDING_FACTORY(Pelvane03100KPA)
// TODO(#31): the CCD classes.
ZX_PENDING_FACTORY(Quillard01400KPB)
ZX_PENDING_FACTORY(Quillard01400KPBV2)
ZX_PENDING_FACTORY(Quillard03100KPB)
ZX_PENDING_FACTORY(Quillard03100KPBV2)
ZX_PENDING_FACTORY(Quillard05100KPA)
ZX_PENDING_FACTORY(Quillard05100KPAV2)
