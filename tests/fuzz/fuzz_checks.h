// The properties every input of the byte parsers must keep; each check aborts when one fails, so
// libFuzzer and the replay suite report the same findings.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

inline constexpr uint32_t kListCount = 4;  // the helper's defect lists in every check

// An EEPROM block (cut to 65536 bytes): all lists or none, sorted and within 2047 entries;
// a serial of 31 characters whenever one is set; every list clips to consistent flags.
void CheckEepromBlock(const uint8_t* data, size_t size);
// Unpacked defect lists: accepted lists are sorted and within 2047 entries; a refusal leaves the
// caller's lists untouched.
void CheckDefectLists(const uint8_t* data, size_t size);
// A preset buffer: 0, -5 or -6; a refusal leaves the list untouched; an accepted buffer saves and
// parses back to the same records, a current one saves back to its own bytes.
void CheckPresetBuffer(const uint8_t* data, size_t size);
// The same bytes as a ".pgt" file: the file reader agrees with the buffer parser.
void CheckPresetFile(const uint8_t* data, size_t size);

}  // namespace fuzz
