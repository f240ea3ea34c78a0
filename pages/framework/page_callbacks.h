// Camera callbacks that hand notifications to a page dialog (the context) as posted messages.
#pragma once

#include <windows.h>

#include <cstdint>

// Copies the four 256-bin arrays into a heap block and posts it to a dialog that takes histograms;
// the page frees it. A block that cannot be posted is freed here.
void HistogramDataCallback(const float* luma, const float* red, const float* green,
                           const float* blue, void* context);
void PageNotifyCallback(void* context);
void TempTintCallback(int32_t temperature, int32_t tint, void* context);

// A page dialog takes histogram blocks from its opening until it refuses them as it closes; the
// refusal frees every block already queued, and no block is posted to it afterwards.
void AcceptHistograms(HWND dialog);
void RefuseHistograms(HWND dialog);

// How the callbacks post (PostMessageW unless replaced); returns the one it replaces.
using PagePoster = BOOL(WINAPI*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PagePoster SetPagePoster(PagePoster poster);
