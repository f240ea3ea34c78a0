// The trace logger every subsystem calls behind a test of the process log mask.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kLogErrors = 0x100;
inline constexpr uint32_t kLogVerbose = 0x200;
inline constexpr size_t kTraceLineBytes = 2048;

uint32_t LogMask();

// Formats "#:" + text + "\n" into one 2048-byte line, cutting the text so the newline and the
// terminator always fit, and sends it to the debugger output.
void DbgTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The formatting step alone; returns the line length without the terminator.
size_t FormatTraceLine(char (&line)[kTraceLineBytes], const char* format, va_list args);

// Error lines show at level 1 and above, verbose lines only at level 2.
#define ZX_TRACE_ERROR(...)                                            \
  do {                                                                 \
    if (LogMask() & (kLogErrors | kLogVerbose)) DbgTrace(__VA_ARGS__); \
  } while (0)
#define ZX_TRACE(...)                                   \
  do {                                                  \
    if (LogMask() & kLogVerbose) DbgTrace(__VA_ARGS__); \
  } while (0)
