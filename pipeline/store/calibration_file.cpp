// Dark-field and flat-field tables to and from files, so that a calibration survives a restart
// of the camera at the same frame size.
#include "pipeline/store/calibration_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "base/pixel_formats.h"
#include "base/trace.h"
#include "pipeline/algorithms/dark_field.h"
#include "platform/file.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

constexpr size_t kKindAt = 0, kWidthAt = 16, kHeightAt = 20, kBitsAt = 24;
static_assert(kBitsAt + 1 == kCalibrationHeaderBytes);
constexpr uint8_t kOnePlaneFormats[] = {kPixelRaw8,  kPixelRaw10,   kPixelRaw12,   kPixelRaw14,
                                        kPixelRaw16, kPixelRaw8Alt, kPixelRaw12Alt};
constexpr uint8_t kThreePlaneFirst = 5, kThreePlaneLast = 8;

void putU32(uint8_t* at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) at[i] = uint8_t(v >> (8 * i));
}
uint32_t getU32(const uint8_t* at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= uint32_t(at[i]) << (8 * i);
  return v;
}

// Samples to and from their little-endian bytes.
template <typename T>
void encode(const T* src, size_t n, uint8_t* out) {
  for (size_t i = 0; i < n; ++i)
    for (size_t b = 0; b < sizeof(T); ++b) out[i * sizeof(T) + b] = uint8_t(src[i] >> (8 * b));
}
template <typename T>
void decode(const uint8_t* in, size_t n, T* dst) {
  for (size_t i = 0; i < n; ++i) {
    uint64_t v = 0;
    for (size_t b = 0; b < sizeof(T); ++b) v |= uint64_t(in[i * sizeof(T) + b]) << (8 * b);
    dst[i] = T(v);
  }
}

// One table of a state: its lock, validity and planes (one or three), each of T samples.
template <typename T, typename Plane = std::vector<T>>
struct Table {
  platform::RecursiveLock& lock;
  uint8_t& valid;
  std::array<Plane*, 3> planes;
  uint32_t count;
  const CalibrationKind& kind;
  uint8_t bitDepth;
};

template <typename T, typename Plane>
HRESULT exportTable(const Table<T, Plane>& t, const WCHAR16* path, uint32_t w, uint32_t h) {
  const uint64_t n = uint64_t(w) * h;
  std::vector<uint8_t> bytes;
  {
    Lock hold(t.lock);
    if (!t.valid) return E_UNEXPECTED;
    for (uint32_t k = 0; k < t.count; ++k) {
      if (t.planes[k]->empty()) return E_UNEXPECTED;
      if (t.planes[k]->size() < n) return E_INVALIDARG;
    }
    try {
      bytes.resize(kCalibrationHeaderBytes + size_t(n) * sizeof(T) * t.count);
    } catch (const std::bad_alloc&) {
      return E_UNEXPECTED;
    }
    const auto head = EncodeCalibrationHeader({t.kind, w, h, t.bitDepth});
    std::memcpy(bytes.data(), head.data(), head.size());
    for (uint32_t k = 0; k < t.count; ++k)
      encode(t.planes[k]->data(), size_t(n),
             bytes.data() + kCalibrationHeaderBytes + k * size_t(n) * sizeof(T));
  }
  platform::FilePtr f = platform::OpenFile(path, "wb");
  if (!f) return E_INVALIDARG;
  const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f.get());
  const bool flushed = std::fflush(f.get()) == 0;
  return written == bytes.size() && flushed ? S_OK : E_FAIL;
}

// Reads the whole file into fresh planes of `capacity` samples (the frame's when 0); nothing of
// the state changes. A frame larger than `limit` samples would not fit the state's tables.
template <typename T, typename Plane>
HRESULT readTable(const Table<T, Plane>& t, const WCHAR16* path, uint32_t w, uint32_t h,
                  size_t limit, size_t capacity, std::array<Plane, 3>& fresh) {
  const uint64_t n = uint64_t(w) * h;
  if (n > limit) return E_INVALIDARG;
  if (capacity == 0) capacity = size_t(n);
  platform::FilePtr f = platform::OpenFile(path, "rb");
  if (!f) return E_INVALIDARG;
  uint8_t head[kCalibrationHeaderBytes];
  if (std::fread(head, 1, sizeof head, f.get()) != sizeof head) return E_INVALIDARG;
  const CalibrationHeader got = DecodeCalibrationHeader(head);
  if (got.kind != t.kind || got.width != w || got.height != h || got.bitDepth != t.bitDepth)
    return E_INVALIDARG;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(size_t(n) * sizeof(T));
    for (uint32_t k = 0; k < t.count; ++k) {
      if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return E_INVALIDARG;
      fresh[k].assign(capacity, T{});
      decode(bytes.data(), size_t(n), fresh[k].data());
    }
  } catch (const std::bad_alloc&) {
    return E_UNEXPECTED;
  }
  if (std::fgetc(f.get()) != EOF) return E_INVALIDARG;  // a longer file is not this table
  return S_OK;
}

