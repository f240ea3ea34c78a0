// The cooling page's typed target and status lines.
#include <gtest/gtest.h>

#include <string>

#include "pages/rules/cooling_rules.h"

namespace {

struct TargetCase {
  const wchar_t* text;
  TecTargetStatus status;
  int32_t tenths;
};

class TecTargetRows : public ::testing::TestWithParam<TargetCase> {};

TEST_P(TecTargetRows, ParsedAndRanged) {
  const TargetCase& c = GetParam();
  const TecTarget t = ParseTecTarget(c.text);
  EXPECT_EQ(t.status, c.status);
  if (c.status == TecTargetStatus::Ok) {
    EXPECT_EQ(t.tenths, c.tenths);
  }
}

constexpr auto kOk = TecTargetStatus::Ok;
constexpr auto kBad = TecTargetStatus::Invalid;
constexpr auto kRange = TecTargetStatus::OutOfRange;

INSTANTIATE_TEST_SUITE_P(
    Rows, TecTargetRows,
    ::testing::Values(TargetCase{L"-12.5", kOk, -125}, TargetCase{L"30.05", kOk, 300},
                      TargetCase{L"-30.09", kOk, -300}, TargetCase{L"0", kOk, 0},
                      TargetCase{L"-5", kOk, -50}, TargetCase{L"30.1", kRange, 0},
                      TargetCase{L"-30.1", kRange, 0}, TargetCase{L"1e20", kRange, 0},
                      TargetCase{L"-1e300", kRange, 0}, TargetCase{L"inf", kRange, 0},
                      TargetCase{L"-inf", kRange, 0}, TargetCase{L"nan", kBad, 0},
                      TargetCase{L"12x", kBad, 0}, TargetCase{L" ", kBad, 0},
                      TargetCase{L"abc", kBad, 0}, TargetCase{L"", TecTargetStatus::Empty, 0}));

TEST(TecTarget, ThreeHundredDigitsAreOutOfRange) {
  EXPECT_EQ(ParseTecTarget(std::wstring(300, L'9')).status, kRange);
}

TEST(CoolingStatus, PowerLineOnlyWithAMaximumAndAPower) {
  struct Case {
    int32_t maximum, power;
    std::optional<double> percent;
  };
  const Case cases[] = {{200, 50, 25.0},         {200, 0, 0.0},
                        {0, 50, std::nullopt},   {-3, 50, std::nullopt},
                        {200, -1, std::nullopt}, {1, INT32_MAX, INT32_MAX * 100.0}};
  for (const Case& c : cases) EXPECT_EQ(CoolingPowerPercent(c.maximum, c.power), c.percent);
  EXPECT_EQ(CoolingStatusLine(L"Cooling Power", 25.0), L"Cooling Power: 25.0");
  EXPECT_EQ(CoolingStatusLine(L"Current Temperature", -12.5), L"Current Temperature: -12.5");
}

}  // namespace
