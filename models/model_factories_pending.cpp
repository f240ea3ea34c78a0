// Factories of the models not built yet: no camera object, so opening such a device finds none.
// Each model's own source replaces its line here with a real factory.
#include "models/model_factories.h"

#include <cstddef>

namespace {
// The pending factories, noted as their definitions below are initialised.
constexpr size_t kMaxPending = 64;
ModelFactory gPending[kMaxPending];
size_t gPendingCount = 0;

[[maybe_unused]] bool notePending(ModelFactory factory) noexcept {
  if (gPendingCount < kMaxPending) gPending[gPendingCount++] = factory;
  return true;
}
}  // namespace

bool ModelFactoryPending(ModelFactory factory) noexcept {
  for (size_t i = 0; i < gPendingCount; ++i)
    if (gPending[i] == factory) return true;
  return false;
}

#define ZX_PENDING_FACTORY(code)                                           \
  BaseImpl* Create##code(const WCHAR16*, const WCHAR16*, uint8_t, uint8_t, \
                         const ModelInfo*) noexcept {                      \
    return nullptr;                                                        \
  }                                                                        \
  [[maybe_unused]] const bool kPending##code = notePending(&Create##code);
