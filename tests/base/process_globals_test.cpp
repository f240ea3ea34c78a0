// Process globals: log levels from the registry, the spin-thread budget, trace lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/process_globals.h"
#include "base/trace.h"
#include "platform/registry.h"

namespace {

constexpr const char* kLogKey = "Software\\Brenvik\\dshow";

TEST(ProcessGlobals, LogLevelFromRegistry) {
  struct Case {
    const char* what;
    int kind;  // 0 missing key, 1 missing value, 2 dword, 3 binary of 4 bytes, 4 string
    uint32_t value;
    uint32_t mask;
  } cases[] = {
      {"no key", 0, 0, 0},
      {"no value", 1, 0, 0},
      {"level 0", 2, 0, 0},
      {"level 1: errors only", 2, 1, kLogErrors},
      {"level 2: verbose", 2, 2, kLogVerbose},
      {"level 7 behaves as 2", 2, 7, kLogVerbose},
      {"binary is not a DWORD", 3, 2, 0},
      {"string is not a DWORD", 4, 2, 0},
  };
  for (const auto& c : cases) {
    auto reg = platform::MakeMemoryRegistry();
    if (c.kind == 1) reg->createKey(kLogKey);
    if (c.kind == 2) reg->writeDword(kLogKey, "log", c.value);
    if (c.kind == 3) reg->writeBinary(kLogKey, "log", &c.value, 4);
    if (c.kind == 4) reg->writeString(kLogKey, "log", ZX_W("2"));
    EXPECT_EQ(ReadLogMask(*reg), c.mask) << c.what;
  }
}

TEST(ProcessGlobals, SpinThreadsFollowProcessorCount) {
  const std::pair<uint32_t, uint32_t> cases[] = {{1, 0}, {2, 0},  {3, 0},  {4, 1},  {7, 1},
                                                 {8, 2}, {16, 4}, {32, 4}, {256, 4}};
  auto reg = platform::MakeMemoryRegistry();
  reg->writeDword(kLogKey, "log", 1);
  for (auto [processors, spin] : cases) {
    ProcessEnvironment env;
    env.processorCount = processors;
    env.cpu.avx2 = true;
    env.perfFrequency = 10'000'000;
    env.registry = reg.get();
    InitProcessGlobals(env);
    EXPECT_EQ(Globals().spinThreadCount, spin) << processors;
    EXPECT_EQ(Globals().processorCount, processors);
    EXPECT_EQ(Globals().avx2, 1);
    EXPECT_EQ(Globals().perfFrequency, 10'000'000);
    EXPECT_EQ(LogMask(), kLogErrors);
  }
  InitProcessGlobals();  // the machine's own values
  EXPECT_GE(Globals().processorCount, 1u);
  EXPECT_GT(Globals().perfFrequency, 0);
}

std::string formatLine(const char* fmt, ...) {
  char line[kTraceLineBytes];
  std::memset(line, 'x', sizeof line);
  va_list args;
  va_start(args, fmt);
  const size_t len = FormatTraceLine(line, fmt, args);
  va_end(args);
  EXPECT_EQ(std::strlen(line), len);
  return std::string(line, len);
}

TEST(Trace, LineFormat) {
  EXPECT_EQ(formatLine("%s: leave, %d", "put_ExpoTime", -5), "#:put_ExpoTime: leave, -5\n");
  EXPECT_EQ(formatLine("%s", ""), "#:\n");
  // A text longer than the line is cut so that the newline and terminator still fit.
  const std::string longText(5000, 'a');
  const std::string line = formatLine("%s", longText.c_str());
  EXPECT_EQ(line.size(), kTraceLineBytes - 1);
  EXPECT_EQ(line.substr(0, 3), "#:a");
  EXPECT_EQ(line.back(), '\n');
  // Exactly at the boundary: the longest text that fits whole.
  const std::string fits(kTraceLineBytes - 4, 'b');
  EXPECT_EQ(formatLine("%s", fits.c_str()), "#:" + fits + "\n");
  const std::string oneMore(kTraceLineBytes - 3, 'c');
  EXPECT_EQ(formatLine("%s", oneMore.c_str()), "#:" + oneMore.substr(1) + "\n");
}

}  // namespace
