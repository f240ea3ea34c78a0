// CPU feature decoding, UTF-16 text, the tick source and wide-path files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/clock.h"
#include "platform/cpu.h"
#include "platform/file.h"
#include "platform/utf16.h"

namespace {

TEST(CpuFeatures, Avx2NeedsTheOsToSaveYmmState) {
  constexpr uint32_t kSse41 = 1u << 19, kOsxsave = 1u << 27, kAvx2 = 1u << 5;
  struct Case {
    platform::CpuidWords words;
    bool sse41, avx2;
  } cases[] = {
      {{0, 0, 0, 0}, false, false},
      {{1, kSse41, kAvx2, 0}, true, false},               // leaf 7 not reported
      {{7, kSse41, kAvx2, 0}, true, false},               // no OSXSAVE: the OS keeps no AVX state
      {{7, kSse41 | kOsxsave, kAvx2, 0x3}, true, false},  // XMM saved, YMM not
      {{7, kSse41 | kOsxsave, kAvx2, 0x7}, true, true},
      {{7, kOsxsave, 0, 0x7}, false, false},
      {{0xD, kSse41 | kOsxsave, kAvx2, 0xE7}, true, true},  // AVX-512 state too
  };
  for (const auto& c : cases) {
    const auto f = platform::DecodeCpuFeatures(c.words);
    EXPECT_EQ(f.sse41, c.sse41) << c.words.maxLeaf << " " << c.words.leaf1Ecx;
    EXPECT_EQ(f.avx2, c.avx2) << c.words.maxLeaf << " " << c.words.xcr0;
  }
  EXPECT_GE(platform::ProcessorCount(), 1u);
}

TEST(Utf16, RoundTripsAndReplacesMalformedInput) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xB7";  // a é € camera emoji
  const WString wide = platform::Utf8ToWide(text);
  ASSERT_EQ(wide.size(), 5u);  // the emoji is a surrogate pair
  EXPECT_EQ(static_cast<uint16_t>(wide[3]), 0xD83Du);
  EXPECT_EQ(platform::WideToUtf8(wide), text);
  EXPECT_EQ(platform::Utf8ToWide("\xC3"), WString(1, static_cast<WCHAR16>(0xFFFD)));
  EXPECT_EQ(platform::Utf8ToWide("\xC0\xAF"), WString(1, static_cast<WCHAR16>(0xFFFD)));
  const WCHAR16 lone[] = {0xD800, 'x', 0};
  EXPECT_EQ(platform::WideToUtf8(lone), "\xEF\xBF\xBDx");

  WCHAR16 buf[4];
  EXPECT_EQ(platform::WideCopy(buf, 4, ZX_W("abcdef")), 3u);
  EXPECT_EQ(WString(buf), WString(ZX_W("abc")));
  EXPECT_EQ(platform::WideLength(buf), 3u);
  EXPECT_EQ(platform::WideLength(nullptr), 0u);
}

uint32_t fakeTicks = 0;

TEST(Clock, TickSourceIsInjectableAndWraps) {
  fakeTicks = 0xFFFFFFF0u;
  platform::SetTickSource([] { return fakeTicks; });
  const uint32_t start = platform::TickCountMs();
  fakeTicks += 0x20;
  EXPECT_EQ(platform::TickCountMs() - start, 0x20u);
  platform::SetTickSource(nullptr);
  const uint32_t a = platform::TickCountMs();
  platform::SleepMs(50);
  EXPECT_GE(platform::TickCountMs() - a, 30u);  // Wine's tick moves in ~16 ms steps
  EXPECT_GT(platform::PerfFrequency(), 0);
  platform::SystemTimes t{};
  EXPECT_TRUE(platform::GetSystemTimes(t));
  EXPECT_GE(t.kernel, t.idle);
}

TEST(Files, OpenByWidePath) {
  const WString wide = platform::Utf8ToWide(std::filesystem::temp_directory_path().string()) +
                       platform::Utf8ToWide("/zx-\xC3\xA9-file.bin");
#ifdef _WIN32
  const std::filesystem::path path(wide);
#else
  const std::filesystem::path path(platform::WideToUtf8(wide));
#endif
  {
    auto f = platform::OpenFile(wide.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(std::fwrite("xyz", 1, 3, f.get()), 3u);
  }
  auto f = platform::OpenFile(wide.c_str(), "rb");
  ASSERT_TRUE(f);
  char buf[4] = {};
  EXPECT_EQ(std::fread(buf, 1, 4, f.get()), 3u);
  EXPECT_STREQ(buf, "xyz");
  f.reset();
  std::filesystem::remove(path);
  EXPECT_FALSE(platform::OpenFile(wide.c_str(), "rb"));
  EXPECT_FALSE(platform::OpenFile(nullptr, "rb"));
}

}  // namespace
