// A camera model reduced to BaseImpl: a configurable record, recorded hooks, injectable failures.
#pragma once

#include <string>
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

// The model record and preview table a stub camera points at; outlives the cameras made from it.
class StubModelRecord {
 public:
  explicit StubModelRecord(StubModelSpec spec = {});
  const ModelInfo* info() const { return &info_; }
  const StubModelSpec& spec() const { return spec_; }

 private:
  StubModelSpec spec_;
  ModelInfo info_{};
};

class StubModel : public BaseImpl {
 public:
  StubModel(const StubModelRecord& record, const WCHAR16* settingsRoot, uint8_t flagA = 1,
            uint8_t flagB = 1, HelperFrameServices* frames = nullptr);
  // For factories handed a catalogue record: the stub's default table.
  StubModel(const ModelInfo* info, const WCHAR16* settingsRoot, uint8_t flagA, uint8_t flagB);

  // BaseImpl's check plus the model's own, as a real model adds its transport.
  bool valid() const { return BaseImpl::valid() && !missingTransport_; }

  HRESULT OpenCamera(uint32_t previewIndex) override;
  void StopSensor() override;
  void SetResolution(uint32_t index, bool still) override;
  void GetColorMatrix(double matrix[9]) override;
  void GetWbGainBase(uint32_t gains[3]) override;

  std::vector<std::string> hooks;

 private:
  bool missingTransport_ = false;
};

// While alive, the nth raw-buffer allocation from now on (1-based) fails.
class ScopedRawAllocationFailure {
 public:
  explicit ScopedRawAllocationFailure(int failingCall);
  ~ScopedRawAllocationFailure();
  ScopedRawAllocationFailure(const ScopedRawAllocationFailure&) = delete;
  ScopedRawAllocationFailure& operator=(const ScopedRawAllocationFailure&) = delete;
};
