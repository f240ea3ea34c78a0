// Receives the sample grabber's frames: a progress line each, the checks, the pictures.
#include "tools/capture_host/frame_sink.h"

#include <cstdio>
#include <cstdlib>

#include "tools/capture_host/bmp.h"

namespace {

// biSizeImage may be 0 for an uncompressed format: then rows of 4-byte-aligned width.
long ImageBytes(const BITMAPINFOHEADER& h) {
  if (h.biSizeImage) return static_cast<long>(h.biSizeImage);
  return ((h.biWidth * 3 + 3) & ~3L) * std::labs(h.biHeight);
}

double Seconds(REFERENCE_TIME t) {
  return static_cast<double>(t) / 1e7;
}

}  // namespace

FrameSink::FrameSink(int wanted, const VIDEOINFOHEADER& format, std::filesystem::path outDir,
                     int saveEvery, SinkKind kind)
    : wanted_(wanted),
      format_(format.bmiHeader),
      imageBytes_(ImageBytes(format.bmiHeader)),
      outDir_(std::move(outDir)),
      saveEvery_(saveEvery),
      kind_(kind) {}

std::filesystem::path FrameSink::lastPicture() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lastPicture_;
}

HRESULT STDMETHODCALLTYPE FrameSink::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
    *ppv = static_cast<ISampleGrabberCB*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FrameSink::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE FrameSink::SampleCB(double, IMediaSample* sample) noexcept {
  if (!sample) return E_POINTER;
  try {
    take(sample);
  } catch (...) {
    // Nothing thrown may reach the grabber's streaming thread; the frame counts as broken.
    ++violations_;
  }
  return S_OK;
}

void FrameSink::take(IMediaSample* sample) {
  std::lock_guard<std::mutex> hold(lock_);
  if (frames_.load() >= wanted_) return;  // frames that come while the graph stops
  const int n = ++frames_;
  const long length = sample->GetActualDataLength();
  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
  const bool still = kind_ == SinkKind::kStill;
  char when[48] = "untimed";  // a still's own way; an untimed frame is a violation, shown as -1 s
  if (timed || !still)
    std::snprintf(when, sizeof(when), "time %.6f s", timed ? Seconds(start) : -1.0);
  std::printf("%s %d/%d: %ldx%ld, %ld bytes, %s\n", still ? "still" : "frame", n, wanted_,
              format_.biWidth, std::labs(format_.biHeight), length, when);
  BYTE* pixels = nullptr;
  if (checkSample(n, length, timed, start) && wantsPicture(n) &&
      SUCCEEDED(sample->GetPointer(&pixels)) && pixels) {
    save(n, pixels, length);
  }
  std::fflush(stdout);
  if (n == wanted_) SetEvent(done_.get());
}

// Every sample holds one whole frame of the connected format, and a preview frame's start time
// comes after the one before. False when the sample breaks either.
bool FrameSink::checkSample(int n, long length, bool timed, REFERENCE_TIME start) {
  const bool whole = length == imageBytes_;
  if (!whole) {
    std::printf("violation: %s %d has %ld bytes, the format's image is %ld\n",
                kind_ == SinkKind::kStill ? "still" : "frame", n, length, imageBytes_);
  }
  if (kind_ == SinkKind::kStill) {
    if (!whole) ++violations_;
    return whole;
  }
  bool ordered = timed;
  if (!timed) {
    std::printf("violation: frame %d has no time stamp\n", n);
  } else if (haveTime_ && start <= lastStart_) {
    std::printf("violation: frame %d starts at %.6f s, not after the previous %.6f s\n", n,
                Seconds(start), Seconds(lastStart_));
    ordered = false;
  }
  if (!whole || !ordered) ++violations_;
  if (timed) {
    haveTime_ = true;
    lastStart_ = start;
  }
  return whole;
}

bool FrameSink::wantsPicture(int n) const {
  if (outDir_.empty()) return false;
  return n == 1 || n == wanted_ || (saveEvery_ > 0 && (n - 1) % saveEvery_ == 0);
}

void FrameSink::save(int n, const BYTE* pixels, long length) {
  wchar_t name[32];
  if (kind_ == SinkKind::kStill) {
    swprintf(name, 32, wanted_ == 1 ? L"still.bmp" : L"still-%04d.bmp", n);
  } else {
    swprintf(name, 32, L"frame-%04d.bmp", n);
  }
  const std::filesystem::path path = outDir_ / name;
  if (WriteRgb24Bmp(path, format_, pixels, static_cast<size_t>(length))) {
    ++saved_;
    lastPicture_ = path;
    std::printf("  saved %s\n", Utf8(path.wstring()).c_str());
  } else {
    ++saveFailures_;
    std::printf("error: could not write %s\n", Utf8(path.wstring()).c_str());
  }
}
