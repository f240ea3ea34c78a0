// The camera's EEPROM block: its serial-number record and the factory's defect-pixel lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pipeline/pl_helper_base.h"

inline constexpr uint32_t kEepromMaxBytes = 65536;
inline constexpr uint32_t kDefectListMaxEntries = 2047;
inline constexpr size_t kSerialChars = 31;  // plus the terminating zero

// Reads the block once per camera object; a read that returns nothing is tried again next time.
void LoadEepromData(PLHlperBase& helper);

// Block layout: u32 n (packed part, 9 <= n <= length), '2', u32 unpacked size, bzip2 stream up
// to n, then the 32-byte serial record. Lists are kept all or none; a block without the marker
// gives neither serial nor lists; a bad or missing record gives a made-up "QX" serial.
void ParseEepromData(PLHlperBase& helper, const uint8_t* block, uint32_t length);

// The packed lists of a block whose header was checked; false drops nothing by itself.
bool DecodeDefectLists(PLHlperBase& helper, const uint8_t* block, uint32_t length);

// The unpacked lists: '2', u16 list count (must be listCount), then per list u32 c <= 2047 and
// groups {u8 xHigh, u8 yHigh, u16 k, k y-low bytes, k x-low bytes} adding up to exactly c.
// Every read is checked against size; out is written only on success.
bool DecodeUnpackedLists(const uint8_t* data, size_t size, uint32_t listCount,
                         std::vector<DefectListSlot>& out);

// Every slot loses its list; nothing is current.
void FreeDefectLists(PLHlperBase& helper);

// Marks the entries of one list once: valid unless within two pixels of an edge. Coordinates
// stay as measured; the repair skips entries outside the frame it gets.
void ClipDefectList(PLHlperBase& helper, uint32_t index, uint32_t width, uint32_t height);

// The list of a resolution: skip models use list 0 for resolution 0, then 2r - 1 (skip off) or
// 2r (skip on); others list r.
uint32_t DefectListIndex(const PLHlperBase& helper, uint32_t resolution);

// Clips and makes current the list of the current resolution and skip state.
void SelectDefectList(PLHlperBase& helper);
// For a skip change on a host thread, under the sensor lock: the grabber's next frame step makes
// the list current, so the list never changes under a frame's repair.
void RequestDefectList(PLHlperBase& helper);
// The grabber's step: makes the asked-for list current, reading skip under the sensor lock.
void TakeRequestedDefectList(PLHlperBase& helper);

// The made-up serial: "QX" + yymmddhhmmss + GUID digits ('0' without a GUID source), 31 chars.
void MakeUpSerial(char serial[32]);
