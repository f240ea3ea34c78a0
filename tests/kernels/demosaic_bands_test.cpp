// Demosaic bands of one frame on threads of their own, as the pipeline's workers run them.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "kernels/demosaic.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

// Every method's bands at once give the whole-frame bytes; under the thread sanitizer a band
// that wrote next to its rows (PPG's neighbouring greens) would be a reported race.
TEST(KernelsDemosaicBands, ConcurrentBandsMatchTheWholeFrame) {
  const int32_t w = 131, h = 61;
  const std::vector<int32_t> starts{0, 1, 2, 3, 17, 18, 30, 45, 58, 59, 60, h};
  for (const uint8_t rowOrder : {0, 1})
    for (uint32_t method : {0u, 1u, 2u}) {
      const Layout l{3, 8, rowOrder, 1};
      const auto site = testkit::siteTable(true);
      const auto raw = testkit::rawFrame<uint8_t>(testkit::Pattern::Random, w, h, 255, method);
      testkit::Guarded<uint8_t> want(reference::stride<uint8_t>(3, w) * h), got = want;
      DemosaicByMethod(l, method, 1, site.data(), w, h, raw.data(), want.data());
      std::vector<std::thread> bands;
      for (size_t i = 0; i + 1 < starts.size(); ++i)
        bands.emplace_back([&, y0 = starts[i], y1 = starts[i + 1]] {
          DemosaicRowsByMethod(l, method, 1, site.data(), w, h, y0, y1, raw.data(), got.data());
        });
      for (std::thread& t : bands) t.join();
      EXPECT_TRUE(got == want) << "method " << method << " row order " << int(rowOrder);
    }
}

}  // namespace
}  // namespace kernels
