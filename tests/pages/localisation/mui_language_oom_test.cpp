// Running out of memory anywhere while the language loads: nothing is thrown, and the process
// is left either fully translated or in English, never half.
#include <gtest/gtest.h>

#include "pages/localisation/mui_language.h"
#include "tests/pages/localisation/memory_mui_source.h"
#include "tests/support/failing_allocator.h"

namespace {

TEST(MuiLanguageOutOfMemory, EveryFailurePointLeavesEnglishOrTheWholeTranslation) {
  const MemoryMuiSource source({"DE"});
  bool translatedOnce = false;
  int englishRuns = 0;
  for (long failAt = 1; !translatedOnce && failAt < 100000; ++failAt) {
    MuiLanguage language;
    testing_support::FailAllocation(failAt);
    language.load(0x0407, source);
    testing_support::FailAllocation(0);
    const WString color(language.translate(W("Color")));
    if (language.translationLoaded()) {
      EXPECT_EQ(color, W("DE")) << failAt;
      translatedOnce = true;
    } else {
      EXPECT_EQ(color, W("Color")) << failAt;
      ++englishRuns;
    }
    EXPECT_EQ(WString(language.translate(W("Gain:"))), W("Gain:"));
  }
  EXPECT_TRUE(translatedOnce);
  EXPECT_GT(englishRuns, 10);  // the failures did strike inside the load
}

}  // namespace
