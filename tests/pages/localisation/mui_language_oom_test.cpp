// Running out of memory anywhere while the language loads: nothing is thrown, and the process
// is left either fully translated or in English, never half.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "pages/localisation/mui_language.h"
#include "tests/pages/localisation/memory_mui_source.h"

namespace {

// Allocations on this thread fail once the countdown reaches zero (negative: never).
thread_local long tFailAfter = -1;

void* allocate(std::size_t size) {
  if (tFailAfter == 0) throw std::bad_alloc();
  if (tFailAfter > 0) --tFailAfter;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

TEST(MuiLanguageOutOfMemory, EveryFailurePointLeavesEnglishOrTheWholeTranslation) {
  const MemoryMuiSource source({"DE"});
  bool translatedOnce = false;
  int englishRuns = 0;
  for (long failAt = 0; !translatedOnce && failAt < 100000; ++failAt) {
    MuiLanguage language;
    tFailAfter = failAt;
    language.load(0x0407, source);
    tFailAfter = -1;
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
