// The module's catalogue as the process sees it after start-up.
#include <gtest/gtest.h>

#include <set>

#include "base/lumorix_flags.h"
#include "models/catalogue_table.h"
#include "models/model_factories.h"

namespace {

WString name(const ModelEntry& entry) {
  return entry.info->displayName;
}

TEST(CatalogueTable, SlotsUsedInTableOrderThenFree) {
  const ModelCatalogue& table = ModelTable();
  auto entries = table.entries();
  ASSERT_EQ(entries.size(), 768u);
  for (size_t i = 0; i < 46; ++i) ASSERT_NE(entries[i].info, nullptr) << i;
  for (size_t i = 46; i < 768; ++i) ASSERT_EQ(entries[i].info, nullptr) << i;
  EXPECT_EQ(name(entries[0]), ZX_W("ZMS-RX7-3"));
  EXPECT_EQ(name(entries[1]), ZX_W("ZMS-RX7-3(USB2.0)"));
  EXPECT_EQ(name(entries[10]), ZX_W("ZMS-PN4-1.3X"));
  EXPECT_EQ(name(entries[45]), ZX_W("ZMD-PN4-51MP"));
  EXPECT_EQ(entries[45].productIds[0], 0x8516);
  EXPECT_EQ(&ModelTable(), &table);  // filled once
}

TEST(CatalogueTable, LookupByProductId) {
  struct Case {
    uint16_t id;
    const WCHAR16* name;  // null: no match
  };
  const Case cases[] = {{0x3511, ZX_W("ZMS-VT7-5")},
                        {0xDB14, ZX_W("ZMS-RX7-14(USB2.0)")},
                        {0x4B14, ZX_W("ZMS-VT7-14(USB2.0)")},
                        {0xC310, ZX_W("ZMS-RX7-3")},
                        {0x8148, ZX_W("ZMD-PN4-14MP")},
                        {0, nullptr},
                        {0x1234, nullptr}};
  for (const Case& c : cases) {
    const ModelEntry* entry = FindModel(ModelTable(), c.id);
    if (c.name == nullptr) {
      EXPECT_EQ(entry, nullptr) << std::hex << c.id;
    } else {
      ASSERT_NE(entry, nullptr) << std::hex << c.id;
      EXPECT_EQ(name(*entry), c.name) << std::hex << c.id;
    }
  }
  EXPECT_EQ(FindModel(ModelTable(), 0x8148)->factory, &CreateQuillard01400KPBV2);
}

TEST(CatalogueTable, FlagWordsAfterFixUps) {
  struct Case {
    uint16_t id;
    uint64_t flags;
    uint32_t flagsV1;
  };
  const Case cases[] = {{0xC310, 0x81000041, 0x81000041},   {0xD310, 0x81000101, 0x81000101},
                        {0xD510, 0x81000121, 0x81000121},   {0x3010, 0x81000061, 0x81000061},
                        {0xF310, 0x81000009, 0x81000009},   {0x6131, 0x80000011, 0x80000011},
                        {0x8146, 0x1080000002, 0x80000002}, {0x8316, 0x1080000004, 0x80000004},
                        {0x8510, 0x1080000004, 0x80000004}};
  for (const Case& c : cases) {
    const ModelEntry* entry = FindModel(ModelTable(), c.id);
    ASSERT_NE(entry, nullptr) << std::hex << c.id;
    EXPECT_EQ(entry->info->flags, c.flags) << std::hex << c.id;
    EXPECT_EQ(entry->infoV1->flags, c.flagsV1) << std::hex << c.id;
  }
}

void expectUsb2Twin(const ModelEntry& usb3, const ModelEntry& usb2) {
  for (size_t k = 0; k < kModelProductIdSlots; ++k)
    EXPECT_EQ(usb2.productIds[k], usb3.productIds[k] ? usb3.productIds[k] + 0x1000 : 0);
  EXPECT_EQ(name(usb2), name(usb3) + ZX_W("(USB2.0)"));
  EXPECT_EQ(usb2.factory, usb3.factory);
  EXPECT_EQ(usb2.info->flags, (usb3.info->flags & ~LUMORIX_FLAG_USB3) | LUMORIX_FLAG_USB2_MODE);
  EXPECT_EQ(usb2.info->previewCount, usb3.info->previewCount);
  EXPECT_EQ(usb2.info->stillCount, usb3.info->stillCount);
  EXPECT_EQ(usb2.info->pixelWidth, usb3.info->pixelWidth);
  for (size_t r = 0; r < kModelResolutionSlots; ++r) {
    EXPECT_EQ(usb2.info->resolutions[r].width, usb3.info->resolutions[r].width);
    EXPECT_EQ(usb2.info->resolutions[r].height, usb3.info->resolutions[r].height);
  }
}

void expectRecordsConsistent(const ModelEntry& e) {
  const ModelInfo& info = *e.info;
  const ModelInfoV1& v1 = *e.infoV1;
  EXPECT_LE(info.stillCount, info.previewCount);
  EXPECT_GE(info.previewCount, 1u);
  EXPECT_EQ(v1.flags, static_cast<uint32_t>(info.flags));
  EXPECT_EQ(v1.displayName, info.displayName);
  EXPECT_EQ(v1.previewCount, info.previewCount);
  EXPECT_EQ(v1.stillCount, info.stillCount);
  EXPECT_EQ(v1.maxSpeed, info.maxSpeed);
  EXPECT_EQ(info.fanMaxSpeed, 0u);
  EXPECT_EQ(info.ioCount, 0u);
  EXPECT_EQ(info.pixelWidth, info.pixelHeight);
  for (size_t r = 0; r < kModelResolutionSlots; ++r) {
    const bool used = r < info.previewCount;
    EXPECT_EQ(info.resolutions[r].width != 0, used) << r;
    EXPECT_EQ(v1.resolutions[r].width, info.resolutions[r].width);
    EXPECT_EQ(v1.resolutions[r].height, info.resolutions[r].height);
    if (used && r > 0) {
      const uint64_t prev =
          uint64_t{info.resolutions[r - 1].width} * info.resolutions[r - 1].height;
      EXPECT_GT(prev, uint64_t{info.resolutions[r].width} * info.resolutions[r].height);
    }
  }
}

TEST(CatalogueTable, EveryRowIsConsistent) {
  auto entries = ModelTable().entries();
  std::set<uint16_t> ids;
  for (size_t i = 0; i < 46; ++i) {
    const ModelEntry& e = entries[i];
    SCOPED_TRACE(testing::Message() << "slot " << i);
    for (uint16_t id : e.productIds)
      EXPECT_TRUE(id == 0 || ids.insert(id).second) << "listed twice: " << std::hex << id;
    expectRecordsConsistent(e);
    if (e.info->flags & LUMORIX_FLAG_USB3) {
      ASSERT_LT(i + 1, 46u);
      expectUsb2Twin(e, entries[i + 1]);
    }
  }
}

}  // namespace
