// Receives the sample grabber's frames: a progress line each, the checks, the pictures.
#pragma once

#include <dshow.h>
#include <qedit.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <mutex>

#include "tools/capture_host/com.h"

// Preview frames carry rising times; a still is a single picture that may carry none.
enum class SinkKind { kFrames, kStill };

class FrameSink final : public ISampleGrabberCB {
 public:
  // format: the connected RGB24 type. outDir empty: no pictures.
  FrameSink(int wanted, const VIDEOINFOHEADER& format, std::filesystem::path outDir, int saveEvery,
            SinkKind kind = SinkKind::kFrames);

  // Starts with one reference, the creator's; the grabber holds another while it is set.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override;
  // The sample itself rather than BufferCB's copy: its length and both times, and whether it
  // carries times at all.
  HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample* sample) noexcept override;
  HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, long) override { return S_OK; }

  HANDLE done() const { return done_.get(); }  // set when the wanted frames have arrived
  int frames() const { return frames_.load(); }
  const BITMAPINFOHEADER& format() const { return format_; }
  int violations() const { return violations_.load(); }
  int saved() const { return saved_.load(); }
  int saveFailures() const { return saveFailures_.load(); }
  // Where the last picture went; empty while none is written.
  std::filesystem::path lastPicture() const;

 private:
  void take(IMediaSample* sample);
  bool checkSample(int n, long length, bool timed, REFERENCE_TIME start);
  bool wantsPicture(int n) const;
  void save(int n, const BYTE* pixels, long length);

  ~FrameSink() = default;

  std::atomic<ULONG> references_{1};
  const int wanted_;
  const BITMAPINFOHEADER format_;
  const long imageBytes_;
  const std::filesystem::path outDir_;
  const int saveEvery_;
  const SinkKind kind_;
  Handle done_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  mutable std::mutex lock_;
  std::filesystem::path lastPicture_;
  bool haveTime_ = false;
  REFERENCE_TIME lastStart_ = 0;
  std::atomic<int> frames_{0};
  std::atomic<int> violations_{0};
  std::atomic<int> saved_{0};
  std::atomic<int> saveFailures_{0};
};
