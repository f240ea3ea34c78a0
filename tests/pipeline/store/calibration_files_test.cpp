// Calibration files: sizes, round trips, refusals that leave the table in use as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pipeline/store/calibration_file.h"
#include "platform/utf16.h"
#include "tests/pipeline/pipeline_kit.h"

namespace zxtest {
namespace {

constexpr uint8_t kRgbInput = kPixelYuv422;  // a three-plane format

// A file below the temporary folder, removed again at the end.
class TempFile {
 public:
  explicit TempFile(const std::string& name)
      : path_(std::filesystem::temp_directory_path() / ("zx-calibration-" + name)),
        wide_(platform::Utf8ToWide(path_.string())) {
    std::filesystem::remove(path_);
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const WCHAR16* wide() const { return wide_.c_str(); }
  std::vector<uint8_t> bytes() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void write(const std::vector<uint8_t>& b) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  }
  bool exists() const { return std::filesystem::exists(path_); }

 private:
  std::filesystem::path path_;
  WString wide_;
};

template <typename Sample>
auto stateOf(uint32_t w, uint32_t h, uint8_t format) {
  PLInitParams p = paramsFor({w, h, 1, sizeof(Sample) == 2});
  p.pixelFormat = format;
  if (sizeof(Sample) == 2) p.bitDepthCaps[2] = 1;
  return makeState<Sample>(p);
}

// Patterned, valid tables of every kind the state can hold for its format.
template <typename Sample>
void fillTables(PLContextT<Sample>& c, uint32_t w, uint32_t h, uint32_t seed) {
  const size_t n = size_t(w) * h;
  c.darkTable.resize(n), c.ffcGain.resize(n);
  for (size_t i = 0; i < n; ++i) {
    c.darkTable[i] = Sample((i * 7 + seed) % 20);
    c.ffcGain[i] = uint32_t(60000 + (i * 13 + seed) % 9000);
  }
  for (size_t k = 0; k < 3; ++k) {
    c.darkPlanes[k].assign(n, uint8_t(k + seed));
    c.ffcGainPlanes[k].assign(n, uint32_t(65536 + k * 100 + seed));
  }
  c.dfcValid = c.ffcValid = 1;
}

TEST(CalibrationFiles, SizesAt640x480) {
  auto c = stateOf<uint8_t>(640, 480, kPixelRaw8);
  fillTables(*c, 640, 480, 1);
  TempFile dark("size.dfc");
  ASSERT_EQ(PL_DfcExport(c.get(), dark.wide(), 640, 480), S_OK);
  EXPECT_EQ(dark.bytes().size(), 307225u);
  auto rgb = stateOf<uint8_t>(640, 480, kRgbInput);
  fillTables(*rgb, 640, 480, 1);
  TempFile flat("size.ffc");
  ASSERT_EQ(PL_FfcExport(rgb.get(), flat.wide(), 640, 480), S_OK);
  const auto b = flat.bytes();
  ASSERT_EQ(b.size(), 3686425u);
  EXPECT_TRUE(std::equal(kFlatFieldKind.begin(), kFlatFieldKind.end(), b.begin()));
  EXPECT_EQ(b[16], 0x80);  // width 640, little-endian
  EXPECT_EQ(b[17], 0x02);
  EXPECT_EQ(b[24], 8);
}

// Export, import into a fresh state, export again: the bytes and the tables are the same.
template <typename Sample>
void roundTrip(uint8_t format, bool dark) {
  constexpr uint32_t w = 24, h = 10;
  auto a = stateOf<Sample>(w, h, format);
  auto b = stateOf<Sample>(w, h, format);
  fillTables(*a, w, h, 3);
  TempFile first("trip-a"), second("trip-b");
  const auto out = [&](PLContextT<Sample>& c, const WCHAR16* p) {
    return dark ? PL_DfcExport(&c, p, w, h) : PL_FfcExport(&c, p, w, h);
  };
  ASSERT_EQ(out(*a, first.wide()), S_OK);
  ASSERT_EQ(
      dark ? PL_DfcImport(b.get(), first.wide(), w, h) : PL_FfcImport(b.get(), first.wide(), w, h),
      S_OK);
  ASSERT_EQ(out(*b, second.wide()), S_OK);
  EXPECT_EQ(first.bytes(), second.bytes());
  const size_t n = size_t(w) * h;
  if (CalibrationPlanes(format) == 3) {
    for (size_t k = 0; k < 3; ++k)
      EXPECT_EQ(
          dark ? a->darkPlanes[k] == b->darkPlanes[k] : a->ffcGainPlanes[k] == b->ffcGainPlanes[k],
          true);
  } else if (dark) {
    EXPECT_TRUE(std::equal(a->darkTable.begin(), a->darkTable.begin() + n, b->darkTable.begin()));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b->darkTable.data()) % platform::kFrameAlignment, 0u)
        << "an imported dark frame sits on a frame boundary";
  } else {
    EXPECT_TRUE(std::equal(a->ffcGain.begin(), a->ffcGain.begin() + n, b->ffcGain.begin()));
  }
}

