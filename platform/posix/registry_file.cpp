// File-backed registry: a key is a directory, a value a file of its type word and bytes.
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/registry_store.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

// Keeps names portable as file names: anything but [a-z0-9_-] is written %XX. Escaping '.'
// keeps key directories apart from the ".val" value files.
std::string escapeComponent(std::string_view s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out.empty() ? std::string("%") : out;
}

class FileRegistry final : public TypedRegistry {
 public:
  explicit FileRegistry(std::string root) : root_(std::move(root)) {}

  RegStatus createKey(std::string_view key) override {
    std::error_code ec;
    fs::create_directories(keyDir(NormaliseKey(key)), ec);
    return ec ? RegStatus::Failed : RegStatus::Ok;
  }

  bool keyExists(std::string_view key) override {
    std::error_code ec;
    return fs::is_directory(keyDir(NormaliseKey(key)), ec);
  }

  RegStatus deleteKey(std::string_view key) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const fs::path dir = keyDir(NormaliseKey(key));
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return RegStatus::NoKey;
    fs::remove_all(dir, ec);
    return ec ? RegStatus::Failed : RegStatus::Ok;
  }

 protected:
  RegStatus getRaw(const std::string& key, const std::string& name, RegValue& out) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const fs::path dir = keyDir(key);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return RegStatus::NoKey;
    const fs::path file = dir / valueFile(name);
    std::ifstream in(file, std::ios::binary);
    if (!in) return RegStatus::NoValue;
    const uintmax_t fileBytes = fs::file_size(file, ec);
    if (ec) return RegStatus::Failed;
    if (fileBytes > kRegValueMaxBytes + 4) return RegStatus::TooLarge;  // 4: the type word
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 4) return RegStatus::Failed;  // a torn or foreign file, not a value
    uint32_t type = 0;
    for (int i = 3; i >= 0; --i) type = type << 8 | static_cast<unsigned char>(bytes[i]);
    out.type = static_cast<RegType>(type);
    out.data.assign(bytes.begin() + 4, bytes.end());
    return RegStatus::Ok;
  }

  RegStatus putRaw(const std::string& key, const std::string& name, RegValue value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const fs::path dir = keyDir(key);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return RegStatus::Failed;
    // Written beside and renamed into place, so a reader never sees half a value.
    const fs::path target = dir / valueFile(name);
    const fs::path temp = dir / (valueFile(name) + ".tmp");
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      const auto type = static_cast<uint32_t>(value.type);
      const char head[4] = {static_cast<char>(type), static_cast<char>(type >> 8),
                            static_cast<char>(type >> 16), static_cast<char>(type >> 24)};
      out.write(head, 4);
      out.write(reinterpret_cast<const char*>(value.data.data()),
                static_cast<std::streamsize>(value.data.size()));
      if (!out.flush()) return RegStatus::Failed;
    }
    fs::rename(temp, target, ec);
    return ec ? RegStatus::Failed : RegStatus::Ok;
  }

 private:
  fs::path keyDir(const std::string& key) const {
    fs::path dir = fs::path(root_) / "hkcu";
    size_t start = 0;
    while (start < key.size()) {
      size_t end = key.find('\\', start);
      if (end == std::string::npos) end = key.size();
      dir /= escapeComponent(std::string_view(key).substr(start, end - start));
      start = end + 1;
    }
    return dir;
  }

  static std::string valueFile(const std::string& name) { return escapeComponent(name) + ".val"; }

  std::string root_;
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<Registry> MakeFileRegistry(std::string root) {
  return std::make_unique<FileRegistry>(std::move(root));
}

}  // namespace platform
