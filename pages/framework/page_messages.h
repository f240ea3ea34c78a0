// The private window messages the pages post or send to page dialogs.
#pragma once

#include <windows.h>

// Return pressed in the first, second and third Enter-key edit of a page: apply its value.
inline constexpr UINT kMsgEnterKey1 = 1034;
inline constexpr UINT kMsgEnterKey2 = 1035;
inline constexpr UINT kMsgEnterKey3 = 1036;
// One-push white balance finished (wParam temperature, lParam tint).
inline constexpr UINT kMsgTempTint = 2024;
// New histogram (wParam = a heap block of kHistogramBlockBytes; the receiver frees it).
inline constexpr UINT kMsgHistogram = 2025;
// Camera notification.
inline constexpr UINT kMsgCameraNotify = 2026;
// Exposure page: write the auto-exposure check box to the camera.
inline constexpr UINT kMsgWriteAutoExposure = 2027;
// Broadcast to the frame's pages: auto exposure switched; settings changed (refill all controls);
// refresh the exposure-time label; bit depth changed.
inline constexpr UINT kMsgAutoExposureChanged = 42839;
inline constexpr UINT kMsgSettingsChanged = 42840;
inline constexpr UINT kMsgRefreshExposureLabel = 42841;
inline constexpr UINT kMsgBitDepthChanged = 42848;

// Four arrays of 256 floats: luminance, red, green, blue.
inline constexpr size_t kHistogramBins = 256;
inline constexpr size_t kHistogramBlockBytes = 4 * kHistogramBins * sizeof(float);
