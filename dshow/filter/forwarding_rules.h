// What the filter answers for a forwarded camera call before, or instead of, the camera: the
// pointer arguments it insists on and the result without a camera.
#pragma once

#include <windows.h>

#include <cstdint>
#include <type_traits>

#include "core/lumorix.h"

namespace forwarding {

// How many leading pointer arguments of an ILumorix method must not be null, by ordinal.
struct PointerRule {
  uint32_t ordinal;
  uint32_t pointers;
};
using M = LumorixTraits<ILumorix>;
inline constexpr PointerRule kPointerRules[] = {{M::get_AutoExpoEnable, 1},
                                                {M::get_AutoExpoTarget, 1},
                                                {M::put_Rect, 1},
                                                {M::get_Rect, 1},
                                                {M::get_AeWindowMark, 1},
                                                {M::get_VignetteEnable, 1},
                                                {M::get_VignetteAmount, 1},
                                                {M::get_VignetteMidPoint, 1},
                                                {M::put_WhiteBalanceGain, 1},
                                                {M::get_WhiteBalanceGain, 1},
                                                {M::get_Hue, 1},
                                                {M::get_Saturation, 1},
                                                {M::get_Brightness, 1},
                                                {M::get_ExpoTime, 1},
                                                {M::get_ExpoAGain, 1},
                                                {M::put_LevelRange, 2},
                                                {M::get_LevelRange, 2},
                                                {M::get_Contrast, 1},
                                                {M::get_Gamma, 1},
                                                {M::get_Chrome, 1},
                                                {M::get_VFlip, 1},
                                                {M::get_HFlip, 1},
                                                {M::get_Speed, 1},
                                                {M::get_LightFrequency, 1},
                                                {M::get_Skip, 1},
                                                {M::get_TempTint, 2},
                                                {M::put_AWBRect, 1},
                                                {M::get_AWBRect, 1},
                                                {M::put_AERect, 1},
                                                {M::get_AERect, 1},
                                                {M::get_RealExpoTime, 1}};

constexpr uint32_t requiredPointers(uint32_t ordinal) {
  for (const PointerRule& rule : kPointerRules)
    if (rule.ordinal == ordinal) return rule.pointers;
  return 0;
}

template <class T>
bool isNull(T value) {
  if constexpr (std::is_pointer_v<T>)
    return value == nullptr;
  else
    return false;
}

// E_POINTER when one of the first `count` arguments is a null pointer, else S_OK.
template <class... A>
HRESULT checkLeadingPointers(uint32_t count, A... args) {
  uint32_t position = 0;
  bool null = false;
  ((null = null || (position++ < count && isNull(args))), ...);
  return null ? E_POINTER : S_OK;
}

// The plain values a caller reads as "none" answer 0 without a camera; everything else fails.
template <class I>
constexpr uint32_t noCameraResult(uint32_t ordinal) {
  using S = LumorixTraits<ILumorixStillImage>;
  using N = LumorixTraits<ILumorixInternal>;
  if constexpr (std::is_same_v<I, ILumorix>) {
    if (ordinal == M::get_MaxSpeed || ordinal == M::get_ResolutionNumber ||
        ordinal == M::get_MaxBitDepth || ordinal == M::get_GrabRetry)
      return 0;
  } else if constexpr (std::is_same_v<I, ILumorixStillImage>) {
    if (ordinal == S::get_StillResolutionNumber) return 0;
  } else if constexpr (std::is_same_v<I, ILumorixInternal>) {
    if (ordinal == N::get_MaxFrameRate || ordinal == N::get_MaxFrameRateOf) return 0;
  }
  return static_cast<uint32_t>(E_UNEXPECTED);
}

}  // namespace forwarding
