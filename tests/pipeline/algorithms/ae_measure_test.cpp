// Auto exposure's measure over a state: a processor's window sums stand in for the samples.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pipeline/algorithms/auto_exposure.h"
#include "tests/pipeline/pipeline_kit.h"

namespace zxtest {
namespace {

constexpr uint32_t kW = 8, kH = 6, kPixels = kW * kH;

// Every sample at `sample`, then three equal sums worth a mean of 200.5 at `sumBits`.
std::vector<uint8_t> frameWithSums(size_t sampleBytes, uint16_t sample, uint8_t sumBits) {
  std::vector<uint8_t> f(sampleBytes * kPixels + 3 * sizeof(int64_t));
  for (size_t i = 0; i < kPixels * sampleBytes; i += sampleBytes)
    std::memcpy(f.data() + i, &sample, sampleBytes);
  const int64_t sum = int64_t(2005) * kPixels / 10 << (sumBits - 8);
  const int64_t sums[3] = {sum, sum, sum};
  std::memcpy(f.data() + sampleBytes * kPixels, sums, sizeof sums);
  return f;
}

template <typename Sample>
int32_t measure(uint8_t format, bool processor, size_t sampleBytes, uint16_t sample,
                uint8_t sumBits) {
  PLInitParams p = paramsFor({kW, kH, 1, sizeof(Sample) == 2});
  p.pixelFormat = format, p.hasIsp = processor;
  if (sumBits == 12) p.bitDepthCaps[2] = 1;  // a 12-bit sensor, whatever the state's depth
  auto c = makeState<Sample>(p);
  const auto frame = frameWithSums(sampleBytes, sample, sumBits);
  return AeMeasure(*c, frame.data(), kW, kH, ImageRect{0, 0, int32_t(kW), int32_t(kH)});
}

TEST(AeMeasure, ProcessorStatesReadTheAppendedSums) {
  const struct {
    const char* name;
    bool high;
    uint8_t format;
    size_t sampleBytes;
    uint16_t sample;
    int32_t plain, processor;
    uint8_t sumBits = 8;  // the processor counts its sums at the sensor's depth
  } table[] = {
      {"8-bit raw", false, 0, 1, 40, 40, 200},
      {"12-bit raw", true, 2, 2, 640, 40, 200, 12},             // 640 >> 4
      {"packed YUV", false, kPixelYuv422, 2, 0x3838, 46, 200},  // (56 - 16) x 1.164
      {"packed YUV, Y second", false, kPixelYuv422Alt, 2, 0x3838, 46, 200},
      {"scaled bytes carry no sums", false, kPixelRaw8Alt, 1, 40, 60, 60},  // 40 x 3 / 2
      {"8-bit raw of a 12-bit sensor", false, 0, 1, 40, 40, 200, 12},
      {"packed YUV of a 12-bit sensor", false, kPixelYuv422, 2, 0x3838, 46, 200, 12},
  };
  for (const auto& r : table)
    for (const bool processor : {false, true}) {
      const int32_t got =
          r.high ? measure<uint16_t>(r.format, processor, r.sampleBytes, r.sample, r.sumBits)
                 : measure<uint8_t>(r.format, processor, r.sampleBytes, r.sample, r.sumBits);
      EXPECT_EQ(got, processor ? r.processor : r.plain) << r.name << ", processor " << processor;
    }
}

}  // namespace
}  // namespace zxtest
