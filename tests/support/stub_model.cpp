// StubModel and the raw-allocation failure switch.
#include "tests/support/stub_model.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace {

const ResolutionEntry kDefaultPreviews[] = {{1280, 960, 1, 1}, {640, 480, 2, 1}, {320, 240, 4, 1}};

std::atomic<int> callsUntilFailure{0};

void* failingAllocator(size_t bytes) {
  if (--callsUntilFailure == 0) return nullptr;
  return AllocateRawBufferDefault(bytes);
}

}  // namespace

StubModelRecord::StubModelRecord(StubModelSpec spec) : spec_(std::move(spec)) {
  info_.displayName = ZX_W("Stub");
  info_.flags = spec_.flags;
  info_.maxSpeed = spec_.maxSpeed;
  info_.previewCount = static_cast<uint32_t>(spec_.previews.size());
  info_.stillCount = spec_.stillCount;
  for (size_t i = 0; i < std::min(spec_.previews.size(), kModelResolutionSlots); ++i)
    info_.resolutions[i] = ModelResolution{spec_.previews[i].width, spec_.previews[i].height};
}

StubModel::StubModel(StubModelSpec spec, const WCHAR16* settingsRoot, HelperFrameServices* frames)
    : StubModelRecord(std::move(spec)),
      BaseImpl(spec_.rawBytes, spec_.defaultPreviewIndex, &info_, settingsRoot, 1, 1,
               spec_.registryName, spec_.previews.empty() ? nullptr : spec_.previews.data()) {
  setHelper(nullptr, frames);
}

StubModel::StubModel(const ModelInfo* info, const WCHAR16* settingsRoot, uint8_t flagA,
                     uint8_t flagB)
    : BaseImpl(4096, 0, info, settingsRoot, flagA, flagB, ZX_W("StubCam"), kDefaultPreviews) {}

ScopedRawAllocationFailure::ScopedRawAllocationFailure(int failingCall) {
  callsUntilFailure = failingCall;
  SetRawBufferAllocator(failingAllocator);
}

ScopedRawAllocationFailure::~ScopedRawAllocationFailure() {
  SetRawBufferAllocator(nullptr);
}
