// The two USB3 3.1 MP classes and their factories: one descriptor each, no code of their own.
#include "models/families/usb3_31mp.h"

#include "models/common/cmos_model.h"

using ImplRostrel303100KPA = CmosModel<kSpecRostrel303100KPA>;
using ImplPelvane303100KPA = CmosModel<kSpecPelvane303100KPA>;

BaseImpl* CreateRostrel303100KPA(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b,
                                 const ModelInfo* info) noexcept {
  return CreateModel<kSpecRostrel303100KPA>(id, root, a, b, info);
}

BaseImpl* CreatePelvane303100KPA(const WCHAR16* id, const WCHAR16* root, uint8_t a, uint8_t b,
                                 const ModelInfo* info) noexcept {
  return CreateModel<kSpecPelvane303100KPA>(id, root, a, b, info);
}
