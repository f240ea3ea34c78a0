// capture_host: captures frames from a video input device through DirectShow, as a host would.
#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "tools/capture_host/capture_graph.h"
#include "tools/capture_host/devices.h"
#include "tools/capture_host/frame_sink.h"
#include "tools/capture_host/options.h"
#include "tools/capture_host/properties.h"

namespace {

std::atomic<const char*> g_step{"starting"};

// A call into the graph or the device that never returns must still end the program.
class Watchdog {
 public:
  explicit Watchdog(DWORD limitMs) : thread_([this, limitMs] { watch(limitMs); }) {}
  ~Watchdog() {
    SetEvent(finished_.get());
    thread_.join();
  }

 private:
  void watch(DWORD limitMs) {
    if (WaitForSingleObject(finished_.get(), limitMs) != WAIT_TIMEOUT) return;
    std::fprintf(stderr, "capture_host: error: no end after %lu s while %s; giving up\n",
                 static_cast<unsigned long>(limitMs / 1000), g_step.load());
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), 1);
  }

  Handle finished_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::thread thread_;
};

int Fail(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "capture_host: error: %s\n", message.c_str());
  return 1;
}

std::vector<std::wstring> Arguments() {
  int count = 0;
  wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> args;
  for (int i = 1; list && i < count; ++i) args.emplace_back(list[i]);
  if (list) LocalFree(list);
  return args;
}

// Lists the devices and creates the one asked for.
bool OpenDevice(const std::wstring& name, ComPtr<IBaseFilter>* source, std::string* error) {
  g_step = "listing the video input devices";
  std::vector<VideoInput> devices;
  if (!ListVideoInputs(&devices, error)) return false;
  std::printf("video input devices: %zu\n", devices.size());
  for (const VideoInput& device : devices) {
    std::printf("  %s\n", Utf8(device.friendlyName).c_str());
  }
  g_step = "creating the device's filter";
  if (!BindVideoInput(devices, name, source, error)) return false;
  std::printf("device: %s\n", Utf8(name).c_str());
  return true;
}

// The last line, and the exit code for pictures that could not be written or broken frames.
int Summarize(const FrameSink& sink, const BITMAPINFOHEADER& bmi, const Options& o) {
  std::printf("captured %d frames of %ldx%ld", sink.frames(), bmi.biWidth, std::labs(bmi.biHeight));
  if (!o.outDir.empty()) std::printf("; %d pictures in %s", sink.saved(), Utf8(o.outDir).c_str());
  std::printf("\n");
  if (sink.saveFailures()) {
    return Fail(std::to_string(sink.saveFailures()) + " pictures not written");
  }
  if (sink.violations()) {
    std::fflush(stdout);
    std::fprintf(stderr, "capture_host: %d frames broke a check\n", sink.violations());
    return 3;
  }
  return 0;
}

// Triggers the still once the preview frames are in, and waits for it as long as for them.
bool TakeStill(CaptureGraph& graph, IBaseFilter* source, FrameSink& still, const Options& o,
               std::string* error) {
  g_step = "triggering a still";
  if (!graph.triggerStill(source, error)) return false;
  g_step = "waiting for the still";
  if (graph.waitFor(still.done(), static_cast<DWORD>(o.timeoutSeconds) * 1000, error)) return true;
  *error = "no still came: " + *error;
  return false;
}

// The still's line; false for a still that broke a check or could not be written.
bool ReportStill(const FrameSink& still, const Options& o, std::string* error) {
  const BITMAPINFOHEADER& bmi = still.format();
  std::printf("still: %ldx%ld", bmi.biWidth, std::labs(bmi.biHeight));
  if (!o.outDir.empty()) std::printf(" in %s", Utf8(still.lastPicture().wstring()).c_str());
  std::printf("\n");
  if (still.saveFailures()) *error = "the still was not written";
  if (still.violations()) *error = "the still broke a check";
  return error->empty();
}

int Capture(const Options& o) {
  std::string error;
  ComPtr<IBaseFilter> source;
  if (!OpenDevice(o.device, &source, &error)) return Fail(error);
  if (o.properties) {
    g_step = "reading the camera properties";
    return PrintProperties(source.get(), &error) ? 0 : Fail(error);
  }
  g_step = "building the graph";
  CaptureGraph graph;
  if (!graph.build(source.get(), o.width, o.height, &error)) return Fail(error);
  const BITMAPINFOHEADER& bmi = graph.format().bmiHeader;
  std::printf("format: %ldx%ld RGB24, %lu bytes a frame\n", bmi.biWidth, std::labs(bmi.biHeight),
              static_cast<unsigned long>(bmi.biSizeImage));
  ComPtr<FrameSink> still;
  if (o.still) {
    if (!graph.addStill(source.get(), &error)) return Fail(error);
    const BITMAPINFOHEADER& s = graph.stillFormat().bmiHeader;
    std::printf("still format: %ldx%ld RGB24, %lu bytes\n", s.biWidth, std::labs(s.biHeight),
                static_cast<unsigned long>(s.biSizeImage));
    still = ComPtr<FrameSink>(new FrameSink(1, graph.stillFormat(), o.outDir, 0, SinkKind::kStill));
  }
  std::error_code made;
  if (!o.outDir.empty() && !std::filesystem::create_directories(o.outDir, made) && made) {
    return Fail("cannot create " + Utf8(o.outDir) + ": " + made.message());
  }
  ComPtr<FrameSink> sink(new FrameSink(o.frames, graph.format(), o.outDir, o.saveEvery));
  g_step = "starting the graph";
  bool ok = graph.run(sink.get(), still.get(), &error);
  g_step = "waiting for frames";
  ok = ok && graph.waitFor(sink->done(), static_cast<DWORD>(o.timeoutSeconds) * 1000, &error);
  if (!ok)
    error +=
        " after " + std::to_string(sink->frames()) + " of " + std::to_string(o.frames) + " frames";
  ok = ok && (!still || TakeStill(graph, source.get(), *still.get(), o, &error));
  g_step = "stopping the graph";
  graph.stop();
  if (!ok) return Fail(error);
  if (still && !ReportStill(*still.get(), o, &error)) {
    Summarize(*sink.get(), bmi, o);
    return Fail(error);
  }
  return Summarize(*sink.get(), bmi, o);
}

}  // namespace

int main() {
  Options options;
  std::string error;
  if (!ParseOptions(Arguments(), &options, &error)) {
    std::fprintf(stderr, "capture_host: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (options.help) {
    std::printf("%s", kUsage);
    return 0;
  }
  // Building and stopping get their own minute beyond the waits for the frames and the still.
  const int waits = options.still ? 2 : 1;
  Watchdog watchdog(static_cast<DWORD>(options.timeoutSeconds * waits + 60) * 1000);
  ComScope com;
  if (FAILED(com.hr)) return Fail("COM does not start: " + HresultText(com.hr));
  return Capture(options);
}
