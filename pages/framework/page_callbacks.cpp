// Camera callbacks that hand notifications to a page dialog (the context) as posted messages.
// They run on camera threads: they only post, and nothing to a window that no longer exists.
#include "pages/framework/page_callbacks.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "pages/framework/page_messages.h"

namespace {

constexpr wchar_t kTakesHistograms[] = L"{5C1E07A4-8B2D-4F3E-9A61-0D7B4C2E9F18}";

std::atomic<PagePoster> gPoster{nullptr};

// A histogram post and a page's refusal never interleave: a block is either queued before the
// refusal, which frees it, or refused.
// Bounded: holders only read or drop a property and post (never send): no edge in the wait table.
std::mutex& HistogramGate() {
  static std::mutex gate;
  return gate;
}

BOOL Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const PagePoster poster = gPoster.load();
  return (poster ? poster : PostMessageW)(window, message, wParam, lParam);
}

HWND PageWindow(void* context) {
  HWND window = static_cast<HWND>(context);
  return window && IsWindow(window) ? window : nullptr;
}

}  // namespace

PagePoster SetPagePoster(PagePoster poster) {
  const PagePoster old = gPoster.exchange(poster);
  return old ? old : PostMessageW;
}

void AcceptHistograms(HWND dialog) {
  if (dialog) SetPropW(dialog, kTakesHistograms, reinterpret_cast<HANDLE>(1));
}

void RefuseHistograms(HWND dialog) {
  if (!dialog) return;
  {
    const std::lock_guard<std::mutex> lock(HistogramGate());
    RemovePropW(dialog, kTakesHistograms);
  }
  MSG queued;
  while (PeekMessageW(&queued, dialog, kMsgHistogram, kMsgHistogram, PM_REMOVE))
    std::free(reinterpret_cast<void*>(queued.wParam));
}

void HistogramDataCallback(const float* luma, const float* red, const float* green,
                           const float* blue, void* context) {
  HWND window = PageWindow(context);
  if (!window || !luma || !red || !green || !blue) return;
  auto* block = static_cast<float*>(std::malloc(kHistogramBlockBytes));
  if (!block) return;
  const float* arrays[] = {luma, red, green, blue};
  for (size_t i = 0; i < 4; ++i)
    std::memcpy(block + i * kHistogramBins, arrays[i], kHistogramBins * sizeof(float));
  const std::lock_guard<std::mutex> lock(HistogramGate());
  // A block nobody will receive would be lost: keep ownership when it cannot be posted.
  if (!GetPropW(window, kTakesHistograms) ||
      !Post(window, kMsgHistogram, reinterpret_cast<WPARAM>(block), 0))
    std::free(block);
}

void PageNotifyCallback(void* context) {
  if (HWND window = PageWindow(context)) Post(window, kMsgCameraNotify, 0, 0);
}

void TempTintCallback(int32_t temperature, int32_t tint, void* context) {
  HWND window = PageWindow(context);
  if (!window) return;
  Post(window, kMsgTempTint, static_cast<WPARAM>(static_cast<intptr_t>(temperature)),
       static_cast<LPARAM>(tint));
}
