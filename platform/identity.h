// New GUIDs and the local wall-clock time, both replaceable by tests.
#pragma once

#include <cstdint>

namespace platform {

struct Guid {
  uint32_t data1;
  uint16_t data2, data3;
  uint8_t data4[8];
};

// Calendar fields as the C library gives them: year since 1900, month 0..11.
struct LocalTime {
  int year, month, day, hour, minute, second;
};

// A fresh GUID; false when the system offers none (Windows: CoCreateGuid from "Ole32.dll").
bool NewGuid(Guid& out);
LocalTime LocalTimeNow();

// Tests replace the sources; nullptr restores the system's.
using GuidSource = bool (*)(Guid& out);
using LocalTimeSource = LocalTime (*)();
void SetGuidSource(GuidSource source);
void SetLocalTimeSource(LocalTimeSource source);

// Each platform's own generator.
bool OsNewGuid(Guid& out);

}  // namespace platform
