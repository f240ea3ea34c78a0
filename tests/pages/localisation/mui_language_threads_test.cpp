// Two threads making the first language choice at once.
#include <gtest/gtest.h>

#include <thread>

#include "pages/localisation/mui_language.h"
#include "tests/pages/localisation/memory_mui_source.h"

namespace {

// Two frames on two threads open their first page at once: one language is chosen, once.
TEST(MuiLanguageThreads, ConcurrentFirstLoadsChooseOnce) {
  for (int round = 0; round < 20; ++round) {
    MemoryMuiSource source({"DE", "FR"});
    MuiLanguage language;
    WString seen[2];
    std::thread a([&] {
      language.load(0x0407, source);
      seen[0] = WString(language.translate(W("Color")));
    });
    std::thread b([&] {
      language.load(0x040C, source);
      seen[1] = WString(language.translate(W("Color")));
    });
    a.join();
    b.join();
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_TRUE(seen[0] == W("DE") || seen[0] == W("FR"));
    EXPECT_EQ(source.asked(), 2);  // "EN" and one translation
  }
}

}  // namespace
