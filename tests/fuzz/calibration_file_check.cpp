// The properties a calibration file import keeps for any input, checked over arbitrary bytes.
#include "tests/fuzz/calibration_file_check.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "pipeline/pl_init_params.h"
#include "pipeline/pl_state.h"
#include "pipeline/store/calibration_file.h"
#include "platform/utf16.h"

namespace fuzzcheck {
namespace {

constexpr uint32_t kW = 6, kH = 4;
constexpr uint8_t kRaw8 = 0, kRaw12 = 2, kRgbInput = 6;

void require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "calibration file check failed: %s\n", what);
  std::abort();
}

struct Path {
  std::filesystem::path path;
  WString wide;
  explicit Path(const char* name)
      : path(std::filesystem::temp_directory_path() /
             (std::string("zx-fuzz-") + std::to_string(std::rand()) + name)),
        wide(platform::Utf8ToWide(path.string())) {}
  ~Path() { std::filesystem::remove(path); }
  std::vector<uint8_t> bytes() const {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void write(const uint8_t* data, size_t size) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
};

template <typename Sample>
auto stateOf(uint8_t format) {
  PLInitParams p;
  p.frameWidth = p.procWidth = p.maxWidth = kW;
  p.frameHeight = p.procHeight = p.maxHeight = kH;
  p.pixelFormat = format;
  if constexpr (sizeof(Sample) == 2) {
    p.bitDepthCaps[2] = 1;
    return PLContext16Ptr(PL_Init16(&p));
  } else {
    return PLContextPtr(PL_Init(&p));
  }
}

// Everything an import may change, for comparison.
template <typename Sample>
struct Snapshot {
  platform::FrameVector<Sample> dark;
  std::array<std::vector<uint8_t>, 3> darkPlanes;
  std::vector<uint32_t> gain;
  std::array<std::vector<uint32_t>, 3> gainPlanes;
  uint8_t dfcValid, ffcValid;
  bool operator==(const Snapshot&) const = default;
};
template <typename Sample>
Snapshot<Sample> snap(const PLContextT<Sample>& c) {
  return {c.darkTable, c.darkPlanes, c.ffcGain, c.ffcGainPlanes, c.dfcValid, c.ffcValid};
}

template <typename Sample>
void checkOne(uint8_t format, bool dark, const Path& in, const uint8_t* data, size_t size) {
  // One state per kind for the whole run: a refused file must leave it as it was anyway.
  static auto state8 = stateOf<Sample>(format == kRgbInput ? kRaw8 : format);
  static auto state3 = stateOf<Sample>(kRgbInput);
  auto& c = format == kRgbInput ? state3 : state8;
  const auto before = snap(*c);
  const HRESULT hr = dark ? PL_DfcImport(c.get(), in.wide.c_str(), kW, kH)
                          : PL_FfcImport(c.get(), in.wide.c_str(), kW, kH);
  require(hr == S_OK || hr == S_FALSE || hr == E_INVALIDARG || hr == E_UNEXPECTED, "result code");
  if (FAILED(hr)) {
    require(snap(*c) == before, "a refused file changed the state");
    return;
  }
  const Path out("-out");
  const HRESULT back = dark ? PL_DfcExport(c.get(), out.wide.c_str(), kW, kH)
                            : PL_FfcExport(c.get(), out.wide.c_str(), kW, kH);
  require(back == S_OK, "an accepted table does not export");
  require(out.bytes() == std::vector<uint8_t>(data, data + size), "export differs from input");
}

template <typename Sample>
std::vector<uint8_t> seed(uint8_t format, bool dark) {
  auto c = stateOf<Sample>(format);
  const size_t n = size_t(kW) * kH;
  c->darkTable.assign(n, Sample(3)), c->ffcGain.assign(n, 65536);
  for (auto& p : c->darkPlanes) p.assign(n, 2);
  for (auto& p : c->ffcGainPlanes) p.assign(n, 70000);
  c->darkTable[7] = Sample(90);  // a hot pixel for the rebuilt list
  c->dfcValid = c->ffcValid = 1;
  const Path out("-seed");
  const HRESULT hr = dark ? PL_DfcExport(c.get(), out.wide.c_str(), kW, kH)
                          : PL_FfcExport(c.get(), out.wide.c_str(), kW, kH);
  return hr == S_OK ? out.bytes() : std::vector<uint8_t>();
}

}  // namespace

void CheckCalibrationFile(const uint8_t* data, size_t size) {
  const Path in("-in");
  in.write(data, size);
  for (const bool dark : {true, false}) {
    checkOne<uint8_t>(kRaw8, dark, in, data, size);
    checkOne<uint8_t>(kRgbInput, dark, in, data, size);
    checkOne<uint16_t>(kRaw12, dark, in, data, size);
    checkOne<uint16_t>(kRgbInput, dark, in, data, size);
  }
}

std::vector<std::vector<uint8_t>> CalibrationSeeds() {
  std::vector<std::vector<uint8_t>> seeds;
  for (const bool dark : {true, false}) {
    seeds.push_back(seed<uint8_t>(kRaw8, dark));
    seeds.push_back(seed<uint8_t>(kRgbInput, dark));
    seeds.push_back(seed<uint16_t>(kRaw12, dark));
  }
  seeds.push_back(seed<uint16_t>(kRgbInput, false));
  return seeds;
}

}  // namespace fuzzcheck
