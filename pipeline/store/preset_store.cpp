// A camera's preset list in its registry key ("pgt", "pgt@WBRGB") and in ".pgt" files.
#include "pipeline/store/preset_store.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "base/trace.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/utf16.h"

namespace {

const char* valueName(const Preset& p) {
  return p.presetTempTint() ? "pgt" : "pgt@WBRGB";
}

// The file's whole size, or -1 when it cannot be measured.
long fileSize(std::FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(f);
  if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
  return size;
}

}  // namespace

void PresetGet(const std::vector<PresetRecord>& list, PresetRecord* out, uint32_t index) {
  if (!out) return;
  if (index < list.size())
    *out = list[index];
  else
    *out = PresetRecord{};
}

int32_t PresetLoad(Preset& preset) {
  if (preset.presetKey().empty()) return kPresetNoStore;
  std::vector<uint8_t> value;
  const std::string key = platform::WideToUtf8(preset.presetKey());
  const platform::RegStatus read =
      platform::CurrentRegistry().readBinary(key, valueName(preset), value);
  if (read == platform::RegStatus::TooLarge) {
    ZX_TRACE_ERROR("%s: value over %llu bytes refused", "PresetLoad",
                   static_cast<unsigned long long>(platform::kRegValueMaxBytes));
    return kPresetDamaged;  // there, but no list could be that long
  }
  if (read != platform::RegStatus::Ok || value.empty()) return kPresetNoStore;
  if (value.size() > kPresetMaxBytes) return kPresetDamaged;
  const int32_t r =
      ParsePresetBuffer(value.data(), value.size(), preset.presetName(), preset.presets());
  if (r != kPresetOk) ZX_TRACE_ERROR("%s: %d", "PresetLoad", r);
  return r;
}

int32_t PresetSave(Preset& preset) {
  if (preset.presetKey().empty()) return kPresetNoStore;
  const std::vector<uint8_t> buffer = SavePresetBuffer(preset.presets(), preset.presetName());
  if (buffer.empty()) return kPresetNoStore;
  const std::string key = platform::WideToUtf8(preset.presetKey());
  if (platform::CurrentRegistry().writeBinary(key, valueName(preset), buffer.data(),
                                              buffer.size()) != platform::RegStatus::Ok)
    return kPresetNoStore;
  return kPresetOk;
}

int32_t LoadPresetFile(const WCHAR16* path, const WCHAR16 expectedName[kPresetNameUnits],
                       std::vector<PresetRecord>& list) {
  platform::FilePtr file = platform::OpenFile(path, "rb");
  if (!file) return kPresetNoFile;
  const long size = fileSize(file.get());
  if (size <= 0 || static_cast<unsigned long>(size) > kPresetMaxBytes) return kPresetDamaged;
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return kPresetDamaged;
  }
  if (std::fread(buffer.data(), 1, buffer.size(), file.get()) != buffer.size())
    return kPresetDamaged;
  return ParsePresetBuffer(buffer.data(), buffer.size(), expectedName, list);
}
