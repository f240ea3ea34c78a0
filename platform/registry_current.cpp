// The process's registry store and its scoped replacement for tests.
#include <atomic>
#include <cstdlib>

#include "platform/registry.h"

namespace platform {

#ifndef _WIN32
std::unique_ptr<Registry> MakeOsRegistry() {
  const char* root = std::getenv("ZERITHAL_REGISTRY");
  if (root && *root) return MakeFileRegistry(root);
  return MakeMemoryRegistry();
}
#endif

namespace {

std::atomic<Registry*> override_{nullptr};

Registry& osRegistry() {
  static const std::unique_ptr<Registry> os = MakeOsRegistry();
  return *os;
}

}  // namespace

Registry& CurrentRegistry() {
  Registry* r = override_.load(std::memory_order_acquire);
  return r ? *r : osRegistry();
}

ScopedRegistry::ScopedRegistry(std::unique_ptr<Registry> replacement)
    : current_(std::move(replacement)), previous_(override_.exchange(current_.get())) {}

ScopedRegistry::~ScopedRegistry() {
  override_.store(previous_);
}

}  // namespace platform
