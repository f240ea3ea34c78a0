// CountingFactory's record and its stub cameras.
#include "tests/support/counting_factory.h"

#include "core/make_camera.h"
#include "tests/support/stub_model.h"

namespace {

std::vector<FactoryCall> recorded;
bool refusing = false;

}  // namespace

void CountingFactory::reset() {
  recorded.clear();
  refusing = false;
}

void CountingFactory::refuse(bool refuse) {
  refusing = refuse;
}

const std::vector<FactoryCall>& CountingFactory::calls() {
  return recorded;
}

BaseImpl* CountingFactory::Create(const WCHAR16* deviceId, const WCHAR16* settingsRoot,
                                  uint8_t flagA, uint8_t flagB, const ModelInfo* info) noexcept {
  try {
    recorded.push_back(FactoryCall{
        WString(deviceId), settingsRoot ? std::optional<WString>(settingsRoot) : std::nullopt,
        flagA, flagB, info});
  } catch (...) {
    return nullptr;
  }
  if (refusing) return nullptr;
  return MakeCamera<StubModel>(info, settingsRoot, flagA, flagB);
}
