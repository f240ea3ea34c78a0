// The preset half of a camera's pipeline helper: its store name and its list of presets.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "pipeline/preset_record.h"
#include "platform/types.h"

inline constexpr size_t kPresetNameUnits = 32;

class Preset {
 public:
  // subKey: the camera's settings key, or null. tempTint chooses the store "pgt" (1) or
  // "pgt@WBRGB" (0). The stored list is loaded here; a damaged one leaves the list empty.
  Preset(const WCHAR16* subKey, uint8_t tempTint);

  const WString& presetKey() const { return presetKey_; }
  uint8_t presetTempTint() const { return presetTempTint_; }
  uint32_t presetKeepVignette() const { return presetKeepVignette_; }
  // The model's key name, cut to 31 units, "@WBRGB" appended in RGB-gain mode if it fits.
  const WCHAR16* presetName() const { return presetName_; }
  // Held around every read or change of the list; taken after the camera's control lock.
  std::mutex& presetLock() const { return presetLock_; }
  std::vector<PresetRecord>& presets() { return presets_; }

 private:
  WString presetKey_;
  uint8_t presetTempTint_;
  uint32_t presetKeepVignette_ = 1;
  WCHAR16 presetName_[kPresetNameUnits] = {};
  std::vector<PresetRecord> presets_;
  // Holders copy records and write the registry, no callback: no edge in the wait table.
  mutable std::mutex presetLock_;
};
