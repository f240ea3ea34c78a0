// Typed reads and writes over the raw value stores; REG_SZ is UTF-16LE with its terminator.
#include "platform/registry_store.h"

#include <cstring>

namespace platform {

std::string NormaliseKey(std::string_view key) {
  std::string out;
  for (char c : key) {
    if (c == '/') c = '\\';
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

std::string NormaliseName(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

RegStatus TypedRegistry::readDword(std::string_view key, std::string_view name, uint32_t& value) {
  RegValue v;
  const RegStatus st = getRaw(NormaliseKey(key), NormaliseName(name), v);
  if (st != RegStatus::Ok) return st;
  if (v.type != RegType::Dword || v.data.size() != 4) return RegStatus::WrongType;
  value = static_cast<uint32_t>(v.data[0]) | static_cast<uint32_t>(v.data[1]) << 8 |
          static_cast<uint32_t>(v.data[2]) << 16 | static_cast<uint32_t>(v.data[3]) << 24;
  return RegStatus::Ok;
}

RegStatus TypedRegistry::readBinary(std::string_view key, std::string_view name,
                                    std::vector<uint8_t>& value) {
  RegValue v;
  const RegStatus st = getRaw(NormaliseKey(key), NormaliseName(name), v);
  if (st != RegStatus::Ok) return st;
  if (v.type != RegType::Binary) return RegStatus::WrongType;
  value = std::move(v.data);
  return RegStatus::Ok;
}

RegStatus TypedRegistry::readString(std::string_view key, std::string_view name, WString& value) {
  RegValue v;
  const RegStatus st = getRaw(NormaliseKey(key), NormaliseName(name), v);
  if (st != RegStatus::Ok) return st;
  if (v.type != RegType::Sz || v.data.size() % 2 != 0) return RegStatus::WrongType;
  value.clear();
  for (size_t i = 0; i + 1 < v.data.size(); i += 2) {
    const auto unit = static_cast<WCHAR16>(v.data[i] | v.data[i + 1] << 8);
    if (unit == 0) break;  // stored with its terminator
    value += unit;
  }
  return RegStatus::Ok;
}

RegStatus TypedRegistry::writeDword(std::string_view key, std::string_view name, uint32_t value) {
  RegValue v{RegType::Dword,
             {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)}};
  return putRaw(NormaliseKey(key), NormaliseName(name), std::move(v));
}

RegStatus TypedRegistry::writeBinary(std::string_view key, std::string_view name, const void* data,
                                     size_t size) {
  if (!data && size) return RegStatus::Failed;
  RegValue v{RegType::Binary, {}};
  v.data.resize(size);
  if (size) std::memcpy(v.data.data(), data, size);
  return putRaw(NormaliseKey(key), NormaliseName(name), std::move(v));
}

RegStatus TypedRegistry::writeString(std::string_view key, std::string_view name,
                                     WStringView value) {
  RegValue v{RegType::Sz, {}};
  for (WCHAR16 unit : value) {
    v.data.push_back(static_cast<uint8_t>(unit));
    v.data.push_back(static_cast<uint8_t>(static_cast<uint16_t>(unit) >> 8));
  }
  v.data.push_back(0);
  v.data.push_back(0);
  return putRaw(NormaliseKey(key), NormaliseName(name), std::move(v));
}

}  // namespace platform
