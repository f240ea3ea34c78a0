// In-memory registry for unit tests; one mutex keeps it safe for threaded tests.
#include <map>
#include <mutex>

#include "platform/registry_store.h"

namespace platform {
namespace {

class MemoryRegistry final : public TypedRegistry {
 public:
  RegStatus createKey(std::string_view key) override {
    std::lock_guard<std::mutex> lock(mutex_);
    createLocked(NormaliseKey(key));
    return RegStatus::Ok;
  }

  bool keyExists(std::string_view key) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return keys_.count(NormaliseKey(key)) != 0;
  }

  RegStatus deleteKey(std::string_view key) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string k = NormaliseKey(key);
    if (!keys_.count(k)) return RegStatus::NoKey;
    const std::string prefix = k + '\\';
    for (auto it = keys_.begin(); it != keys_.end();) {
      if (it->first == k || it->first.compare(0, prefix.size(), prefix) == 0)
        it = keys_.erase(it);
      else
        ++it;
    }
    return RegStatus::Ok;
  }

 protected:
  RegStatus getRaw(const std::string& key, const std::string& name, RegValue& out) override {
    std::lock_guard<std::mutex> lock(mutex_);
    auto k = keys_.find(key);
    if (k == keys_.end()) return RegStatus::NoKey;
    auto v = k->second.find(name);
    if (v == k->second.end()) return RegStatus::NoValue;
    if (v->second.data.size() > kRegValueMaxBytes) return RegStatus::TooLarge;
    out = v->second;
    return RegStatus::Ok;
  }

  RegStatus putRaw(const std::string& key, const std::string& name, RegValue value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    createLocked(key);
    keys_[key][name] = std::move(value);
    return RegStatus::Ok;
  }

 private:
  void createLocked(const std::string& key) {
    // Like the real registry, creating a key creates its parents.
    for (size_t pos = key.find('\\'); pos != std::string::npos; pos = key.find('\\', pos + 1))
      keys_[key.substr(0, pos)];
    keys_[key];
  }

  std::mutex mutex_;
  std::map<std::string, std::map<std::string, RegValue>> keys_;
};

}  // namespace

std::unique_ptr<Registry> MakeMemoryRegistry() {
  return std::make_unique<MemoryRegistry>();
}

}  // namespace platform