// Swaps the planes in under the lock; `rebuilt` runs there too. 0 or 1 as the table was valid.
template <typename T, typename Plane, typename After>
HRESULT swapIn(const Table<T, Plane>& t, std::array<Plane, 3>& fresh, const After& rebuilt) {
  Lock hold(t.lock);
  for (uint32_t k = 0; k < t.count; ++k) t.planes[k]->swap(fresh[k]);
  const HRESULT hr = t.valid ? S_FALSE : S_OK;
  t.valid = 1;
  rebuilt();
  return hr;
}

// An import's report: handed to the caller through due when it gives one, else raised here.
template <typename Sample>
void report(PLContextT<Sample>& c, bool dark, PLHostNotice* due) {
  const PLHostCallbacks cb = SnapshotCallbacks(c);
  const PLHostNotice notice = dark ? PLHostNotice{cb.onDfcFrame, cb.onDfcFrameContext}
                                   : PLHostNotice{cb.onFfcFrame, cb.onFfcFrameContext};
  if (due)
    *due = notice;
  else
    notice.raise();
}

// The dark table of a state: the single plane of samples.
template <typename Sample>
using DarkTable = Table<Sample, platform::FrameVector<Sample>>;
template <typename Sample>
DarkTable<Sample> darkSingle(PLContextT<Sample>& c) {
  return {*c.mtxDfc, c.dfcValid, {&c.darkTable, nullptr, nullptr}, 1, kDarkFieldKind, c.bitDepth};
}
Table<uint8_t> darkThree(PLContext& c) {
  return {*c.mtxDfc, c.dfcValid,     {&c.darkPlanes[0], &c.darkPlanes[1], &c.darkPlanes[2]},
          3,         kDarkFieldKind, c.bitDepth};
}
template <typename Sample>
Table<uint32_t> flatTable(PLContextT<Sample>& c, uint32_t planes) {
  if (planes == 3)
    return {
        *c.mtxFfc, c.ffcValid,     {&c.ffcGainPlanes[0], &c.ffcGainPlanes[1], &c.ffcGainPlanes[2]},
        3,         kFlatFieldKind, c.bitDepth};
  return {*c.mtxFfc, c.ffcValid, {&c.ffcGain, nullptr, nullptr}, 1, kFlatFieldKind, c.bitDepth};
}

template <typename Sample>
size_t capacityOf(const PLContextT<Sample>& c) {
  return size_t(c.procWidth) * c.procHeight;
}

template <typename Sample>
HRESULT darkExport(PLContextT<Sample>* c, const WCHAR16* path, uint32_t w, uint32_t h) {
  if (!c) return E_UNEXPECTED;
  const uint32_t planes = CalibrationPlanes(c->pixelFormat);
  if (planes == 1) return exportTable(darkSingle(*c), path, w, h);
  if constexpr (sizeof(Sample) == 1)
    if (planes == 3) return exportTable(darkThree(*c), path, w, h);
  return E_UNEXPECTED;
}

template <typename Sample>
HRESULT darkImport(PLContextT<Sample>* c, const WCHAR16* path, uint32_t w, uint32_t h,
                   PLHostNotice* due) {
  if (!c) return E_UNEXPECTED;
  const uint32_t planes = CalibrationPlanes(c->pixelFormat);
  HRESULT hr = E_UNEXPECTED;
  if (planes == 1) {
    const DarkTable<Sample> t = darkSingle(*c);
    std::array<platform::FrameVector<Sample>, 3> fresh;
    hr = readTable(t, path, w, h, capacityOf(*c), capacityOf(*c), fresh);
    if (SUCCEEDED(hr))
      hr = swapIn(t, fresh, [&] { DfcFindHotPixels(*c, w, h, uint32_t(c->bayer)); });
  } else if constexpr (sizeof(Sample) == 1) {
    if (planes == 3) {
      const Table<uint8_t> t = darkThree(*c);
      std::array<std::vector<uint8_t>, 3> fresh;
      hr = readTable(t, path, w, h, capacityOf(*c), 0, fresh);  // planes hold the frame only
      if (SUCCEEDED(hr)) hr = swapIn(t, fresh, [&] { c->hotPixels.clear(); });
    }
  }
  if (hr == S_OK) report(*c, true, due);
  return hr;
}

}  // namespace

