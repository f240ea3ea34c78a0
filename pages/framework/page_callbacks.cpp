// Camera callbacks that hand notifications to a page dialog (the context) as posted messages.
// They run on camera threads: they only post, and nothing to a window that no longer exists.
#include "pages/framework/page_callbacks.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "pages/framework/page_messages.h"

namespace {

HWND PageWindow(void* context) {
  HWND window = static_cast<HWND>(context);
  return window && IsWindow(window) ? window : nullptr;
}

}  // namespace

void HistogramDataCallback(const float* luma, const float* red, const float* green,
                           const float* blue, void* context) {
  HWND window = PageWindow(context);
  if (!window || !luma || !red || !green || !blue) return;
  auto* block = static_cast<float*>(std::malloc(kHistogramBlockBytes));
  if (!block) return;
  const float* arrays[] = {luma, red, green, blue};
  for (size_t i = 0; i < 4; ++i)
    std::memcpy(block + i * kHistogramBins, arrays[i], kHistogramBins * sizeof(float));
  // A block nobody will receive would be lost: keep ownership when the post fails.
  if (!PostMessageW(window, kMsgHistogram, reinterpret_cast<WPARAM>(block), 0)) std::free(block);
}

void PageNotifyCallback(void* context) {
  if (HWND window = PageWindow(context)) PostMessageW(window, kMsgCameraNotify, 0, 0);
}

void TempTintCallback(int32_t temperature, int32_t tint, void* context) {
  HWND window = PageWindow(context);
  if (!window) return;
  PostMessageW(window, kMsgTempTint, static_cast<WPARAM>(static_cast<intptr_t>(temperature)),
               static_cast<LPARAM>(tint));
}
