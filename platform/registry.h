// Current-user settings store: the real registry on Windows, a file tree or memory on Linux.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace platform {

// TooLarge: the value is bigger than kRegValueMaxBytes and was not read.
enum class RegStatus { Ok, NoKey, NoValue, WrongType, Failed, TooLarge };

// No setting or preset list comes near this; a bigger value is refused by its size, unread, so a
// damaged or hostile store cannot make a reader allocate it.
inline constexpr uint64_t kRegValueMaxBytes = uint64_t{16} << 20;

enum class RegType : uint32_t { Sz = 1, Binary = 3, Dword = 4 };

// Keys are paths below HKEY_CURRENT_USER separated by '\'; names compare without case, as Windows
// does.
class Registry {
 public:
  virtual ~Registry() = default;

  // A DWORD read succeeds only for a 4-byte REG_DWORD; anything else is WrongType.
  virtual RegStatus readDword(std::string_view key, std::string_view name, uint32_t& value) = 0;
  virtual RegStatus readBinary(std::string_view key, std::string_view name,
                               std::vector<uint8_t>& value) = 0;
  virtual RegStatus readString(std::string_view key, std::string_view name, WString& value) = 0;
  // Writers create the key when it is missing.
  virtual RegStatus writeDword(std::string_view key, std::string_view name, uint32_t value) = 0;
  virtual RegStatus writeBinary(std::string_view key, std::string_view name, const void* data,
                                size_t size) = 0;
  virtual RegStatus writeString(std::string_view key, std::string_view name, WStringView value) = 0;
  virtual RegStatus createKey(std::string_view key) = 0;
  virtual bool keyExists(std::string_view key) = 0;
  // Deletes the key with its values and subkeys.
  virtual RegStatus deleteKey(std::string_view key) = 0;
};

std::unique_ptr<Registry> MakeMemoryRegistry();
#ifndef _WIN32
// Each key a directory below root, each value a file holding its type and bytes.
std::unique_ptr<Registry> MakeFileRegistry(std::string root);
#endif
// The OS's own store: HKCU on Windows, ZERITHAL_REGISTRY's file tree or memory elsewhere.
std::unique_ptr<Registry> MakeOsRegistry();

// The process's store: on Windows HKEY_CURRENT_USER; on Linux a file tree below $ZERITHAL_REGISTRY
// when it is set, else memory.
Registry& CurrentRegistry();

// Replaces the process's store for the life of the object (tests).
class ScopedRegistry {
 public:
  explicit ScopedRegistry(std::unique_ptr<Registry> replacement);
  ~ScopedRegistry();
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;
  Registry& get() { return *current_; }

 private:
  std::unique_ptr<Registry> current_;
  Registry* previous_;
};

}  // namespace platform
