// What the module's graph tests share: bounded calls, the pin's offered and connected formats, and
// the chart's patches as a frame shows them.
#pragma once

#include <windows.h>

#include <dshow.h>

#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "tests/dshow/support/capture_graph.h"

inline constexpr DWORD kStartMs = 30000;  // the camera's start: device open, sensor program
inline constexpr DWORD kStopMs = 10000;

// A call that has not returned in time leaves the graph in use on its thread: the process
// cannot go on, so it ends at once rather than at the test's time-out.
template <class Call>
void Within(DWORD ms, const char* what, Call&& call) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    call();
    SetEvent(done);
  });
  if (WaitForSingleObject(done, ms) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "FAILED: %s did not return within %lu ms\n", what, ms);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  worker.join();
  CloseHandle(done);
}

// IMediaControl::Run and Stop of g, each bounded as above; the call's result.
HRESULT RunGraph(CaptureGraph& g);
HRESULT StopGraph(CaptureGraph& g);
// The source's output pin of category, through the graph's builder.
void FindOutputPin(CaptureGraph& g, const GUID& category, ComPtr<IPin>* pin);

struct Format {
  LONG width = 0;
  LONG height = 0;
  DWORD sizeImage = 0;
};

// The sizes the source's pin of category offers, in its order.
void OfferedSizes(CaptureGraph& g, const GUID& category, std::vector<Format>* sizes);
// Sets the offered format of width x height on the pin of category; fails when none is offered.
void ChooseSize(CaptureGraph& g, LONG width, LONG height,
                const GUID& category = PIN_CATEGORY_CAPTURE);
// The grabber's connected RGB24 format.
void ReadConnectedFormat(ISampleGrabber* grabber, Format* format);

// The chart's patches: 4 x 2, top row red, green, blue, white; bottom row cyan, magenta,
// yellow, grey. Which channels are lit, per patch; all three lit is a neutral patch.
struct Patch {
  const char* name;
  int column;
  int row;  // 0 top
  bool red, green, blue;
};
inline constexpr Patch kChart[] = {
    {"red", 0, 0, true, false, false},   {"green", 1, 0, false, true, false},
    {"blue", 2, 0, false, false, true},  {"white", 3, 0, true, true, true},
    {"cyan", 0, 1, false, true, true},   {"magenta", 1, 1, true, false, true},
    {"yellow", 2, 1, true, true, false}, {"grey", 3, 1, true, true, true},
};

struct Colour {
  double red, green, blue;
};

// The mean of a 16 x 16 square at the centre of a patch of a bottom-up BGR frame.
Colour PatchMean(const std::vector<uint8_t>& frame, const Format& format, const Patch& patch);
// Lit channels clearly above unlit ones; neutral patches within a tenth.
void ExpectPatch(const Patch& patch, const Colour& c);