TEST(CalibrationFiles, ExportImportExportIsByteIdentical) {
  for (const bool dark : {true, false}) {
    SCOPED_TRACE(dark ? "dark" : "flat");
    roundTrip<uint8_t>(kPixelRaw8, dark);
    roundTrip<uint8_t>(kRgbInput, dark);
    roundTrip<uint16_t>(kPixelRaw12, dark);
  }
  roundTrip<uint16_t>(kRgbInput, false);  // flat planes are u32 in either state
}

TEST(CalibrationFiles, SecondImportReplacesAndReportsOnlyTheFirst) {
  auto c = stateOf<uint8_t>(16, 8, kPixelRaw8);
  fillTables(*c, 16, 8, 1);
  TempFile f("twice");
  ASSERT_EQ(PL_DfcExport(c.get(), f.wide(), 16, 8), S_OK);
  auto d = stateOf<uint8_t>(16, 8, kPixelRaw8);
  int reports = 0;
  d->callbacks.onDfcFrame = [](void* n) { ++*static_cast<int*>(n); };
  d->callbacks.onDfcFrameContext = &reports;
  EXPECT_EQ(PL_DfcImport(d.get(), f.wide(), 16, 8), S_OK);
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(PL_DfcImport(d.get(), f.wide(), 16, 8), S_FALSE);
  EXPECT_EQ(reports, 1);
}

// A good dark file of 16 x 8 written by an 8-bit raw state, then one change each.
TEST(CalibrationFiles, RefusedFilesLeaveTheTableAsItWas) {
  constexpr uint32_t w = 16, h = 8;
  auto writer = stateOf<uint8_t>(w, h, kPixelRaw8);
  fillTables(*writer, w, h, 5);
  TempFile good("good");
  ASSERT_EQ(PL_DfcExport(writer.get(), good.wide(), w, h), S_OK);
  const std::vector<uint8_t> base = good.bytes();
  using Edit = void (*)(std::vector<uint8_t>&);
  const struct {
    const char* name;
    Edit edit;
    uint32_t w, h;
    HRESULT want;
  } table[] = {
      {"flat kind id",
       [](auto& b) { std::copy(kFlatFieldKind.begin(), kFlatFieldKind.end(), b.begin()); }, w, h,
       E_INVALIDARG},
      {"other width", [](auto& b) { b[16] = 17; }, w, h, E_INVALIDARG},
      {"other height", [](auto& b) { b[20] = 9; }, w, h, E_INVALIDARG},
      {"high-bit depth", [](auto& b) { b[24] = 12; }, w, h, E_INVALIDARG},
      {"one byte short", [](auto& b) { b.pop_back(); }, w, h, E_INVALIDARG},
      {"one byte long", [](auto& b) { b.push_back(0); }, w, h, E_INVALIDARG},
      {"header cut", [](auto& b) { b.resize(20); }, w, h, E_INVALIDARG},
      {"empty", [](auto& b) { b.clear(); }, w, h, E_INVALIDARG},
      {"camera size other than the file's", [](auto&) {}, 8, 16, E_INVALIDARG},
  };
  for (const auto& r : table) {
    SCOPED_TRACE(r.name);
    auto c = stateOf<uint8_t>(w, h, kPixelRaw8);
    fillTables(*c, w, h, 9);
    c->hotPixels = {{3, 3}};
    const auto before = c->darkTable;
    std::vector<uint8_t> b = base;
    r.edit(b);
    TempFile f("refused");
    f.write(b);
    EXPECT_EQ(PL_DfcImport(c.get(), f.wide(), r.w, r.h), r.want);
    EXPECT_EQ(c->darkTable, before);
    EXPECT_EQ(c->dfcValid, 1);
    ASSERT_EQ(c->hotPixels.size(), 1u);
  }
}

TEST(CalibrationFiles, BitDepthRefusedBothWays) {
  auto low = stateOf<uint8_t>(16, 8, kPixelRaw8);
  auto high = stateOf<uint16_t>(16, 8, kPixelRaw12);
  fillTables(*low, 16, 8, 1), fillTables(*high, 16, 8, 1);
  TempFile a("low"), b("high");
  ASSERT_EQ(PL_DfcExport(low.get(), a.wide(), 16, 8), S_OK);
  ASSERT_EQ(PL_DfcExport16(high.get(), b.wide(), 16, 8), S_OK);
  EXPECT_EQ(PL_DfcImport16(high.get(), a.wide(), 16, 8), E_INVALIDARG);
  EXPECT_EQ(PL_DfcImport(low.get(), b.wide(), 16, 8), E_INVALIDARG);
  EXPECT_EQ(PL_FfcImport(low.get(), a.wide(), 16, 8), E_INVALIDARG);  // a dark file
}

