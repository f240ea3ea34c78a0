// Dark-field and flat-field tables to and from files, so that a calibration survives a restart
// of the camera at the same frame size.
//
// A file is little-endian without padding: a 16-byte kind id, u32 width, u32 height, u8 bit
// depth of the state that wrote it, then one plane (raw and grey formats) or three planes (R,
// G, B; the RGB-input formats) of width x height samples in row order. Dark samples are u8 in
// the 8-bit state and u16 in the high-bit one; flat samples are u32 16.16 gains.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "pipeline/pl_context.h"
#include "platform/com_types.h"
#include "platform/types.h"

inline constexpr size_t kCalibrationHeaderBytes = 25;
using CalibrationKind = std::array<uint8_t, 16>;
inline constexpr CalibrationKind kDarkFieldKind = {0x6C, 0x6A, 0x0A, 0xF6, 0x15, 0x51, 0xA8, 0x4E,
                                                   0x9D, 0xB0, 0x30, 0x1F, 0x74, 0xBE, 0xBE, 0x7F};
inline constexpr CalibrationKind kFlatFieldKind = {0x16, 0x97, 0x9B, 0x19, 0x41, 0xA2, 0xE8, 0x4E,
                                                   0xB1, 0x9F, 0x9F, 0xB4, 0xE9, 0x0F, 0xE5, 0x17};

struct CalibrationHeader {
  CalibrationKind kind{};
  uint32_t width = 0, height = 0;
  uint8_t bitDepth = 0;
};
std::array<uint8_t, kCalibrationHeaderBytes> EncodeCalibrationHeader(const CalibrationHeader& h);
CalibrationHeader DecodeCalibrationHeader(const uint8_t* bytes);  // kCalibrationHeaderBytes

// Planes a file of this sensor pixel format holds: 1, 3, or 0 for a format without one.
uint32_t CalibrationPlanes(uint8_t pixelFormat);

// Export: 0; 0x8000FFFF no state, no valid table or no memory; 0x80070057 the file cannot be
// opened or width x height exceeds the table; 0x80004005 a short write.
// Import: 0 when the table was not valid before, 1 when it replaced one; 0x8000FFFF no state, no
// memory or a format without a file (the file is not opened then); 0x80070057 the file cannot
// be opened, is short, too long or of another kind, size or bit depth, or the size exceeds the
// table. The file is read whole before the table is swapped in: a refused file leaves table and
// validity as they were. An imported dark table rebuilds the hot-pixel list. After 0 the state's
// report callback runs, outside the lock; given due, it is handed out there instead, for a caller
// that holds the state to raise once it has let go.
HRESULT PL_DfcExport(PLContext* ctx, const WCHAR16* path, uint32_t width, uint32_t height);
HRESULT PL_DfcExport16(PLContext16* ctx, const WCHAR16* path, uint32_t width, uint32_t height);
HRESULT PL_DfcImport(PLContext* ctx, const WCHAR16* path, uint32_t width, uint32_t height,
                     PLHostNotice* due = nullptr);
HRESULT PL_DfcImport16(PLContext16* ctx, const WCHAR16* path, uint32_t width, uint32_t height,
                       PLHostNotice* due = nullptr);
// The high-bit twins under the 8-bit names, for code written once over both states.
inline HRESULT PL_DfcExport(PLContext16* ctx, const WCHAR16* path, uint32_t width,
                            uint32_t height) {
  return PL_DfcExport16(ctx, path, width, height);
}
inline HRESULT PL_DfcImport(PLContext16* ctx, const WCHAR16* path, uint32_t width, uint32_t height,
                            PLHostNotice* due = nullptr) {
  return PL_DfcImport16(ctx, path, width, height, due);
}
template <typename Sample>
HRESULT PL_FfcExport(PLContextT<Sample>* ctx, const WCHAR16* path, uint32_t width, uint32_t height);
template <typename Sample>
HRESULT PL_FfcImport(PLContextT<Sample>* ctx, const WCHAR16* path, uint32_t width, uint32_t height,
                     PLHostNotice* due = nullptr);