std::array<uint8_t, kCalibrationHeaderBytes> EncodeCalibrationHeader(const CalibrationHeader& h) {
  std::array<uint8_t, kCalibrationHeaderBytes> out{};
  std::copy(h.kind.begin(), h.kind.end(), out.begin() + kKindAt);
  putU32(out.data() + kWidthAt, h.width);
  putU32(out.data() + kHeightAt, h.height);
  out[kBitsAt] = h.bitDepth;
  return out;
}

CalibrationHeader DecodeCalibrationHeader(const uint8_t* bytes) {
  CalibrationHeader h;
  std::copy(bytes + kKindAt, bytes + kKindAt + h.kind.size(), h.kind.begin());
  h.width = getU32(bytes + kWidthAt);
  h.height = getU32(bytes + kHeightAt);
  h.bitDepth = bytes[kBitsAt];
  return h;
}

uint32_t CalibrationPlanes(uint8_t format) {
  if (std::find(std::begin(kOnePlaneFormats), std::end(kOnePlaneFormats), format) !=
      std::end(kOnePlaneFormats))
    return 1;
  if ((format >= kThreePlaneFirst && format <= kThreePlaneLast) || format == kPixelYuv422Alt)
    return 3;
  return 0;
}

HRESULT PL_DfcExport(PLContext* c, const WCHAR16* path, uint32_t w, uint32_t h) {
  return darkExport(c, path, w, h);
}
HRESULT PL_DfcExport16(PLContext16* c, const WCHAR16* path, uint32_t w, uint32_t h) {
  return darkExport(c, path, w, h);
}
HRESULT PL_DfcImport(PLContext* c, const WCHAR16* path, uint32_t w, uint32_t h, PLHostNotice* due) {
  return darkImport(c, path, w, h, due);
}
HRESULT PL_DfcImport16(PLContext16* c, const WCHAR16* path, uint32_t w, uint32_t h,
                       PLHostNotice* due) {
  return darkImport(c, path, w, h, due);
}

template <typename Sample>
HRESULT PL_FfcExport(PLContextT<Sample>* c, const WCHAR16* path, uint32_t w, uint32_t h) {
  if (!c) return E_UNEXPECTED;
  const uint32_t planes = CalibrationPlanes(c->pixelFormat);
  return planes ? exportTable(flatTable(*c, planes), path, w, h) : E_UNEXPECTED;
}
template HRESULT PL_FfcExport(PLContext*, const WCHAR16*, uint32_t, uint32_t);
template HRESULT PL_FfcExport(PLContext16*, const WCHAR16*, uint32_t, uint32_t);

template <typename Sample>
HRESULT PL_FfcImport(PLContextT<Sample>* c, const WCHAR16* path, uint32_t w, uint32_t h,
                     PLHostNotice* due) {
  if (!c) return E_UNEXPECTED;
  const uint32_t planes = CalibrationPlanes(c->pixelFormat);
  if (!planes) return E_UNEXPECTED;
  const Table<uint32_t> t = flatTable(*c, planes);
  std::array<std::vector<uint32_t>, 3> fresh;
  // The planes of RGB-input frames hold the running frame exactly; the single table the state.
  const size_t limit = capacityOf(*c);
  HRESULT hr = readTable(t, path, w, h, limit, planes == 3 ? 0 : limit, fresh);
  if (SUCCEEDED(hr)) hr = swapIn(t, fresh, [] {});
  if (hr == S_OK) report(*c, false, due);
  return hr;
}
template HRESULT PL_FfcImport(PLContext*, const WCHAR16*, uint32_t, uint32_t, PLHostNotice*);
template HRESULT PL_FfcImport(PLContext16*, const WCHAR16*, uint32_t, uint32_t, PLHostNotice*);
