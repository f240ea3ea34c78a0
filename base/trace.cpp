// DbgTrace: one "#:"-prefixed line to the debugger output.
#include "base/trace.h"

#include <cstdio>

#include "platform/debug.h"

size_t FormatTraceLine(char (&line)[kTraceLineBytes], const char* format, va_list args) {
  line[0] = '#';
  line[1] = ':';
  // Leave room for "\n" and the terminator after the text.
  constexpr size_t kTextRoom = kTraceLineBytes - 2 - 1;
  const int n = std::vsnprintf(line + 2, kTextRoom, format ? format : "", args);
  size_t len = 2;
  if (n > 0) len += static_cast<size_t>(n) < kTextRoom ? static_cast<size_t>(n) : kTextRoom - 1;
  line[len++] = '\n';
  line[len] = '\0';
  return len;
}

void DbgTrace(const char* format, ...) {
  char line[kTraceLineBytes];
  va_list args;
  va_start(args, format);
  FormatTraceLine(line, format, args);
  va_end(args);
  platform::DebugOutput(line);
}