TEST(CalibrationFiles, SizesBeyondTheTableAreRefused) {
  auto c = stateOf<uint8_t>(16, 8, kPixelRaw8);
  fillTables(*c, 16, 8, 1);
  TempFile f("large");
  // The camera claims a frame larger than the state's tables: no over-read, no overrun.
  EXPECT_EQ(PL_DfcExport(c.get(), f.wide(), 32, 16), E_INVALIDARG);
  EXPECT_EQ(PL_FfcExport(c.get(), f.wide(), 32, 16), E_INVALIDARG);
  auto big = stateOf<uint8_t>(32, 16, kPixelRaw8);
  fillTables(*big, 32, 16, 1);
  ASSERT_EQ(PL_DfcExport(big.get(), f.wide(), 32, 16), S_OK);
  c->dfcValid = 0;
  EXPECT_EQ(PL_DfcImport(c.get(), f.wide(), 32, 16), E_INVALIDARG);
  EXPECT_EQ(c->dfcValid, 0);
  EXPECT_EQ(c->darkTable.size(), 16u * 8u);
}

TEST(CalibrationFiles, ExportAndImportFailures) {
  auto c = stateOf<uint8_t>(16, 8, kPixelRaw8);
  TempFile f("failures");
  EXPECT_EQ(PL_DfcExport(c.get(), f.wide(), 16, 8), E_UNEXPECTED);  // nothing measured yet
  EXPECT_EQ(PL_FfcExport(c.get(), f.wide(), 16, 8), E_UNEXPECTED);
  EXPECT_EQ(PL_DfcExport(static_cast<PLContext*>(nullptr), f.wide(), 16, 8), E_UNEXPECTED);
  EXPECT_EQ(PL_DfcImport(c.get(), f.wide(), 16, 8), E_INVALIDARG);  // no such file
  fillTables(*c, 16, 8, 1);
  const WString noFolder =
      platform::Utf8ToWide((std::filesystem::temp_directory_path() / "zx-none" / "x").string());
  EXPECT_EQ(PL_DfcExport(c.get(), noFolder.c_str(), 16, 8), E_INVALIDARG);
  c->pixelFormat = kPixelFormatCount;  // no such sensor format: refused before the file is opened
  EXPECT_EQ(PL_DfcImport(c.get(), noFolder.c_str(), 16, 8), E_UNEXPECTED);
  EXPECT_EQ(PL_FfcImport(c.get(), noFolder.c_str(), 16, 8), E_UNEXPECTED);
  EXPECT_FALSE(f.exists());
#ifndef _WIN32
  c->pixelFormat = kPixelRaw8;
  EXPECT_EQ(PL_DfcExport(c.get(), ZX_W("/dev/full"), 16, 8), E_FAIL);  // the write falls short
#endif
}

TEST(CalibrationFiles, HighBitStateRefusesThreePlaneDarkFiles) {
  auto c = stateOf<uint16_t>(16, 8, kRgbInput);
  TempFile f("three16");
  f.write(std::vector<uint8_t>(25 + 3 * 16 * 8, 0));
  EXPECT_EQ(PL_DfcImport16(c.get(), f.wide(), 16, 8), E_UNEXPECTED);
}

TEST(CalibrationFiles, ImportedDarkTableRebuildsTheHotList) {
  constexpr uint32_t w = 16, h = 12;
  PLInitParams p = paramsFor({w, h});
  p.isColour = 0;
  PLContextPtr c(PL_Init(&p));
  c->darkTable.assign(size_t(w) * h, 10);
  c->darkTable[5 * w + 6] = 200;
  c->dfcValid = 1;
  TempFile f("hot");
  ASSERT_EQ(PL_DfcExport(c.get(), f.wide(), w, h), S_OK);
  PLContextPtr d(PL_Init(&p));
  d->hotPixels = {{1, 1}, {2, 2}};  // of an older dark frame
  ASSERT_EQ(PL_DfcImport(d.get(), f.wide(), w, h), S_OK);
  ASSERT_EQ(d->hotPixels.size(), 1u);
  EXPECT_EQ(d->hotPixels[0].x, 6);
  EXPECT_EQ(d->hotPixels[0].y, 5);
}

}  // namespace
}  // namespace zxtest
