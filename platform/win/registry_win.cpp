// The real registry below HKEY_CURRENT_USER; the key is opened and closed around each value.
#include <windows.h>

#include "platform/registry.h"
#include "platform/utf16.h"

namespace platform {
namespace {

class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle() {
    if (key_) RegCloseKey(key_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::wstring wide(std::string_view s) {
  return Utf8ToWide(s);
}

RegStatus statusOf(LONG rc, RegStatus missing) {
  if (rc == ERROR_SUCCESS) return RegStatus::Ok;
  if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) return missing;
  return RegStatus::Failed;
}

class WinRegistry final : public Registry {
 public:
  RegStatus readDword(std::string_view key, std::string_view name, uint32_t& value) override {
    DWORD type = 0, v = 0, size = sizeof(v);
    const RegStatus st = query(key, name, &type, &v, &size);
    if (st != RegStatus::Ok) return st == RegStatus::Failed ? RegStatus::WrongType : st;
    if (type != REG_DWORD || size != sizeof(v)) return RegStatus::WrongType;
    value = v;
    return RegStatus::Ok;
  }

  RegStatus readBinary(std::string_view key, std::string_view name,
                       std::vector<uint8_t>& value) override {
    DWORD type = 0, size = 0;
    RegStatus st = query(key, name, &type, nullptr, &size);
    if (st != RegStatus::Ok) return st;
    if (type != REG_BINARY) return RegStatus::WrongType;
    if (size > kRegValueMaxBytes) return RegStatus::TooLarge;
    std::vector<uint8_t> data(size);
    st = query(key, name, &type, data.data(), &size);
    if (st != RegStatus::Ok) return st;
    data.resize(size);
    value = std::move(data);
    return RegStatus::Ok;
  }

  RegStatus readString(std::string_view key, std::string_view name, WString& value) override {
    DWORD type = 0, size = 0;
    RegStatus st = query(key, name, &type, nullptr, &size);
    if (st != RegStatus::Ok) return st;
    if (type != REG_SZ) return RegStatus::WrongType;
    if (size > kRegValueMaxBytes) return RegStatus::TooLarge;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, 0);
    st = query(key, name, &type, data.data(), &size);
    if (st != RegStatus::Ok) return st;
    value.assign(data.data());  // the stored text may lack its terminator
    return RegStatus::Ok;
  }

  RegStatus writeDword(std::string_view key, std::string_view name, uint32_t value) override {
    const DWORD v = value;
    return set(key, name, REG_DWORD, &v, sizeof(v));
  }

  RegStatus writeBinary(std::string_view key, std::string_view name, const void* data,
                        size_t size) override {
    if (size > MAXDWORD) return RegStatus::Failed;
    return set(key, name, REG_BINARY, data, size);
  }

  RegStatus writeString(std::string_view key, std::string_view name, WStringView value) override {
    const std::wstring text(value);
    return set(key, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }

  RegStatus createKey(std::string_view key) override {
    KeyHandle k;
    return statusOf(RegCreateKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, nullptr, 0, KEY_WRITE,
                                    nullptr, k.out(), nullptr),
                    RegStatus::Failed);
  }

  bool keyExists(std::string_view key) override {
    KeyHandle k;
    return RegOpenKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, KEY_READ, k.out()) ==
           ERROR_SUCCESS;
  }

  RegStatus deleteKey(std::string_view key) override {
    // RegDeleteKeyW refuses a key with subkeys; the tree goes first.
    const std::wstring path = wide(key);
    KeyHandle k;
    const LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, k.out());
    if (rc != ERROR_SUCCESS) return statusOf(rc, RegStatus::NoKey);
    RegDeleteTreeW(k.get(), nullptr);
    return statusOf(RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str()), RegStatus::NoKey);
  }

 private:
  RegStatus query(std::string_view key, std::string_view name, DWORD* type, void* data,
                  DWORD* size) {
    KeyHandle k;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, KEY_READ, k.out());
    if (rc != ERROR_SUCCESS) return statusOf(rc, RegStatus::NoKey);
    rc = RegQueryValueExW(k.get(), wide(name).c_str(), nullptr, type, static_cast<BYTE*>(data),
                          size);
    if (rc == ERROR_MORE_DATA) return RegStatus::Failed;
    return statusOf(rc, RegStatus::NoValue);
  }

  RegStatus set(std::string_view key, std::string_view name, DWORD type, const void* data,
                size_t size) {
    KeyHandle k;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, k.out(), nullptr);
    if (rc != ERROR_SUCCESS) return RegStatus::Failed;
    rc = RegSetValueExW(k.get(), wide(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                        static_cast<DWORD>(size));
    return rc == ERROR_SUCCESS ? RegStatus::Ok : RegStatus::Failed;
  }
};

}  // namespace

std::unique_ptr<Registry> MakeOsRegistry() {
  return std::make_unique<WinRegistry>();
}

}  // namespace platform
