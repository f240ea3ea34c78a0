// The model registrations of this module, in catalogue order, as data.
// Hand-aligned tables read better as columns.
// clang-format off
// Filled from this one file only: rows spread over several files would register in link order.
#include "models/catalogue_table.h"

#include <algorithm>
#include <initializer_list>

#include "base/lumorix_flags.h"
#include "models/model_factories.h"

namespace {

struct Sizes {
  ModelResolution list[kModelResolutionSlots];  // unused entries stay zero
};

constexpr ModelCatalogueRow makeRow(const WCHAR16* name, const WCHAR16* usb2Name,
                                    std::initializer_list<uint16_t> ids, ModelFactory factory,
                                    uint64_t flags, uint32_t maxSpeed, uint32_t previewCount,
                                    uint32_t stillCount, float pixelSize, const Sizes& sizes) {
  ModelCatalogueRow row{};
  row.model.displayName = name;
  std::copy(ids.begin(), ids.end(), row.model.productIds);
  row.model.factory = factory;
  row.model.flags = flags;
  row.model.maxSpeed = maxSpeed;
  row.model.previewCount = previewCount;
  row.model.stillCount = stillCount;
  row.model.fanMaxSpeed = 0;  // no model of this module has a fan or I/O lines
  row.model.ioCount = 0;
  row.model.pixelSize = pixelSize;
  std::copy(std::begin(sizes.list), std::end(sizes.list), row.model.resolutions);
  row.model.usb3Port = usb2Name != nullptr;
  row.usb2Name = usb2Name;
  return row;
}

// Resolution sets shared by several rows.
constexpr Sizes k3M{{{2048, 1534}, {1024, 770}}};
constexpr Sizes k5M{{{2560, 1922}, {1280, 960}, {640, 480}}};
constexpr Sizes k8M5{{{3328, 2548}, {1664, 1272}}};
constexpr Sizes k10M{{{3584, 2746}, {1792, 1372}, {896, 680}}};
constexpr Sizes k14M{{{4096, 3286}, {2048, 1644}, {1024, 822}}};
constexpr Sizes k1M3{{{1280, 1024}, {640, 512}, {320, 256}}};
constexpr Sizes k1M3V2{{{1280, 960}, {1280, 720}}};
constexpr Sizes k2M{{{1600, 1200}, {800, 600}}};
constexpr Sizes k3M1{{{2048, 1536}, {1024, 768}, {680, 510}}};
constexpr Sizes k5M2{{{2592, 1944}, {1280, 960}, {640, 480}}};
constexpr Sizes k8M{{{3264, 2448}, {1600, 1200}, {800, 600}}};
constexpr Sizes k9M{{{3488, 2616}, {1744, 1308}, {872, 654}}};
constexpr Sizes k10MX{{{3584, 2748}, {1792, 1374}, {896, 684}}};
constexpr Sizes k14MX{{{4096, 3288}, {2048, 1644}, {1024, 822}}};

// Flag words shared by several rows, from the capabilities each family has.
constexpr uint64_t kColour = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ;
constexpr uint64_t kMono = kColour | LUMORIX_FLAG_MONO;
constexpr uint64_t kWindow = kColour | LUMORIX_FLAG_BIT3;            // sensor window follows the size
constexpr uint64_t kSkip = kColour | LUMORIX_FLAG_SKIP;
constexpr uint64_t kWindowSkip = kWindow | LUMORIX_FLAG_SKIP;
constexpr uint64_t kFast = kColour | LUMORIX_FLAG_NOLATENCY;         // the PN4 USB2 classes
constexpr uint64_t kFastWindow = kWindow | LUMORIX_FLAG_NOLATENCY;
constexpr uint64_t kFastSkip = kSkip | LUMORIX_FLAG_NOLATENCY;
constexpr uint64_t kFastWindowSkip = kWindowSkip | LUMORIX_FLAG_NOLATENCY;
constexpr uint64_t kUsb3 = kFast | LUMORIX_FLAG_USB3;                // the RX7/VT7 classes
constexpr uint64_t kUsb3Skip = kFastSkip | LUMORIX_FLAG_USB3;
constexpr uint64_t kCcd1 = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_CCD_KIND1;
constexpr uint64_t kCcd2 = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_CCD_KIND2;

#define W ZX_W
constexpr ModelCatalogueRow kRows[] = {
    // name, USB2-mode name, product ids, factory, flags, speed, preview, still, pixel, sizes
    makeRow(W("ZMS-RX7-3"), W("ZMS-RX7-3(USB2.0)"), {0xC310}, CreateRostrel303100KPA, kUsb3, 2, 2, 2, 2.2f, k3M),
    makeRow(W("ZMS-RX7-5"), W("ZMS-RX7-5(USB2.0)"), {0xC510}, CreateRostrel305100KPA, kUsb3Skip, 6, 3, 3, 2.2f, k5M),
    makeRow(W("ZMS-RX7-8.5"), W("ZMS-RX7-8.5(USB2.0)"), {0xC850}, CreateRostrel308500KPA, kUsb3Skip, 3, 2, 2, 1.67f, k8M5),
    makeRow(W("ZMS-RX7-10"), W("ZMS-RX7-10(USB2.0)"), {0xC010}, CreateRostrel310000KPA, kUsb3Skip, 3, 3, 3, 1.67f, k10M),
    makeRow(W("ZMS-RX7-14"), W("ZMS-RX7-14(USB2.0)"), {0xC014, 0xCB14}, CreateRostrel314000KPA, kUsb3Skip, 3, 3, 3, 1.4f, k14M),
    makeRow(W("ZMS-PN4-1.3X"), nullptr, {0xF130}, CreateRostrel01300KPA, kColour, 2, 3, 0, 3.6f, k1M3),
    makeRow(W("ZMS-PN4-1.3X"), nullptr, {0x1207}, CreateRostrel01300KPAV2, kColour, 2, 2, 0, 3.75f, k1M3V2),
    makeRow(W("ZMS-PN4-2X"), nullptr, {0xF200}, CreateRostrel02000KPA, kColour, 5, 2, 2, 3.2f, k2M),
    makeRow(W("ZMS-PN4-3.1X"), nullptr, {0xF310}, CreateRostrel03100KPA, kFastWindow, 5, 3, 3, 3.2f, k3M1),
    makeRow(W("ZMS-PN4-5.2X"), nullptr, {0xF510}, CreateRostrel05100KPA, kFastWindowSkip, 6, 3, 3, 2.2f, k5M2),
    makeRow(W("ZMS-PN4-8X"), nullptr, {0xF800}, CreateRostrel08000KPA, kFastWindowSkip, 5, 3, 3, 1.67f, k8M),
    makeRow(W("ZMS-PN4-9X"), nullptr, {0xF900}, CreateRostrel09000KPA, kFastWindowSkip, 5, 3, 3, 1.67f, k9M),
    makeRow(W("ZMS-PN4-10X"), nullptr, {0xF010}, CreateRostrel10000KPA, kFastWindowSkip, 5, 3, 3, 1.67f, k10MX),
    makeRow(W("ZMS-PN4-14X"), nullptr, {0xF014}, CreateRostrel14000KPA, kFastSkip, 5, 3, 3, 1.4f, k14MX),
    makeRow(W("ZMS-VT7-3"), W("ZMS-VT7-3(USB2.0)"), {0x3310}, CreatePelvane303100KPA, kUsb3, 2, 2, 2, 2.2f, k3M),
    makeRow(W("ZMS-VT7-5"), W("ZMS-VT7-5(USB2.0)"), {0x3510, 0x3511}, CreatePelvane305100KPA, kUsb3Skip, 6, 3, 3, 2.2f, k5M),
    makeRow(W("ZMS-VT7-8.5"), W("ZMS-VT7-8.5(USB2.0)"), {0x3850}, CreatePelvane308500KPA, kUsb3Skip, 3, 2, 2, 1.67f, k8M5),
    makeRow(W("ZMS-VT7-10"), W("ZMS-VT7-10(USB2.0)"), {0x3010}, CreatePelvane310000KPA, kUsb3Skip, 3, 3, 3, 1.67f, k10M),
    makeRow(W("ZMS-VT7-14"), W("ZMS-VT7-14(USB2.0)"), {0x3014, 0x3B14}, CreatePelvane314000KPA, kUsb3Skip, 3, 3, 3, 1.4f, k14M),
    makeRow(W("ZMS-PN4-0.3X"), nullptr, {0x6035}, CreatePelvane00350KPA, kColour, 2, 2, 0, 5.6f, Sizes{{{640, 480}, {320, 240}}}),
    makeRow(W("ZMS-PN4-1.3BWX"), nullptr, {0x6131}, CreatePelvane01300KMA, kMono, 1, 1, 0, 5.2f, Sizes{{{1280, 1024}}}),
    makeRow(W("ZMS-VT4-1.3X"), nullptr, {0x6130}, CreatePelvane01300KPA, kColour, 1, 3, 0, 3.6f, k1M3),
    makeRow(W("ZMS-VT4-1.3X"), nullptr, {0x11FC}, CreatePelvane01300KPAV2, kColour, 2, 2, 0, 3.75f, k1M3V2),
    makeRow(W("ZMS-VT4-2X"), nullptr, {0x6201}, CreatePelvane02000KPB, kColour, 5, 2, 2, 3.2f, k2M),
    makeRow(W("ZMS-VT4-3.1X"), nullptr, {0x6310}, CreatePelvane03100KPA, kWindow, 5, 3, 3, 3.2f, k3M1),
    makeRow(W("ZMS-VT4-5.2X"), nullptr, {0x6510, 0x6512}, CreatePelvane05100KPA, kWindowSkip, 6, 3, 3, 2.2f, k5M2),
    makeRow(W("ZMS-VT4-8X"), nullptr, {0x6801}, CreatePelvane08000KPB, kWindowSkip, 5, 3, 3, 1.67f, k8M),
    makeRow(W("ZMS-VT4-9X"), nullptr, {0x6901}, CreatePelvane09000KPB, kWindowSkip, 5, 3, 3, 1.67f, k9M),
    makeRow(W("ZMS-VT4-10X"), nullptr, {0x6010}, CreatePelvane10000KPA, kWindowSkip, 5, 3, 3, 1.67f, k10MX),
    makeRow(W("ZMS-VT4-14X"), nullptr, {0x6014}, CreatePelvane14000KPA, kSkip, 5, 3, 3, 1.4f, k14MX),
    makeRow(W("ZMD-PN4-14MP"), nullptr, {0x8146}, CreateQuillard01400KPB, kCcd1, 1, 1, 0, 4.65f, Sizes{{{1360, 1024}}}),
    makeRow(W("ZMD-PN4-14MP"), nullptr, {0x8148}, CreateQuillard01400KPBV2, kCcd1, 1, 1, 0, 4.65f, Sizes{{{1360, 1024}}}),
    makeRow(W("ZMD-PN4-31MP"), nullptr, {0x8311}, CreateQuillard03100KPB, kCcd2, 1, 2, 1, 3.45f, Sizes{{{2048, 1536}, {640, 480}}}),
    makeRow(W("ZMD-PN4-31MP"), nullptr, {0x8316}, CreateQuillard03100KPBV2, kCcd2, 1, 2, 1, 3.45f, Sizes{{{2048, 1536}, {640, 480}}}),
    makeRow(W("ZMD-PN4-51MP"), nullptr, {0x8510}, CreateQuillard05100KPA, kCcd2, 1, 2, 1, 2.775f, Sizes{{{2592, 1944}, {560, 420}}}),
    makeRow(W("ZMD-PN4-51MP"), nullptr, {0x8516}, CreateQuillard05100KPAV2, kCcd2, 1, 2, 1, 2.775f, Sizes{{{2592, 1944}, {560, 420}}}),
};
#undef W

ModelRegistration usb2Registration(const ModelCatalogueRow& row) {
  ModelRegistration usb2 = row.model;
  usb2.displayName = row.usb2Name;
  for (uint16_t& id : usb2.productIds)
    if (id != 0) id = static_cast<uint16_t>(id + kUsb2ModeIdOffset);
  usb2.usb3Port = false;
  return usb2;
}

}  // namespace

std::span<const ModelCatalogueRow> CatalogueRows() { return kRows; }

size_t RegisterCatalogueRows(ModelCatalogue& catalogue, std::span<const ModelCatalogueRow> rows) {
  size_t registered = 0;
  for (const ModelCatalogueRow& row : rows) {
    registered += RegisterModel(catalogue, row.model) ? 1 : 0;
    if (row.usb2Name != nullptr) registered += RegisterModel(catalogue, usb2Registration(row)) ? 1 : 0;
  }
  return registered;
}

const ModelCatalogue& ModelTable() {
  static const size_t registered = RegisterCatalogueRows(ProcessModelCatalogue(), kRows);
  (void)registered;
  return ProcessModelCatalogue();
}
// clang-format on
