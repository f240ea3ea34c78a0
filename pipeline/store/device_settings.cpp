// The camera's device values outside the settings block, kept in its registry subkey.
#include "pipeline/store/device_settings.h"

#include <algorithm>

#include "base/lumorix_flags.h"
#include "pipeline/pl_helper_base.h"

void SaveSkip(std::string_view subKey, uint32_t skip) {
  RegWriteDword(subKey, "Skip", skip);
}

void SaveFrameRate(std::string_view subKey, uint16_t speed) {
  RegWriteDword(subKey, "FrameRate", speed);
}

std::string PreciseValueName(uint32_t resolutionIndex, bool highBit) {
  return RegValueName(highBit ? "PreciseA" : "PreciseB", resolutionIndex);
}

void SavePrecise(std::string_view subKey, uint32_t value, uint32_t resolutionIndex, bool highBit) {
  RegWriteDword(subKey, PreciseValueName(resolutionIndex, highBit), value);
}

void SaveBandwidth(std::string_view subKey, uint32_t percent) {
  RegWriteDword(subKey, "Bandwidth", percent);
}

namespace {
const char* modeTimeName(bool trigger) {
  return trigger ? "TriggerModeTime" : "VideoModeTime";
}
}  // namespace

HRESULT SaveModeTime(PLHlperBase& helper, bool trigger, uint32_t timeUs) {
  return RegWriteDword(helper.regKey, modeTimeName(trigger), timeUs) ? S_OK : E_NOTIMPL;
}

HRESULT LoadModeTime(PLHlperBase& helper, bool trigger, uint32_t* timeUs) {
  if (!timeUs) return E_POINTER;
  if (!RegKeyReadable(helper.regKey)) return E_NOTIMPL;
  *timeUs = RegReadUDword(helper.regKey, modeTimeName(trigger), helper.timeDefault, helper.timeMin,
                          helper.timeMax);
  return S_OK;
}

void LoadBlackBalance(PLHlperBase& helper, uint16_t offsets[3], uint8_t pixelFormat) {
  if (!offsets) return;
  const uint32_t max = BlackOffsetMax(pixelFormat < kPixelFormatCount ? pixelFormat : 0);
  const std::string& key = helper.regKey;
  if (helper.hasFlag(LUMORIX_FLAG_MONO)) {
    const auto g =
        static_cast<uint16_t>(RegReadUDword(key, RegValueName("BBG", pixelFormat), 0, 0, max));
    offsets[0] = offsets[1] = offsets[2] = g;
    return;
  }
  const char* names[3] = {"BBR", "BBG", "BBB"};
  for (int c = 0; c < 3; ++c)
    offsets[c] =
        static_cast<uint16_t>(RegReadUDword(key, RegValueName(names[c], pixelFormat), 0, 0, max));
}

void SaveBlackBalance(PLHlperBase& helper, const uint16_t offsets[3], uint8_t pixelFormat) {
  if (!offsets) return;
  const std::string& key = helper.regKey;
  if (helper.hasFlag(LUMORIX_FLAG_MONO)) {
    RegWriteDword(key, RegValueName("BBG", pixelFormat), offsets[1]);
    return;
  }
  const char* names[3] = {"BBR", "BBG", "BBB"};
  for (int c = 0; c < 3; ++c) RegWriteDword(key, RegValueName(names[c], pixelFormat), offsets[c]);
}

void SaveCurrentBlackBalance(PLHlperBase& helper, uint8_t pixelFormat) {
  uint16_t offsets[3];
  const bool found = WithState(helper, [&](auto& c) {
    std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
    std::copy_n(c.settings.blackOffset, 3, offsets);
  });
  if (!found) return;
  SaveBlackBalance(helper, offsets, pixelFormat);
}

uint16_t BlackLevelMax(uint64_t flags) {
  if (flags & LUMORIX_FLAG_RAW16) return 7936;
  if (flags & LUMORIX_FLAG_RAW14) return 1984;
  if (flags & (LUMORIX_FLAG_RAW12 | LUMORIX_FLAG_RAW12_ALT)) return 496;
  if (flags & LUMORIX_FLAG_RAW10) return 124;
  return 31;
}

uint8_t NormaliseBinning(uint32_t stored) {
  const uint32_t v = std::min<uint32_t>(stored, 255);
  if (!(v & 0x80)) return (v >= 1 && v <= 4) ? static_cast<uint8_t>(v) : 1;
  return static_cast<uint8_t>(0x80 | std::clamp<uint32_t>(v & 0x0F, 1, 4));
}

void LoadSettings(PLHlperBase& h) {
  const std::string& key = h.regKey;
  if (key.empty()) return;
  if (h.hasFlag(LUMORIX_FLAG_TRIGGER_SOFT | LUMORIX_FLAG_TRIGGER_EXT)) {
    LoadModeTime(h, false, &h.videoModeTime);
    LoadModeTime(h, true, &h.triggerModeTime);
  }
  h.speed = static_cast<uint16_t>(RegReadUDword(key, "FrameRate", h.speed, 0, h.maxSpeed));
  if (h.hasFlag(LUMORIX_FLAG_SKIP)) h.skip = RegReadUDword(key, "Skip", h.skip, 0, 1);
  if (!RegKeyReadable(key)) return;
  h.PLHlperSetBinning(NormaliseBinning(RegReadUDword(key, "Binning", 1, 0, 0xFFFFFFFFu)));
  if (h.hasFlag(LUMORIX_FLAG_FAN))
    h.fanSpeed = static_cast<uint16_t>(RegReadUDword(key, "Fan", h.fanSpeed, 0, h.fanMaxSpeed));
  if (h.hasFlag(LUMORIX_FLAG_TEC)) {
    h.tecOn = RegReadUDword(key, "TEC", h.tecOn, 0, 1);
    h.tecTarget = RegReadDword(key, "TECTarget", h.tecTarget, -300, 300);
  }
  if (h.hasFlag(LUMORIX_FLAG_BLACKLEVEL))
    h.blackLevel = static_cast<uint16_t>(
        RegReadUDword(key, "BlackLevel", h.blackLevel, 0, BlackLevelMax(h.modelFlags)));
  if (h.formatCount >= 2) {
    const uint32_t f = RegReadUDword(key, "PixelFormat", h.pixelFormat, 0, kPixelFormatCount - 1);
    if (h.formatAvailable[f]) h.pixelFormat = static_cast<uint8_t>(f);
  }
}
