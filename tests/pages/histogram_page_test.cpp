// The histogram page on the filter over the camera double: the channels a camera offers, typed
// and dragged levels, the curves painted from a histogram, and no block lost at closing.
#include <gtest/gtest.h>

#include <windows.h>
#include <malloc.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "pages/framework/page_callbacks.h"
#include "pages/framework/page_messages.h"
#include "tests/pages/page_host.h"
#include "tests/wine/client_pixels.h"
#include "tests/wine/heap_in_use.h"

namespace {

using Args = std::vector<int64_t>;

std::wstring ListItem(HWND list, int index) {
  wchar_t text[64] = {};
  SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

// A mono camera, or a colour camera in grey output, offers only "Gray" and edits channel 3 only;
// a colour camera offers the three colours and RGB, which edits all three.
TEST(HistogramPage, TheCamerasModeDecidesTheChannels) {
  struct Case {
    uint32_t colour;
    uint32_t grey;
    int items;
    const wchar_t* first;
    Args typed;  // put_LevelRange after typing 40 in Left
  };
  const Case cases[] = {
      {0, 0, 1, L"Gray", {0, 0, 0, 40, 255, 255, 255, 255}},
      {1, 1, 1, L"Gray", {0, 0, 0, 40, 255, 255, 255, 255}},
      {1, 0, 4, L"Blue", {40, 40, 40, 0, 255, 255, 255, 255}},
  };
  for (const Case& c : cases) {
    PageHost host(PageRowId::Histogram, CameraSetup{}, [&](CameraValues& camera) {
      camera.colour = c.colour;
      camera.grey = c.grey;
    });
    ASSERT_TRUE(host.ready());
    HWND list = host.item(1022);
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), c.items) << c.colour << c.grey;
    EXPECT_EQ(ListItem(list, 0), c.first);
    host.setText(1044, L"40");
    host.pressReturn(1044);
    EXPECT_EQ(host.camera().last("put_LevelRange"), c.typed) << c.colour << c.grey;
  }
}

// In grey mode the left marker drags; on a colour camera showing RGB the grey channel's levels
// are never touched by a drag.
TEST(HistogramPage, DraggingAMarkerStoresItsLevel) {
  struct Case {
    uint32_t colour;
    Args dropped;
  };
  const Case cases[] = {{0, {0, 0, 0, 127, 255, 255, 255, 255}},
                        {1, {127, 127, 127, 0, 255, 255, 255, 255}}};
  for (const Case& c : cases) {
    PageHost host(PageRowId::Histogram, CameraSetup{},
                  [&](CameraValues& camera) { camera.colour = c.colour; });
    ASSERT_TRUE(host.ready());
    HWND graph = host.item(1021);
    RECT client;
    GetClientRect(graph, &client);
    const int width = client.right - 4;  // the page made the control 4 wider than the graph
    SendMessageW(graph, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));
    SendMessageW(graph, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(width / 2, 10));
    SendMessageW(graph, WM_LBUTTONUP, 0, MAKELPARAM(width / 2, 10));
    PageHost::pump();
    Args want = c.dropped;
    const int64_t level = int64_t(width / 2) * 255 / width;
    for (int64_t& v : want)
      if (v == 127) v = level;
    EXPECT_EQ(host.camera().last("put_LevelRange"), want) << c.colour;
  }
}

