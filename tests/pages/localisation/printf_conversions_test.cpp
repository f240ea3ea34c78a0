// Whether a translation may be used as a printf format in place of the English one.
#include <gtest/gtest.h>

#include "pages/localisation/printf_conversions.h"
#include "tests/pages/localisation/mui_test_util.h"

namespace {

struct MatchCase {
  const char* english;
  const char* translation;
  bool matches;
};

class PrintfConversionsRows : public ::testing::TestWithParam<MatchCase> {};

TEST_P(PrintfConversionsRows, SameArgumentsSameOrder) {
  const auto& c = GetParam();
  EXPECT_EQ(PrintfConversionsMatch(W(c.english), W(c.translation)), c.matches)
      << c.english << " / " << c.translation;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PrintfConversionsRows,
    ::testing::Values(
        MatchCase{"%u Bits", "%u Bit", true}, MatchCase{"%u Bits", "%u 位", true},
        MatchCase{"%u Bits", "%s Bits", false}, MatchCase{"%u Bits", "Bits", false},
        MatchCase{"%u Bits", "%u %u Bits", false}, MatchCase{"[%.1f, %.1f].", "[%.2f, %.1f]", true},
        MatchCase{"[%.1f, %.1f].", "[%f, %d]", false}, MatchCase{"%s: %.1f", "%.1f: %s", false},
        MatchCase{"%s: %.1f", "%s：%.1f", true}, MatchCase{"100%% %u", "%u 100%%", true},
        MatchCase{"%u", "100% %u", false}, MatchCase{"%u", "%u%", false},
        MatchCase{"%hu", "%u", false}, MatchCase{"%I64u", "%I64u", true},
        MatchCase{"%*d", "%d", false}, MatchCase{"Plain", "Einfach", true},
        MatchCase{"Plain", "50%", false}, MatchCase{"%ls", "%-10ls", true}));

}  // namespace
