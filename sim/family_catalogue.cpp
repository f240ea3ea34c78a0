// The simulated sensor of each product id.
#include "sim/family_catalogue.h"

#include "sim/ccd_family.h"
#include "sim/usb3_31mp_family.h"
#include "sim/usb3_51mp_family.h"
#include "sim/usb3_85_10mp_family.h"
#include "sim/usb3_14mp_family.h"
#include "sim/usb2_13mp_family.h"
#include "sim/usb2_13mp_grey_family.h"
#include "sim/usb2_13mp_v2_family.h"
#include "sim/usb2_2mp_family.h"
#include "sim/usb2_31mp_family.h"
#include "sim/usb2_vga_family.h"
#include "sim/usb2_51mp_family.h"
#include "sim/usb2_8_14mp_family.h"

namespace sim {
namespace {
constexpr uint16_t kUsb2Offset = 0x1000;

template <typename Family>
std::unique_ptr<SensorFamily> make() {
  return std::make_unique<Family>();
}
template <bool Pelvane>
std::unique_ptr<SensorFamily> make2Mp() {
  return std::make_unique<Usb2Mp2Family>(Pelvane);
}
template <CcdKind Kind, bool Second>
std::unique_ptr<SensorFamily> makeCcd() {
  return std::make_unique<CcdFamily>(Kind, Second);
}
template <bool Alternative>
std::unique_ptr<SensorFamily> make14() {
  return std::make_unique<Usb3Mp14Family>(Alternative);
}

template <Usb2Mp8To14Family::Kind K>
std::unique_ptr<SensorFamily> makeUsb2() {
  return std::make_unique<Usb2Mp8To14Family>(K);
}
constexpr auto kMp8To10 = makeUsb2<Usb2Mp8To14Family::Kind::Mp8To10>;
constexpr auto kMp10Wide = makeUsb2<Usb2Mp8To14Family::Kind::Mp10Wide>;
constexpr auto kMp14 = makeUsb2<Usb2Mp8To14Family::Kind::Mp14>;

// The EEPROM's lists: one for full size and one or two (binned, skipped) per reduced size.
constexpr FamilyEntry kFamilies[] = {
    {0xC310, make<Usb3Mp31Family>, 0, {372, 256, 379}, 2},
    {0x3310, make<Usb3Mp31Family>, 0, {372, 256, 379}, 2},
    {0xC510, make<Usb3Mp51Family>, 1, {327, 256, 356}, 5},
    {0x3510, make<Usb3Mp51Family>, 1, {327, 256, 356}, 5},
    {0x3511, make<Usb3Mp51Family>, 1, {327, 256, 356}, 5},
    {0xC850, make<Usb3Mp85Family>, 0, {0, 0, 0}, 3},
    {0x3850, make<Usb3Mp85Family>, 0, {0, 0, 0}, 3},
    {0xC010, make<Usb3Mp85Family>, 0, {0, 0, 0}, 5},
    {0x3010, make<Usb3Mp85Family>, 0, {0, 0, 0}, 5},
    {0xC014, make14<false>, 0, {0, 0, 0}, 5},
    {0xCB14, make14<true>, 0, {0, 0, 0}, 5},
    {0x3014, make14<false>, 0, {0, 0, 0}, 5},
    {0x3B14, make14<true>, 0, {0, 0, 0}, 5},
    // The USB2-only sensors: one registration each; order 4 is grey.
    {0, make<Usb2Mp13Family>, 0, {0, 0, 0}, 3, 0xF130},
    {0, make<Usb2Mp13Family>, 0, {0, 0, 0}, 3, 0x6130},
    {0, make<Usb2Mp13V2Family>, 1, {394, 256, 317}, 2, 0x1207},
    {0, make<Usb2Mp13V2Family>, 1, {394, 256, 317}, 2, 0x11FC},
    {0, make2Mp<false>, 0, {294, 256, 312}, 2, 0xF200},  // 115 / 100 / 122 as 256 = 1
    {0, make2Mp<true>, 0, {294, 256, 312}, 2, 0x6201},
    {0, make<Usb2VgaFamily>, 0, {0, 0, 0}, 2, 0x6035},
    {0, make<Usb2Mp13GreyFamily>, 4, {0, 0, 0}, 1, 0x6131},
    // The CCD cameras: USB2 devices, one defect list per resolution.
    {0, makeCcd<CcdKind::Mp14, false>, 1, {337, 221, 311}, 1, 0x8146},
    {0, makeCcd<CcdKind::Mp14, true>, 1, {337, 221, 311}, 1, 0x8148},
    {0, makeCcd<CcdKind::Mp31, false>, 0, {368, 256, 371}, 2, 0x8311},
    {0, makeCcd<CcdKind::Mp31, true>, 0, {368, 256, 371}, 2, 0x8316},
    {0, makeCcd<CcdKind::Mp51, false>, 2, {397, 256, 371}, 2, 0x8510},
    {0, makeCcd<CcdKind::Mp51, true>, 2, {397, 256, 371}, 2, 0x8516},
};

// The classes registered only on USB2: their id stands in the USB3 id's place.
constexpr FamilyEntry kUsb2Families[] = {
    {0xF310, make<Usb2Mp31Family>, 0, {294, 256, 312}, 3},
    {0x6310, make<Usb2Mp31Family>, 0, {294, 256, 312}, 3},
    {0xF800, kMp8To10, 0, {0, 0, 0}, 5},
    {0x6801, kMp8To10, 0, {0, 0, 0}, 5},
    {0xF900, kMp8To10, 0, {0, 0, 0}, 5},
    {0x6901, kMp8To10, 0, {0, 0, 0}, 5},
    {0xF010, kMp10Wide, 0, {0, 0, 0}, 5},
    {0x6010, kMp8To10, 0, {0, 0, 0}, 5},
    {0xF510, make<Usb2Mp51Family>, 1, {327, 256, 356}, 5},
    {0x6510, make<Usb2Mp51Family>, 1, {256, 256, 256}, 5},
    {0x6512, make<Usb2Mp51Family>, 1, {334, 256, 353}, 5},
    {0xF014, kMp14, 0, {0, 0, 0}, 5},
    {0x6014, kMp14, 0, {0, 0, 0}, 5},
};

const FamilyEntry* find(uint16_t productId, bool* usb2) {
  for (const FamilyEntry& f : kFamilies) {
    if (f.usb2OnlyId && productId == f.usb2OnlyId) return *usb2 = true, &f;
    if (!f.usb3Id) continue;
    if (productId == f.usb3Id) return *usb2 = false, &f;
    if (productId == f.usb3Id + kUsb2Offset) return *usb2 = true, &f;
  }
  for (const FamilyEntry& f : kUsb2Families)
    if (productId == f.usb3Id) return *usb2 = true, &f;
  return nullptr;
}
}  // namespace

const FamilyEntry& FamilyFor(uint16_t productId) {
  bool usb2 = false;
  const FamilyEntry* f = find(productId, &usb2);
  return f ? *f : kFamilies[0];
}

SceneOptions SceneFor(uint16_t productId) {
  const FamilyEntry& f = FamilyFor(productId);
  SceneOptions options;
  options.bayerOrder = f.bayerOrder;
  for (size_t i = 0; i < 3; ++i) options.wbBase[i] = f.wbBase[i] ? f.wbBase[i] : 256;
  return options;
}

uint16_t MaxPacketFor(uint16_t productId) {
  bool usb2 = false;
  const FamilyEntry* f = find(productId, &usb2);
  return f && usb2 ? 512 : 1024;
}

}  // namespace sim
