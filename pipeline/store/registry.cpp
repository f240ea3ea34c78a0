// Typed DWORD reads and writes of the camera's settings below the current user.
#include "pipeline/store/registry.h"

#include "pipeline/pl_settings.h"
#include "platform/registry.h"
#include "platform/utf16.h"

std::string RegKeyFromWide(const WCHAR16* key) {
  if (!key) return {};
  return platform::WideToUtf8(WStringView(key, platform::WideLength(key)));
}

bool RegKeyReadable(std::string_view subkey) {
  return !subkey.empty() && platform::CurrentRegistry().keyExists(subkey);
}

bool RegReadRaw(std::string_view subkey, std::string_view name, uint32_t& value) {
  if (subkey.empty() || name.empty()) return false;
  return platform::CurrentRegistry().readDword(subkey, name, value) == platform::RegStatus::Ok;
}

int32_t RegReadDword(std::string_view subkey, std::string_view name, int32_t def, int32_t min,
                     int32_t max) {
  uint32_t raw = 0;
  if (!RegReadRaw(subkey, name, raw)) return def;
  int32_t v = static_cast<int32_t>(raw);
  if (v < min) v = min;
  if (v > max) v = max;
  return v;
}

uint32_t RegReadUDword(std::string_view subkey, std::string_view name, uint32_t def, uint32_t min,
                       uint32_t max) {
  uint32_t v = 0;
  if (!RegReadRaw(subkey, name, v)) return def;
  if (v < min) v = min;
  if (v > max) v = max;
  return v;
}

int32_t RegReadFraction(std::string_view subkey, std::string_view name, int32_t def) {
  return static_cast<int32_t>(
      RegReadUDword(subkey, name, static_cast<uint32_t>(def), 0, kFractionOne));
}

bool RegWriteDword(std::string_view subkey, std::string_view name, uint32_t value) {
  if (subkey.empty()) return false;
  return platform::CurrentRegistry().writeDword(subkey, name, value) == platform::RegStatus::Ok;
}

std::string RegValueName(const char* prefix, uint32_t number) {
  return std::string(prefix) + std::to_string(number);
}
