// The two USB3 14 MP classes and their factories: one descriptor each, no code of their own.
#include "models/families/usb3_14mp.h"

#include "models/common/cmos_model.h"

BaseImpl* CreateRostrel314000KPA(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b,
                                 const ModelInfo* info) noexcept {
  return CreateModel<kSpecRostrel314000KPA>(id, root, a, b, info);
}

BaseImpl* CreatePelvane314000KPA(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b,
                                 const ModelInfo* info) noexcept {
  return CreateModel<kSpecPelvane314000KPA>(id, root, a, b, info);
}
