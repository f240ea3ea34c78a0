// A camera model reduced to BaseImpl: a configurable record, inert hooks, injectable failures.
#pragma once

#include <algorithm>
#include <vector>

#include "core/base_impl.h"
#include "core/model_catalogue.h"
#include "core/resolution_entry.h"

struct StubModelSpec {
  uint64_t flags = 0;
  std::vector<ResolutionEntry> previews{{1280, 960, 1, 1}, {640, 480, 2, 1}, {320, 240, 4, 1}};
  uint32_t stillCount = 0;
  uint32_t maxSpeed = 2;
  uint32_t rawBytes = 4096;
  uint32_t defaultPreviewIndex = 0;
  const WCHAR16* registryName = ZX_W("StubCam");
  bool missingTransport = false;  // the model's own part of construction fails
};

// The model record and preview table; built before BaseImpl, which reads them in its constructor.
struct StubModelRecord {
  explicit StubModelRecord(StubModelSpec spec = {});
  StubModelSpec spec_;
  ModelInfo info_{};
};

class StubModel : private StubModelRecord, public BaseImpl {
 public:
  explicit StubModel(StubModelSpec spec, const WCHAR16* settingsRoot = nullptr,
                     HelperFrameServices* frames = nullptr);
  // For factories handed a catalogue record: the stub's default table.
  StubModel(const ModelInfo* info, const WCHAR16* settingsRoot, uint8_t flagA, uint8_t flagB);

  // BaseImpl's check plus the model's own, as a real model adds its transport.
  bool valid() const { return BaseImpl::valid() && !spec_.missingTransport; }

  HRESULT OpenCamera(uint32_t) override { return S_OK; }
  void StopSensor() override {}
  void SetResolution(uint32_t, bool) override {}
  void GetColorMatrix(double matrix[9]) override { std::fill(matrix, matrix + 9, 0.0); }
  void GetWbGainBase(uint32_t gains[3]) override { std::fill(gains, gains + 3, 256u); }
};

// While alive, the nth raw-buffer allocation from now on (1-based) fails; 0: none does.
class ScopedRawAllocationFailure {
 public:
  explicit ScopedRawAllocationFailure(int failingCall);
  ~ScopedRawAllocationFailure();
  ScopedRawAllocationFailure(const ScopedRawAllocationFailure&) = delete;
  ScopedRawAllocationFailure& operator=(const ScopedRawAllocationFailure&) = delete;
};
