// StubModel and the raw-allocation failure switch.
#include "tests/support/stub_model.h"

#include <algorithm>
#include <atomic>

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

StubModel::StubModel(const StubModelRecord& record, const WCHAR16* settingsRoot, uint8_t flagA,
                     uint8_t flagB, HelperFrameServices* frames)
    : BaseImpl(record.spec().rawBytes, record.spec().defaultPreviewIndex, record.info(),
               settingsRoot, flagA, flagB, record.spec().registryName,
               record.spec().previews.empty() ? nullptr : record.spec().previews.data()) {
  setHelper(nullptr, frames);
  missingTransport_ = record.spec().missingTransport;
}

StubModel::StubModel(const ModelInfo* info, const WCHAR16* settingsRoot, uint8_t flagA,
                     uint8_t flagB)
    : BaseImpl(4096, 0, info, settingsRoot, flagA, flagB, ZX_W("StubCam"), kDefaultPreviews) {}

HRESULT StubModel::OpenCamera(uint32_t) {
  hooks.push_back("OpenCamera");
  return S_OK;
}

void StubModel::StopSensor() {
  hooks.push_back("StopSensor");
}

void StubModel::SetResolution(uint32_t, bool) {
  hooks.push_back("SetResolution");
}

void StubModel::GetColorMatrix(double matrix[9]) {
  hooks.push_back("GetColorMatrix");
  std::fill(matrix, matrix + 9, 0.0);
}

void StubModel::GetWbGainBase(uint32_t gains[3]) {
  hooks.push_back("GetWbGainBase");
  std::fill(gains, gains + 3, 256u);
}

ScopedRawAllocationFailure::ScopedRawAllocationFailure(int failingCall) {
  callsUntilFailure = failingCall;
  SetRawBufferAllocator(failingAllocator);
}

ScopedRawAllocationFailure::~ScopedRawAllocationFailure() {
  SetRawBufferAllocator(nullptr);
}