// The buttons, the "RGB" choice and the frame's refill on a colour camera whose three colours
// hold different levels.
TEST(HistogramPage, ButtonsRgbChoiceAndRefill) {
  struct Case {
    const char* what;
    std::function<void(PageHost&)> act;
    size_t requests;      // GetHistogram calls it makes
    size_t autoLevels;    // LevelRangeAuto calls
    Args written;         // put_LevelRange, or empty for none
    const wchar_t* left;  // 1044 afterwards
  };
  auto choose = [](int item) {
    return [item](PageHost& host) {
      SendMessageW(host.item(1022), CB_SETCURSEL, item, 0);
      SendMessageW(host.dialog(), WM_COMMAND, MAKEWPARAM(1022, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(host.item(1022)));
    };
  };
  const Case cases[] = {
      {"Auto", [](PageHost& host) { host.click(1013); }, 1, 1, {}, L"10"},
      {"Refresh", [](PageHost& host) { host.click(1018); }, 1, 0, {}, L"5"},
      {"Defaults",
       [](PageHost& host) { host.click(1019); },
       0,
       0,
       {0, 0, 0, 0, 255, 255, 255, 255},
       L"0"},
      {"RGB", choose(3), 0, 0, {5, 5, 5, 7, 240, 240, 240, 99}, L"5"},
      {"Red", choose(2), 0, 0, {}, L"20"},
      {"refill in grey output",
       [](PageHost& host) {
         host.camera().grey = 1;
         SendMessageW(host.dialog(), kMsgSettingsChanged, 0, 0);
       },
       0,
       0,
       {},
       L"7"},
  };
  for (const Case& c : cases) {
    PageHost host(PageRowId::Histogram, CameraSetup{}, [](CameraValues& camera) {
      const uint16_t low[4] = {12, 5, 20, 7}, high[4] = {200, 240, 220, 99};
      std::copy(low, low + 4, camera.levelLow);
      std::copy(high, high + 4, camera.levelHigh);
    });
    ASSERT_TRUE(host.ready());
    CameraValues& camera = host.camera();
    const size_t requests = camera.count("GetHistogram");
    const size_t autoLevels = camera.count("LevelRangeAuto");
    const size_t writes = camera.count("put_LevelRange");
    c.act(host);
    PageHost::pump();
    EXPECT_EQ(camera.count("GetHistogram") - requests, c.requests) << c.what;
    EXPECT_EQ(camera.count("LevelRangeAuto") - autoLevels, c.autoLevels) << c.what;
    if (c.written.empty()) {
      EXPECT_EQ(camera.count("put_LevelRange"), writes) << c.what;
    } else {
      EXPECT_EQ(camera.last("put_LevelRange"), c.written) << c.what;
    }
    EXPECT_EQ(host.text(1044), c.left) << c.what;
  }
}

// The graph as painted, counted by pen colour.
struct Painted {
  size_t blue = 0, green = 0, red = 0;
};

Painted PaintAndCount(HWND graph) {
  const ClientPixels pixels = PrintClientPixels(graph);
  Painted painted;
  for (uint32_t p : pixels.rgb) {
    painted.blue += p == 0x0000FF;
    painted.green += p == 0x00FF00;
    painted.red += p == 0xFF0000;
  }
  return painted;
}

TEST(HistogramPage, AHistogramDrawsItsCurvesAndAnEmptyOneNone) {
  for (const bool empty : {false, true}) {
    PageHost host(PageRowId::Histogram);
    ASSERT_TRUE(host.ready());
    // Each colour with its own shape, so no curve hides another.
    std::vector<float> bins[4];
    for (size_t a = 0; a < 4; ++a) {
      bins[a].resize(256);
      for (size_t i = 0; i < 256; ++i) bins[a][i] = empty ? 0.f : float((i + 85 * a) % 256);
    }
    ASSERT_TRUE(host.camera().fireHistogram(bins[0].data(), bins[1].data(), bins[2].data(),
                                            bins[3].data()));
    PageHost::pump();
    const Painted painted = PaintAndCount(host.item(1021));
    if (empty) {
      EXPECT_EQ(painted.blue + painted.green + painted.red, 0u);
    } else {
      EXPECT_GT(painted.blue, 100u);
      EXPECT_GT(painted.green, 100u);
      EXPECT_GT(painted.red, 100u);
    }
  }
}

std::vector<float> gBins(256, 1.f);
WNDPROC gDialogProc = nullptr;

void PostHistograms(HWND dialog, int count) {
  for (int i = 0; i < count; ++i)
    HistogramDataCallback(gBins.data(), gBins.data(), gBins.data(), gBins.data(), dialog);
}

// The dialog's procedure with a camera that answers once more just after the page has closed.
LRESULT CALLBACK AnswerWhileClosing(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallWindowProcW(gDialogProc, dialog, message, wParam, lParam);
  if (message == WM_DESTROY) PostHistograms(dialog, 1000);
  return result;
}

// Histograms still queued when the dialog closes are freed with it, and one the camera answers
// while it closes is never queued to it.
TEST(HistogramPage, BlocksQueuedAtClosingAreFreed) {
  for (const bool answerWhileClosing : {false, true}) {
    const size_t before = HeapInUse();
    {
      PageHost host(PageRowId::Histogram);
      ASSERT_TRUE(host.ready());
      if (answerWhileClosing) {
        gDialogProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            host.dialog(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AnswerWhileClosing)));
      } else {
        PostHistograms(host.dialog(), 1000);
        MSG queued;
        ASSERT_TRUE(
            PeekMessageW(&queued, host.dialog(), kMsgHistogram, kMsgHistogram, PM_NOREMOVE));
        ASSERT_GE(HeapInUse(), before + 1000 * kHistogramBlockBytes);
      }
      host.page()->Deactivate();
    }
    EXPECT_LT(HeapInUse(), before + 100 * kHistogramBlockBytes) << answerWhileClosing;
  }
}

}  // namespace
