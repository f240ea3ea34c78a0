// Camera callbacks that hand notifications to a page dialog (the context) as posted messages.
#pragma once

#include <cstdint>

// Copies the four 256-bin arrays into a heap block and posts it; the page frees it.
void HistogramDataCallback(const float* luma, const float* red, const float* green,
                           const float* blue, void* context);
void PageNotifyCallback(void* context);
void TempTintCallback(int32_t temperature, int32_t tint, void* context);
