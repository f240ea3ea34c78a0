// Shared typing rules for the Linux registry stores, over raw get/put of typed values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace platform {

struct RegValue {
  RegType type = RegType::Binary;
  std::vector<uint8_t> data;
};

// Key paths lose leading/trailing separators and case; value names lose case.
std::string NormaliseKey(std::string_view key);
std::string NormaliseName(std::string_view name);

class TypedRegistry : public Registry {
 public:
  RegStatus readDword(std::string_view key, std::string_view name, uint32_t& value) override;
  RegStatus readBinary(std::string_view key, std::string_view name,
                       std::vector<uint8_t>& value) override;
  RegStatus readString(std::string_view key, std::string_view name, WString& value) override;
  RegStatus writeDword(std::string_view key, std::string_view name, uint32_t value) override;
  RegStatus writeBinary(std::string_view key, std::string_view name, const void* data,
                        size_t size) override;
  RegStatus writeString(std::string_view key, std::string_view name, WStringView value) override;

 protected:
  // key and name arrive normalised.
  virtual RegStatus getRaw(const std::string& key, const std::string& name, RegValue& out) = 0;
  virtual RegStatus putRaw(const std::string& key, const std::string& name, RegValue value) = 0;
};

}  // namespace platform
