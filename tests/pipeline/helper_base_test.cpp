// The pipeline helper base: construction from the model's arguments, destruction, trampolines.
#include <tuple>

#include "base/lumorix_flags.h"
#include "pipeline/store/device_settings.h"
#include "pipeline/store/preset_store.h"
#include "pipeline/pl_vignette.h"
#include "pipeline_kit.h"
#include "platform/utf16.h"
#include "tests/support/failing_allocator.h"

using namespace zxtest;

namespace {

class HelperBase : public RegistryTest {};

std::string nameOf(const PLHlperBase& h) {
  return platform::WideToUtf8(h.presetName());
}

TEST_F(HelperBase, FormatsAndDefaultsFromTheFlagWord) {
  const uint64_t flags = (uint64_t{1} << 31) | (uint64_t{1} << 12) | (uint64_t{1} << 33) |
                         LUMORIX_FLAG_SKIP | LUMORIX_FLAG_TEC;
  FakeHelper h(helperArgs(nullptr, flags));
  EXPECT_EQ(h.formatCount, 3);
  for (uint32_t f = 0; f < kPixelFormatCount; ++f)
    EXPECT_EQ(h.formatAvailable[f], (f == 0 || f == 1 || f == 10) ? 1 : 0) << f;
  EXPECT_EQ(std::tie(h.skip, h.tecOn, h.bandwidth, h.procWidth),
            std::make_tuple(1u, 1u, 85u, 640u));
  EXPECT_EQ(h.cgDefault, 1);
  ASSERT_EQ(h.defectLists.size(), 4u);
  for (const auto& slot : h.defectLists) EXPECT_EQ(slot.count, DefectListSlot::kNoList);

  FakeHelper plain(helperArgs(nullptr, 0));
  EXPECT_EQ(std::tie(plain.skip, plain.tecOn), std::make_tuple(0u, 0u));
  EXPECT_EQ(plain.formatCount, 0);
}

TEST_F(HelperBase, WithoutSubkeyNothingIsNamedOrWritten) {
  {
    FakeHelper h(
        helperArgs(nullptr, LUMORIX_FLAG_FAN | LUMORIX_FLAG_TEC | LUMORIX_FLAG_BLACKLEVEL));
    EXPECT_EQ(nameOf(h), "");
    EXPECT_EQ(h.presetKeepVignette(), 1u);
  }
  EXPECT_FALSE(reg().keyExists("Software\\ZerithalTest\\Pipeline"));
}

TEST_F(HelperBase, DestructionWritesTheDeviceValuesOfItsFlags) {
  struct Case {
    uint64_t flags;
    bool fan, tec, black;
  } cases[] = {
      {LUMORIX_FLAG_FAN, true, false, false},
      {LUMORIX_FLAG_TEC, false, true, false},
      {LUMORIX_FLAG_BLACKLEVEL, false, false, true},
      {LUMORIX_FLAG_FAN | LUMORIX_FLAG_TEC | LUMORIX_FLAG_BLACKLEVEL, true, true, true},
      {LUMORIX_FLAG_SKIP, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    reg().deleteKey(kCameraKey);
    {
      FakeHelper h(helperArgs(cameraKeyWide(), c.flags));
      h.fanSpeed = 2, h.tecTarget = -150, h.blackLevel = 9;
    }
    EXPECT_EQ((std::array{has("Fan"), has("TEC"), has("TECTarget"), has("BlackLevel")}),
              (std::array{c.fan, c.tec, c.tec, c.black}));
    EXPECT_TRUE(!c.tec || static_cast<int32_t>(get("TECTarget")) == -150);
  }
}

TEST_F(HelperBase, PresetNameAndVignetteKeeping) {
  FakeHelper capi(helperArgs(ZX_W("Software\\Vendor\\capi\\Model"), 0));
  EXPECT_EQ(capi.presetKeepVignette(), 0u);
  EXPECT_EQ(nameOf(capi), "Model");

  auto args = helperArgs(ZX_W("Software\\Vendor\\dshow\\Model"), 0);
  args.wbTempTint = 0;
  FakeHelper rgb(args);
  EXPECT_EQ(rgb.presetKeepVignette(), 1u);
  EXPECT_EQ(nameOf(rgb), "Model@WBRGB");

  FakeHelper longName(helperArgs(ZX_W("Root\\ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"), 0));
  EXPECT_EQ(nameOf(longName), "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");  // 31 units, terminated
}

TEST_F(HelperBase, StoredPresetsLoseVignettingOnlyUnderCapi) {
  const std::pair<const WCHAR16*, bool> cases[] = {
      {ZX_W("Software\\ZerithalTest\\Pipeline\\capi\\Model"), false},
      {ZX_W("Software\\ZerithalTest\\Pipeline\\dshow\\Model"), true},
  };
  for (const auto& [key, kept] : cases) {
    SCOPED_TRACE(platform::WideToUtf8(key));
    {
      FakeHelper writer(helperArgs(key, 0));
      PresetRecord r{};
      platform::WideCopy(r.name, 128, ZX_W("bright"));
      r.settings.vignetteEnable = 1;
      r.settings.vignetteAmount = 50;
      r.settings.vignetteMidpoint = 0.2;
      writer.presets().push_back(r);
      ASSERT_EQ(PresetSave(writer), kPresetOk);
    }
    FakeHelper reader(helperArgs(key, 0));
    ASSERT_EQ(reader.presets().size(), 1u);
    const PLSettings& s = reader.presets()[0].settings;
    EXPECT_EQ(std::make_tuple(s.vignetteEnable, s.vignetteAmount, s.vignetteMidpoint),
              kept ? std::make_tuple(1u, 50.0, 0.2) : std::make_tuple(0u, 0.0, 0.0));
  }
}

TEST_F(HelperBase, DestructionSavesTheStatesBlackOffsets) {
  {
    FakeHelper h(helperArgs(cameraKeyWide(), 0));
    auto p = colourParams();
    h.pixelFormat = 3;
    h.ctx8.reset(PL_Init(&p));
    h.ctx8->settings.blackOffset[0] = 11;
    h.ctx8->settings.blackOffset[2] = 33;
  }
  EXPECT_EQ(std::make_tuple(get("BBR3"), get("BBB3")), std::make_tuple(11u, 33u));
  EXPECT_TRUE(has("Gamma"));  // the state was finished and saved
}

TEST_F(HelperBase, Rotated90) {
  using namespace PLProcessFlags;
  FakeHelper h(helperArgs(nullptr, 0));
  EXPECT_FALSE(PL_IsRotated90(h));
  auto p = colourParams();
  p.regKey = nullptr;
  h.ctx16.reset(PL_Init16(&p));
  const std::pair<uint32_t, bool> cases[] = {{0, false},
                                             {kRotate90, true},
                                             {kRotate180, false},
                                             {kRotate270, true},
                                             {kRotate180 | kRotate270, false},
                                             {kRotate90 | kRotate180, true}};
  for (const auto& [flags, rotated] : cases) {
    h.ctx16->settings.processFlags = flags;
    EXPECT_EQ(PL_IsRotated90(h), rotated) << flags;
  }
}

TEST_F(HelperBase, OneShotsFireOncePerArming) {
  FakeHelper h(helperArgs(nullptr, 0));
  int temps = 0, rgbs = 0, blacks = 0;
  auto arm = [&] {
    h.onTempTintOnce = [](int32_t, int32_t, void* c) { ++*static_cast<int*>(c); };
    h.onTempTintOnceCtx = &temps;
    h.onRgbOnce = [](const int32_t*, void* c) { ++*static_cast<int*>(c); };
    h.onRgbOnceCtx = &rgbs;
    h.onBlackOnce = [](const uint16_t*, void* c) { ++*static_cast<int*>(c); };
    h.onBlackOnceCtx = &blacks;
  };
  const int32_t gains[3] = {0, 0, 0};
  const uint16_t offsets[3] = {1, 2, 3};
  arm();
  for (int i = 0; i < 2; ++i) {
    PLHlperBase::TempTintOnce(5000, 1000, &h);
    PLHlperBase::RgbOnce(gains, &h);
    PLHlperBase::BlackOnce(offsets, &h);
  }
  EXPECT_EQ(temps + rgbs + blacks, 3);
  arm();
  PLHlperBase::TempTintOnce(5000, 1000, &h);
  EXPECT_EQ(temps, 2);

  int ffc = 0;
  PLHlperBase::FfcDone(&h);  // unset: nothing
  h.onFfcDone = [](void* c) { ++*static_cast<int*>(c); };
  h.onFfcDoneCtx = &ffc;
  PLHlperBase::FfcDone(&h);
  PLHlperBase::FfcDone(&h);
  EXPECT_EQ(ffc, 2);  // a notice, not a one-shot
}

TEST_F(HelperBase, IspTrampolinesReachTheModel) {
  FakeHelper h(helperArgs(nullptr, 0));
  uint8_t lut8[256] = {};
  lut8[255] = 200;
  PLHlperBase::IspLut(lut8, 8, &h);
  EXPECT_EQ(h.lastLutTop, 200);
  std::vector<uint16_t> lut12(4096, 0);
  lut12[4095] = 4000;
  PLHlperBase::IspLut(lut12.data(), 12, &h);
  EXPECT_EQ(h.lastLutTop, 4000);
  const int32_t gains[3] = {300, 256, 280};
  PLHlperBase::IspWb(gains, &h, nullptr, 0);
  EXPECT_EQ(h.lastWbGreen, 256);
}

TEST_F(HelperBase, VignetteEnableReusesAndReplacesTables) {
  FakeHelper h(helperArgs(nullptr, 0));
  EXPECT_EQ(PL_SetVignetteEnable(h, 1), E_UNEXPECTED);
  auto p = colourParams();
  p.regKey = nullptr;
  h.ctx8.reset(PL_Init(&p));
  EXPECT_EQ(PL_SetVignetteEnable(h, 1), S_OK);
  const auto first = SnapshotTables(*h.ctx8).vignette;  // a reader keeps this set alive
  EXPECT_EQ(h.ctx8->settings.vignetteEnable, 1u);
  EXPECT_EQ(PL_SetVignetteEnable(h, 1), S_OK);
  const auto second = SnapshotTables(*h.ctx8).vignette;
  EXPECT_NE(first, second);
  EXPECT_EQ(first->radius, second->radius);  // same size: no new radius table
  h.ctx8->procWidth = 320;
  EXPECT_EQ(PL_SetVignetteEnable(h, 1), S_OK);
  const auto third = SnapshotTables(*h.ctx8).vignette;
  EXPECT_EQ(third->radius->size(), 320u * 480u);
  EXPECT_EQ(first->radius->size(), 640u * 480u);  // still whole for its holder
  EXPECT_EQ(PL_SetVignetteEnable(h, 0), S_OK);
  EXPECT_EQ(h.ctx8->settings.vignetteEnable, 0u);
}

// Enabling records the switch even when an allocation of the tables fails: the set is then either
// whole or absent (the frames skip a missing one), never a stale or half-made one.
TEST_F(HelperBase, VignetteEnableIsRecordedWhenTheTablesCannotBeMade) {
  for (long failing : {1L, 2L, 3L, 4L, 0L}) {
    FakeHelper h(helperArgs(nullptr, 0));
    auto p = colourParams();
    p.regKey = nullptr;
    h.ctx8.reset(PL_Init(&p));
    h.ctx8->settings.vignetteAmount = 0.5;
    ASSERT_EQ(PL_SetVignetteEnable(h, 1), S_OK);
    ASSERT_EQ(PL_SetVignetteEnable(h, 0), S_OK);
    h.ctx8->procWidth = 320;  // the next set needs a new radius table too
    testing_support::FailAllocation(failing);
    const HRESULT hr = PL_SetVignetteEnable(h, 1);
    testing_support::FailAllocation(0);
    EXPECT_EQ(hr, S_OK) << "allocation " << failing;
    EXPECT_EQ(h.ctx8->settings.vignetteEnable, 1u) << "allocation " << failing;
    const auto set = SnapshotTables(*h.ctx8).vignette;
    if (set) {
      EXPECT_EQ(set->radius->size(), 320u * 480u) << "allocation " << failing;
      EXPECT_EQ(set->gain.size(), VignetteGainCount(320, 480)) << "allocation " << failing;
    }
    if (failing == 0) {
      EXPECT_TRUE(set) << "nothing failed";
    }
  }
}

TEST_F(HelperBase, StatsCallbackIsCopiedIntoTheState) {
  FakeHelper h(helperArgs(nullptr, 0));
  PL_SetStatsCallback(h);  // no state: nothing
  auto p = colourParams();
  p.regKey = nullptr;
  h.ctx8.reset(PL_Init(&p));
  int marker = 0;
  h.statsCallback = [](const float*, const float*, const float*, const float*, void*) {};
  h.statsCallbackCtx = &marker;
  h.statsRequest = 1;
  PL_SetStatsCallback(h);
  EXPECT_EQ(h.ctx8->callbacks.statsCallback, h.statsCallback);
  EXPECT_EQ(h.ctx8->callbacks.statsCallbackContext, &marker);
  EXPECT_EQ(h.ctx8->statsRequest, 1u);
}

}  // namespace
