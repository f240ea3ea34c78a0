// The process store in memory, recording each access with the value (or key) it names.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

class RecordingRegistry final : public platform::Registry {
 public:
  using Status = platform::RegStatus;
  struct Access {
    std::string op;  // "read", "write", or "key" for creating and deleting keys
    std::string key, name;
  };
  Status readDword(std::string_view k, std::string_view n, uint32_t& v) override {
    return noted("read", k, n, [&] { return store->readDword(k, n, v); });
  }
  Status readBinary(std::string_view k, std::string_view n, std::vector<uint8_t>& v) override {
    return noted("read", k, n, [&] { return store->readBinary(k, n, v); });
  }
  Status readString(std::string_view k, std::string_view n, WString& v) override {
    return noted("read", k, n, [&] { return store->readString(k, n, v); });
  }
  Status writeDword(std::string_view k, std::string_view n, uint32_t v) override {
    return noted("write", k, n, [&] { return store->writeDword(k, n, v); });
  }
  Status writeBinary(std::string_view k, std::string_view n, const void* d, size_t s) override {
    return noted("write", k, n, [&] { return store->writeBinary(k, n, d, s); });
  }
  Status writeString(std::string_view k, std::string_view n, WStringView v) override {
    return noted("write", k, n, [&] { return store->writeString(k, n, v); });
  }
  Status createKey(std::string_view k) override {
    return noted("key", k, k, [&] { return store->createKey(k); });
  }
  bool keyExists(std::string_view k) override { return store->keyExists(k); }
  Status deleteKey(std::string_view k) override {
    return noted("key", k, k, [&] { return store->deleteKey(k); });
  }

  bool touched(std::string_view name) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const Access& a : log)
      if (a.name == name) return true;
    return false;
  }
  // What changed the store since the last take, by name.
  std::vector<std::string> takeChanges() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::string> names;
    for (const Access& a : std::exchange(log, {}))
      if (a.op != "read") names.push_back(a.name);
    return names;
  }

  std::unique_ptr<platform::Registry> store = platform::MakeMemoryRegistry();
  std::vector<Access> log;

 private:
  // Logs the access, then makes it on the store.
  template <class Op>
  Status noted(const char* op, std::string_view k, std::string_view n, Op access) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      log.push_back({op, std::string(k), std::string(n)});
    }
    return access();
  }
  std::mutex lock_;
};
