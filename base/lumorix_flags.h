// The 64-bit model flag word: one bit per capability that camera operations test.
// Hand-aligned tables read better as columns.
// clang-format off
#pragma once

#include <cstdint>

#include "base/pixel_formats.h"  // IsHighBitFormat, beside the flags that offer the formats

#define LUMORIX_FLAG_LIST(X)                  \
  X(LIGHTFREQ, 0)                             \
  X(CCD_KIND1, 1)                             \
  X(CCD_KIND2, 2)                             \
  X(BIT3, 3)                                  \
  X(MONO, 4)                                  \
  X(SKIP, 5)                                  \
  X(USB3, 6)                                  \
  X(TECTARGET, 7)                             \
  X(USB2_MODE, 8)                             \
  X(ST4, 9)                                   \
  X(TEMPERATURE, 10)                          \
  X(TECTARGET_HW, 11)                         \
  X(RAW10, 12)                                \
  X(RAW12, 13)                                \
  X(RAW14, 14)                                \
  X(RAW16, 15)                                \
  X(FAN, 16)                                  \
  X(TEC, 17)                                  \
  X(ISP, 18)                                  \
  X(TRIGGER_SOFT, 19)                         \
  X(TRIGGER_EXT, 20)                          \
  X(TRIGGER_SINGLE, 21)                       \
  X(BLACKLEVEL, 22)                           \
  X(BIT23, 23)                                \
  X(NOLATENCY, 24)                            \
  X(DDR, 25)                                  \
  X(CG, 26)                                   \
  X(FMT5, 27)                                 \
  X(FMT6, 28)                                 \
  X(FMT7, 29)                                 \
  X(FMT8, 30)                                 \
  X(RAW8, 31)                                 \
  X(RAW8_ALT, 32)                             \
  X(RAW12_ALT, 33)                            \
  X(FMT11, 34)                                \
  X(CG3, 35)                                  \
  X(CCD, 36)                                  \
  X(FOCUS, 37)                                \
  X(PRECISE_FRAMERATE, 38)

#define LUMORIX_FLAG_DEFINE(name, bit) inline constexpr uint64_t LUMORIX_FLAG_##name = uint64_t{1} << (bit);
LUMORIX_FLAG_LIST(LUMORIX_FLAG_DEFINE)
#undef LUMORIX_FLAG_DEFINE

// Any raw depth above 8 bits: 10, 12, 14, 16 and the alternative 12-bit format.
inline constexpr uint64_t LUMORIX_FLAG_HIGHBIT_MASK = 0x20000F000ull;
static_assert(LUMORIX_FLAG_HIGHBIT_MASK == (LUMORIX_FLAG_RAW10 | LUMORIX_FLAG_RAW12 |
                                            LUMORIX_FLAG_RAW14 | LUMORIX_FLAG_RAW16 |
                                            LUMORIX_FLAG_RAW12_ALT));

// clang-format on
