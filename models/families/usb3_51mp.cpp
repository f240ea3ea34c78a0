// The two USB3 5.1 MP classes and their factories: one descriptor each, no code of their own.
#include "models/families/usb3_51mp.h"

#include "models/common/cmos_model.h"

BaseImpl* CreateRostrel305100KPA(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b,
                                 const ModelInfo* info) noexcept {
  return CreateModel<kSpecRostrel305100KPA>(id, root, a, b, info);
}

BaseImpl* CreatePelvane305100KPA(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b,
                                 const ModelInfo* info) noexcept {
  return CreateModel<kSpecPelvane305100KPA>(id, root, a, b, info);
}
