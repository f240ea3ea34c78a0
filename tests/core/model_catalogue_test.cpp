// Registration fix-ups, slot claiming and lookup over small catalogues.
#include <gtest/gtest.h>

#include <memory>

#include "base/lumorix_flags.h"
#include "core/model_catalogue.h"

namespace {

// Exactly-sized heap arrays, so that a write past the end is caught by the address sanitizer.
struct SmallCatalogue {
  explicit SmallCatalogue(size_t slots)
      : entries(new ModelEntry[slots]()),
        infos(new ModelInfo[slots]()),
        infosV1(new ModelInfoV1[slots]()),
        view({entries.get(), slots}, {infos.get(), slots}, {infosV1.get(), slots}) {}
  std::unique_ptr<ModelEntry[]> entries;
  std::unique_ptr<ModelInfo[]> infos;
  std::unique_ptr<ModelInfoV1[]> infosV1;
  ModelCatalogue view;
};

BaseImpl* factoryA(const WCHAR16*, const WCHAR16*, uint8_t, uint8_t, const ModelInfo*) noexcept {
  return nullptr;
}

ModelRegistration registration(const WCHAR16* name, uint16_t id0, uint16_t id1 = 0) {
  ModelRegistration row{};
  row.displayName = name;
  row.productIds[0] = id0;
  row.productIds[1] = id1;
  row.factory = factoryA;
  row.flags = 0x80000001;
  row.maxSpeed = 2;
  row.previewCount = 2;
  row.stillCount = 1;
  row.pixelSize = 2.5f;
  row.resolutions[0] = {640, 480};
  row.resolutions[1] = {320, 240};
  return row;
}

TEST(ModelFlagFixUps, StatesByPort) {
  struct Case {
    uint64_t stated;
    bool usb3Port;
    uint64_t expected;
  };
  const Case cases[] = {
      {0x81000041, true, 0x81000041},   // USB3 registration keeps bit 6
      {0x81000041, false, 0x81000101},  // USB2 mode: bit 6 moves to bit 8
      {0x81000061, false, 0x81000121},
      {0x80000001, false, 0x80000001},    // nothing to fix
      {0x80000002, false, 0x1080000002},  // CCD kinds imply the CCD bit
      {0x80000004, false, 0x1080000004},
      {0x02000000, true, 0x03000000},       // frame memory implies no latency threads
      {0x800000000, true, 0x804000000},     // three-value conversion gain implies the gain bit
      {0x2800000046, false, 0x3804000106},  // all rules at once
  };
  for (const Case& c : cases)
    EXPECT_EQ(FixUpModelFlags(c.stated, c.usb3Port), c.expected) << std::hex << c.stated;
}

TEST(RegisterModel, FillsSlotsInOrderWithBothRecords) {
  SmallCatalogue cat(4);
  ModelRegistration row = registration(ZX_W("A"), 0x1111, 0x2222);
  row.flags = 0x4000000000000041ull;  // a meaningless high bit rides along
  ASSERT_TRUE(RegisterModel(cat.view, row));
  ASSERT_TRUE(RegisterModel(cat.view, registration(ZX_W("B"), 0x3333)));
  const ModelEntry& e = cat.entries[0];
  ASSERT_EQ(e.info, &cat.infos[0]);
  ASSERT_EQ(e.infoV1, &cat.infosV1[0]);
  EXPECT_EQ(e.productIds[0], 0x1111);
  EXPECT_EQ(e.productIds[1], 0x2222);
  EXPECT_EQ(e.productIds[2], 0);
  EXPECT_EQ(e.factory, &factoryA);
  EXPECT_EQ(e.info->flags, 0x4000000000000101ull);
  EXPECT_EQ(e.infoV1->flags, 0x00000101u);
  EXPECT_EQ(e.infoV1->displayName, e.info->displayName);
  EXPECT_EQ(e.info->pixelWidth, 2.5f);
  EXPECT_EQ(e.info->pixelHeight, 2.5f);
  EXPECT_EQ(e.infoV1->resolutions[1].width, 320u);
  EXPECT_EQ(cat.entries[1].info, &cat.infos[1]);
  EXPECT_EQ(cat.entries[2].info, nullptr);
}

TEST(RegisterModel, FullCatalogueRefusesAndWritesNothing) {
  SmallCatalogue cat(4);
  for (uint16_t id = 1; id <= 4; ++id)
    ASSERT_TRUE(RegisterModel(cat.view, registration(ZX_W("M"), id)));
  const ModelEntry before = cat.entries[3];
  EXPECT_FALSE(RegisterModel(cat.view, registration(ZX_W("Fifth"), 5)));
  EXPECT_EQ(cat.entries[3].productIds[0], before.productIds[0]);
  EXPECT_EQ(cat.entries[3].info, before.info);
  EXPECT_EQ(FindModel(cat.view, 5), nullptr);
}

TEST(FindModel, FirstSlotWinsAndZeroNeverMatches) {
  SmallCatalogue cat(4);
  ASSERT_TRUE(RegisterModel(cat.view, registration(ZX_W("First"), 0x0100, 0x0200)));
  ASSERT_TRUE(RegisterModel(cat.view, registration(ZX_W("Second"), 0x0200)));
  struct Case {
    uint16_t id;
    int slot;  // -1: none
  };
  const Case cases[] = {{0x0100, 0}, {0x0200, 0}, {0x0300, -1}, {0, -1}};
  for (const Case& c : cases) {
    const ModelEntry* found = FindModel(cat.view, c.id);
    EXPECT_EQ(found, c.slot < 0 ? nullptr : &cat.entries[c.slot]) << std::hex << c.id;
  }
}

TEST(FindEntryByInfo, FindsOwnSlotOnly) {
  SmallCatalogue cat(2);
  ASSERT_TRUE(RegisterModel(cat.view, registration(ZX_W("A"), 1)));
  ModelInfo foreign{};
  EXPECT_EQ(FindEntryByInfo(cat.view, &cat.infos[0]), &cat.entries[0]);
  EXPECT_EQ(FindEntryByInfo(cat.view, &foreign), nullptr);
  EXPECT_EQ(FindEntryByInfo(cat.view, nullptr), nullptr);  // a free slot's null record is no match
}

}  // namespace
