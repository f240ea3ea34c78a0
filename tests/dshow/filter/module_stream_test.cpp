// The shipped module streaming a simulated USB3 3.1 MP camera through a real capture graph:
// capture graph builder, sample grabber, null renderer, no clock.
#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/lumorix.h"
#include "core/lumorix_options.h"
#include "dshow/base/mediatypes.h"
#include "tests/dshow/filter/module_graph.h"
#include "tests/dshow/filter/module_support.h"
#include "tests/dshow/support/capture_graph.h"

namespace {

// The camera's stored settings (per model), as a user's earlier session left them.
constexpr const wchar_t* kSettingsKey = L"Software\\Harrowdenmarket\\dshow\\ZMS-RX7-3";

class ModuleStream : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SimCameraCount()) GTEST_SKIP() << "runs in a prefix set up with a simulated camera";
    ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
    ASSERT_TRUE(module_.loaded());
    ASSERT_EQ(module_.enumCameras(), 1u);
  }
  void TearDown() override {
    if (!SimCameraCount()) return;
    ShimCommand("unplug 0 0");
    ShimShowPattern();  // the chart tests' picture stays in the shim for the prefix's next suite
    Within(kStopMs, "releasing the graph", [&] { releaseGraph(); });
    if (setting_) setting_->restore();
    // The camera stores its settings as it closes: the next session starts from the defaults.
    if (forgetSettings_) RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    if (module_.loaded()) {
      EXPECT_EQ(module_.canUnloadNow(), S_OK);
    }
  }

  // A graph around a new filter for camera 0 whose capture pin delivers width x height; the
  // unconnected filter is handed to beforeRender first.
  void build(LONG width, LONG height, const std::function<void(IBaseFilter*)>& beforeRender = {}) {
    releaseGraph();
    ComPtr<IUnknown> camera;
    *camera.out() = module_.openCamera(0);
    ASSERT_TRUE(camera) << "camera 0 did not open";
    ComPtr<IBaseFilter> source;
    ASSERT_EQ(camera->QueryInterface(IID_IBaseFilter, source.outVoid()), S_OK);
    ASSERT_EQ(g_.begin(source.get()), S_OK);
    ASSERT_NO_FATAL_FAILURE(chooseSize(width, height));
    if (beforeRender) {
      ASSERT_NO_FATAL_FAILURE(beforeRender(source.get()));
    }
    ASSERT_EQ(g_.render(log_), S_OK);
    ASSERT_NO_FATAL_FAILURE(readConnectedFormat());
  }

  void chooseSize(LONG width, LONG height, const GUID& category = PIN_CATEGORY_CAPTURE) {
    ChooseSize(g_, width, height, category);
  }

  void readConnectedFormat(ISampleGrabber* grabber = nullptr, Format* format = nullptr) {
    ReadConnectedFormat(grabber ? grabber : g_.grabber.get(), format ? format : &format_);
  }

  void releaseGraph() { g_.release(); }

  void findPin(const GUID& category, ComPtr<IPin>* pin) { FindOutputPin(g_, category, pin); }

  // Asks the running graph's still pin for one still through IAMVideoControl.
  void triggerStill() {
    ComPtr<IAMVideoControl> video = g_.source.as<IAMVideoControl>(IID_IAMVideoControl);
    ASSERT_TRUE(video);
    ComPtr<IPin> stillPin;
    ASSERT_NO_FATAL_FAILURE(findPin(PIN_CATEGORY_STILL, &stillPin));
    EXPECT_EQ(video->SetMode(stillPin.get(), VideoControlFlag_Trigger), S_OK);
  }

  void run() {
    const HRESULT hr = RunGraph(g_);
    ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
  }
  void stop() { EXPECT_EQ(StopGraph(g_), S_OK); }

  // A run of at least `frames` samples, each one whole frame of the connected format,
  // time-stamped from 0 on and later than the one before.
  void streamWholeFrames(size_t frames, DWORD timeoutMs, const char* what) {
    SCOPED_TRACE(what);
    log_.reset();
    ASSERT_NO_FATAL_FAILURE(run());
    EXPECT_TRUE(log_.reaches(frames, timeoutMs)) << log_.seen() << " frames";
    stop();
    const std::vector<long> lengths = log_.lengths();
    const size_t wrong = std::count_if(lengths.begin(), lengths.end(), [&](long length) {
      return length != static_cast<long>(format_.sizeImage);
    });
    EXPECT_EQ(wrong, 0u) << "of " << lengths.size() << " samples";
    const std::vector<REFERENCE_TIME> starts = log_.starts();
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts.front(), 0);
    for (size_t i = 1; i < starts.size(); ++i) {
      ASSERT_GT(starts[i], starts[i - 1]) << "sample " << i;
    }
  }

  ComScope com_;
  LoadedModule module_;
  std::optional<UserDword> setting_;
  FrameLog log_;
  bool forgetSettings_ = false;
  FrameLog stills_;  // the still grabber's; outlives the graph as log_ does
  Format format_;
  CaptureGraph g_;
};

// Each resolution, and a camera turning its frames by 90 degrees, which offers, connects and fills
// the turned frame: 770 pixels of 3 bytes pad to 2312-byte rows, so the unturned format would be
// 2048 bytes short.
TEST_F(ModuleStream, WholeFramesAtEachResolutionAcrossAStopAndRestart) {
  struct Case {
    LONG width, height;
    DWORD rotate;
    Format connected;
  } cases[] = {{2048, 1534, 0, {2048, 1534, 2048 * 3 * 1534}},
               {1024, 770, 0, {1024, 770, 1024 * 3 * 770}},
               {770, 1024, 90, {770, 1024, 2312 * 1024}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " turned " << c.rotate);
    if (c.rotate) {
      setting_.emplace(kSettingsKey, L"Rotate", c.rotate);
      ASSERT_TRUE(setting_->set());
    }
    ASSERT_NO_FATAL_FAILURE(build(c.width, c.height));
    EXPECT_EQ(format_.width, c.connected.width);
    EXPECT_EQ(format_.height, c.connected.height);
    EXPECT_EQ(format_.sizeImage, c.connected.sizeImage);
    ASSERT_NO_FATAL_FAILURE(streamWholeFrames(100, 120000, "first run"));
    ASSERT_NO_FATAL_FAILURE(streamWholeFrames(20, 60000, "after the restart"));
    Within(kStopMs, "releasing the graph", [&] { releaseGraph(); });
  }
}

TEST_F(ModuleStream, ChartPatchesComeOutUprightInTheirColours) {
  ASSERT_NO_FATAL_FAILURE(build(1024, 770));
  const std::string reply = ShimCommand("chart 0");
  if (reply == "unknown command") GTEST_SKIP() << "the simulated camera has no chart";
  ASSERT_EQ(reply, "ok");
  log_.reset(60);  // auto exposure and white balance settle first
  ASSERT_NO_FATAL_FAILURE(run());
  EXPECT_TRUE(log_.reaches(60, 60000)) << log_.seen() << " frames";
  stop();
  const std::vector<uint8_t> frame = log_.frame();
  ASSERT_EQ(frame.size(), format_.sizeImage);
  Colour white = {};
  Colour grey = {};
  for (const Patch& patch : kChart) {
    const Colour c = PatchMean(frame, format_, patch);
    ExpectPatch(patch, c);
    if (patch.column == 3) (patch.row == 0 ? white : grey) = c;
  }
  EXPECT_GT(white.green, grey.green) << "white is brighter than grey";
}

// A region set on the stopped, unconnected filter is the size the pin connects at: every sample
// is exactly the connected size and shows the region. The top band of the chart's top row fills
// the whole picture, so its lower half shows the top row's colours too.
TEST_F(ModuleStream, ARegionSetBeforeConnectingIsTheConnectedSize) {
  forgetSettings_ = true;
  const std::string reply = ShimCommand("chart 0");
  if (reply == "unknown command") GTEST_SKIP() << "the simulated camera has no chart";
  ASSERT_EQ(reply, "ok");
  ASSERT_NO_FATAL_FAILURE(build(1024, 770, [](IBaseFilter* source) {
    ComPtr<ILumorix> camera;
    ASSERT_EQ(source->QueryInterface(IID_ILumorix, camera.outVoid()), S_OK);
    ASSERT_EQ(camera->put_Roi(0, 0, 1024, 384), S_OK);
  }));
  EXPECT_EQ(format_.width, 1024);
  EXPECT_EQ(format_.height, 384);
  EXPECT_EQ(format_.sizeImage, 1024u * 3 * 384);
  log_.reset(60);  // auto exposure and white balance settle first
  ASSERT_NO_FATAL_FAILURE(run());
  EXPECT_TRUE(log_.reaches(60, 60000)) << log_.seen() << " frames";
  stop();
  const std::vector<long> lengths = log_.lengths();
  EXPECT_EQ(std::count(lengths.begin(), lengths.end(), long(format_.sizeImage)),
            std::ptrdiff_t(lengths.size()));
  const std::vector<uint8_t> frame = log_.frame();
  ASSERT_EQ(frame.size(), format_.sizeImage);
  for (const Patch& patch : kChart) {
    if (patch.row != 0) continue;
    for (int half = 0; half < 2; ++half) {
      SCOPED_TRACE(half ? "lower half" : "upper half");
      Patch at = patch;
      at.row = half;
      ExpectPatch(patch, PatchMean(frame, format_, at));
    }
  }
}

// With the preview connected at 1024 x 770, neither the filter nor the preview pin lets another
// size or binning through, stopped or running; the next run's samples are still whole frames of the
// connected size. Unconnected, the same size is taken.
TEST_F(ModuleStream, AConnectedPreviewRefusesAnotherSizeOrBinning) {
  forgetSettings_ = true;
  ASSERT_NO_FATAL_FAILURE(build(1024, 770));
  ComPtr<IPin> previewPin;
  ASSERT_NO_FATAL_FAILURE(findPin(PIN_CATEGORY_CAPTURE, &previewPin));
  ComPtr<ILumorix> filter = g_.source.as<ILumorix>(LumorixTraits<ILumorix>::iid);
  ComPtr<ILumorix> pin = previewPin.as<ILumorix>(LumorixTraits<ILumorix>::iid);
  ASSERT_TRUE(filter && pin);
  const auto refuseAll = [&](const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(filter->put_eSize(0), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(pin->put_Size(2048, 1534), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(filter->put_Option(LUMORIX_OPTION_BINNING, 2), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(pin->put_Option(LUMORIX_OPTION_BINNING, 0x82), VFW_E_ALREADY_CONNECTED);
    int32_t w = 0, h = 0;
    EXPECT_EQ(filter->get_FinalSize(&w, &h), S_OK);
    EXPECT_EQ(std::pair(w, h), std::pair(1024, 770));
  };
  refuseAll("stopped");
  ASSERT_NO_FATAL_FAILURE(streamWholeFrames(20, 60000, "after the refusals"));
  log_.reset();
  ASSERT_NO_FATAL_FAILURE(run());
  refuseAll("running");
  EXPECT_TRUE(log_.reaches(20, 60000)) << log_.seen() << " frames";
  stop();
  const std::vector<long> lengths = log_.lengths();
  EXPECT_EQ(std::count(lengths.begin(), lengths.end(), long(format_.sizeImage)),
            std::ptrdiff_t(lengths.size()));
}

TEST_F(ModuleStream, UnplugMidStreamAbortsTheStreamWithoutHanging) {
  ASSERT_NO_FATAL_FAILURE(build(1024, 770));
  log_.reset();
  ASSERT_NO_FATAL_FAILURE(run());
  ASSERT_TRUE(log_.reaches(10, 60000)) << log_.seen() << " frames";
  ASSERT_EQ(ShimCommand("unplug 0 1"), "ok");
  // The pin ends the stream (end of stream, so the renderer completes) and aborts the graph.
  long completion = 0;
  HRESULT waited = E_FAIL;
  Within(30000, "IMediaEvent::WaitForCompletion",
         [&] { waited = g_.events->WaitForCompletion(20000, &completion); });
  EXPECT_EQ(waited, S_OK) << "the stream did not end";
  LONG_PTR reason = 0;
  EXPECT_TRUE(AwaitEvent(g_.events.get(), EC_ERRORABORT, &reason, 20000)) << "no EC_ERRORABORT";
  EXPECT_TRUE(FAILED(static_cast<HRESULT>(reason))) << std::hex << reason;
  const size_t seen = log_.seen();
  Sleep(300);
  EXPECT_EQ(log_.seen(), seen) << "frames after the abort";
  stop();
  Within(kStopMs, "releasing the graph", [&] { releaseGraph(); });
}

// A host's still: "~Still" rendered into its own grabber, triggered through IAMVideoControl while
// the preview runs at another size. One untimed sample of the still size, the chart upright.
TEST_F(ModuleStream, ATriggeredStillArrivesOnceBesideThePreview) {
  ASSERT_NO_FATAL_FAILURE(build(1024, 770));
  ASSERT_NO_FATAL_FAILURE(chooseSize(2048, 1534, PIN_CATEGORY_STILL));
  FrameLog& stills = stills_;
  stills.reset(1);
  ASSERT_EQ(g_.renderStill(stills), S_OK);
  Format still;
  ASSERT_NO_FATAL_FAILURE(readConnectedFormat(g_.stillGrabber.get(), &still));
  EXPECT_EQ(still.sizeImage, 2048u * 3 * 1534);
  const std::string reply = ShimCommand("chart 0");
  if (reply != "unknown command") {
    ASSERT_EQ(reply, "ok");
  }
  const bool chart = reply == "ok";
  ComPtr<IAMVideoControl> video = g_.source.as<IAMVideoControl>(IID_IAMVideoControl);
  ASSERT_TRUE(video);
  ComPtr<IPin> stillPin;
  ASSERT_NO_FATAL_FAILURE(findPin(PIN_CATEGORY_STILL, &stillPin));
  ComPtr<IPin> previewPin;
  ASSERT_NO_FATAL_FAILURE(findPin(PIN_CATEGORY_CAPTURE, &previewPin));
  LONG value = -1;
  EXPECT_EQ(video->GetCaps(stillPin.get(), &value), S_OK);
  EXPECT_EQ(value, VideoControlFlag_Trigger);
  EXPECT_EQ(video->GetMode(stillPin.get(), &value), S_OK);
  EXPECT_EQ(value, 0);
  log_.reset();
  ASSERT_NO_FATAL_FAILURE(run());
  ASSERT_TRUE(log_.reaches(30, 60000)) << log_.seen() << " frames";  // exposure settles
  struct Trigger {
    IPin* pin;
    LONG mode;
    HRESULT result;
  } const quiet[] = {{stillPin.get(), 0, S_OK},
                     {stillPin.get(), VideoControlFlag_ExternalTriggerEnable, S_OK},
                     {previewPin.get(), VideoControlFlag_Trigger, E_FAIL}};
  for (const Trigger& t : quiet) EXPECT_EQ(video->SetMode(t.pin, t.mode), t.result);
  Sleep(1000);
  EXPECT_EQ(stills.seen(), 0u);
  EXPECT_EQ(video->SetMode(stillPin.get(), VideoControlFlag_Trigger), S_OK);
  ASSERT_TRUE(stills.reaches(1, 30000));
  const size_t previews = log_.seen();
  EXPECT_TRUE(log_.reaches(previews + 10, 30000)) << "the preview goes on";
  EXPECT_EQ(stills.seen(), 1u);
  EXPECT_EQ(stills.lengths().front(), static_cast<long>(still.sizeImage));
  EXPECT_EQ(stills.starts().front(), -1) << "a still carries no time stamps";
  const std::vector<long> lengths = log_.lengths();
  EXPECT_EQ(lengths.back(), static_cast<long>(format_.sizeImage));
  // The connected still keeps its size.
  ComPtr<ILumorixStillImage> images =
      g_.source.as<ILumorixStillImage>(LumorixTraits<ILumorixStillImage>::iid);
  ASSERT_TRUE(images);
  EXPECT_EQ(images->put_eStillSize(1), E_UNEXPECTED);
  stop();
  EXPECT_TRUE(chart) << "the upright chart was not checked";
  if (chart) {
    const std::vector<uint8_t> frame = stills.frame();
    ASSERT_EQ(frame.size(), still.sizeImage);
    for (const Patch& patch : kChart) ExpectPatch(patch, PatchMean(frame, still, patch));
  }
}

// The dominant channel (0 blue, 1 green, 2 red) of the 16 x 16 square at the centre of cell
// (column, row) of a 4 x 4 grid over a bottom-up BGR frame; -1 where none stands out.
int CellChannel(const std::vector<uint8_t>& frame, const Format& format, int column, int row) {
  const LONG stride = (format.width * 3 + 3) & ~3;
  const LONG cx = (2 * column + 1) * format.width / 8;
  const LONG cy = (2 * row + 1) * format.height / 8;  // from the top
  double sum[3] = {};
  for (LONG y = cy - 8; y < cy + 8; ++y) {
    const uint8_t* line = frame.data() + size_t(format.height - 1 - y) * stride;
    for (LONG x = cx - 8; x < cx + 8; ++x)
      for (int k = 0; k < 3; ++k) sum[k] += line[3 * x + k] / 256.0;
  }
  const double* top = std::max_element(sum, sum + 3);
  const double low = *std::min_element(sum, sum + 3);
  return *top > 24 && *top > 1.5 * low ? int(top - sum) : -1;
}

// A still taken while the picture is turned by a quarter: typed by the turned still size, it
// arrives once, whole, without aborting the graph, and turned as the preview is (the chart's
// coloured cells where the preview has them).
TEST_F(ModuleStream, ATurnedStillArrivesAtItsTurnedSizeOrientedAsThePreview) {
  for (DWORD rotate : {90u, 270u}) {
    SCOPED_TRACE(testing::Message() << "turned " << rotate);
    setting_.emplace(kSettingsKey, L"Rotate", rotate);
    ASSERT_TRUE(setting_->set());
    ASSERT_NO_FATAL_FAILURE(build(770, 1024));
    EXPECT_EQ(format_.sizeImage, 2312u * 1024);
    ASSERT_NO_FATAL_FAILURE(chooseSize(770, 1024, PIN_CATEGORY_STILL));
    stills_.reset(1);
    ASSERT_EQ(g_.renderStill(stills_), S_OK);
    Format still;
    ASSERT_NO_FATAL_FAILURE(readConnectedFormat(g_.stillGrabber.get(), &still));
    EXPECT_EQ(still.width, 770);
    EXPECT_EQ(still.height, 1024);
    const bool chart = ShimCommand("chart 0") == "ok";
    log_.reset(30);
    ASSERT_NO_FATAL_FAILURE(run());
    ASSERT_TRUE(log_.reaches(30, 60000)) << log_.seen() << " frames";  // exposure settles
    ASSERT_NO_FATAL_FAILURE(triggerStill());
    ASSERT_TRUE(stills_.reaches(1, 30000));
    EXPECT_TRUE(log_.reaches(log_.seen() + 5, 30000)) << "the preview goes on";
    LONG_PTR reason = 0;
    EXPECT_FALSE(AwaitEvent(g_.events.get(), EC_ERRORABORT, &reason, 100)) << std::hex << reason;
    stop();
    EXPECT_EQ(stills_.seen(), 1u);
    EXPECT_EQ(stills_.lengths().front(), static_cast<long>(still.sizeImage));
    const std::vector<uint8_t> picture = stills_.frame();
    const std::vector<uint8_t> preview = log_.frame();
    ASSERT_EQ(picture.size(), still.sizeImage);
    ASSERT_EQ(preview.size(), format_.sizeImage);
    int compared = 0;
    for (int row = 0; chart && row < 4; ++row) {
      for (int column = 0; column < 4; ++column) {
        const int expected = CellChannel(preview, format_, column, row);
        if (expected < 0) continue;
        EXPECT_EQ(CellChannel(picture, still, column, row), expected) << column << "," << row;
        ++compared;
      }
    }
    if (chart) {
      EXPECT_GE(compared, 6) << "too few coloured cells to judge the turn";
    }
    // The camera stores its turn again as it closes: closed first, then the turn taken back.
    Within(kStopMs, "releasing the graph", [&] { releaseGraph(); });
    setting_.reset();
  }
}

// A host's version texts and guide pulses through the filter and its preview pin while the graph
// runs: the texts the simulated camera reports, and each pulse reaching its guide port once.
TEST_F(ModuleStream, VersionTextsAndGuidePulsesWhileRunning) {
  ASSERT_NO_FATAL_FAILURE(build(1024, 770));
  ComPtr<IPin> previewPin;
  ASSERT_NO_FATAL_FAILURE(findPin(PIN_CATEGORY_CAPTURE, &previewPin));
  log_.reset();
  ASSERT_NO_FATAL_FAILURE(run());
  ASSERT_TRUE(log_.reaches(5, 60000)) << log_.seen() << " frames";
  const std::string before = ShimCommand("st4 0");
  struct Row {
    IUnknown* object;
    uint32_t direction, ms;
  } const rows[] = {{g_.source.get(), 1, 40}, {previewPin.get(), 2, 60}};
  std::string expected;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.object == g_.source.get() ? "filter" : "preview pin");
    ComPtr<ILumorixVersion> version;
    ASSERT_EQ(row.object->QueryInterface(LumorixTraits<ILumorixVersion>::iid, version.outVoid()),
              S_OK);
    char text[16] = {};
    ASSERT_EQ(version->get_FwVersion(text), S_OK);
    EXPECT_STREQ(text, "3.1.0-sim");
    ASSERT_EQ(version->get_HwVersion(text), S_OK);
    EXPECT_STREQ(text, "1.0-sim");
    ComPtr<ILumorixST4> guide;
    ASSERT_EQ(row.object->QueryInterface(LumorixTraits<ILumorixST4>::iid, guide.outVoid()), S_OK);
    EXPECT_EQ(guide->ST4PlusGuide(row.direction, row.ms), S_OK);
    Sleep(row.ms + 100);  // one pulse over before the next
    expected += "direction=" + std::to_string(row.direction) + " ms=" + std::to_string(row.ms);
    expected += ";";
  }
  const std::string after = ShimCommand("st4 0");
  ASSERT_GE(after.size(), before.size());
  std::string received;
  std::istringstream lines(after.substr(before.size()));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) received += line.substr(0, line.find(" start=")) + ";";
  }
  EXPECT_EQ(received, expected);
  EXPECT_TRUE(log_.reaches(log_.seen() + 5, 30000)) << "the preview goes on";
  stop();
}

// The mean of every byte of a frame, and whether each pixel's three channels are equal.
double FrameMean(const std::vector<uint8_t>& frame) {
  double sum = 0;
  for (uint8_t byte : frame) sum += byte;
  return frame.empty() ? 0 : sum / double(frame.size());
}

bool FrameGrey(const std::vector<uint8_t>& frame) {
  for (size_t i = 0; i + 2 < frame.size(); i += 3 * 97) {  // a spread of whole pixels
    if (frame[i] != frame[i + 1] || frame[i + 1] != frame[i + 2]) return false;
  }
  return !frame.empty();
}

// A host's standard camera properties, on the filter and on the preview pin: every announced end
// can be set, and the values reach the simulated camera's frames and settings.
TEST_F(ModuleStream, StandardPropertiesReachTheCamera) {
  forgetSettings_ = true;
  ASSERT_NO_FATAL_FAILURE(build(1024, 770));
  // The chart answers exposure and gain; the test pattern does not.
  const std::string reply = ShimCommand("chart 0");
  if (reply == "unknown command") GTEST_SKIP() << "the simulated camera has no chart";
  ASSERT_EQ(reply, "ok");
  ComPtr<IPin> previewPin;
  ASSERT_NO_FATAL_FAILURE(findPin(PIN_CATEGORY_CAPTURE, &previewPin));
  log_.reset();
  ASSERT_NO_FATAL_FAILURE(run());
  ASSERT_TRUE(log_.reaches(10, 60000)) << log_.seen() << " frames";
  ComPtr<IAMVideoProcAmp> amp = g_.source.as<IAMVideoProcAmp>(IID_IAMVideoProcAmp);
  ASSERT_TRUE(amp);
  IUnknown* const objects[] = {g_.source.get(), previewPin.get()};
  for (IUnknown* object : objects) {
    SCOPED_TRACE(object == objects[0] ? "filter" : "preview pin");
    ComPtr<IAMVideoProcAmp> procAmp;
    ASSERT_EQ(object->QueryInterface(IID_IAMVideoProcAmp, procAmp.outVoid()), S_OK);
    ComPtr<IAMCameraControl> control;
    ASSERT_EQ(object->QueryInterface(IID_IAMCameraControl, control.outVoid()), S_OK);
    for (long property = VideoProcAmp_Brightness; property <= VideoProcAmp_Gain; ++property) {
      long min = 0, max = 0, step = 0, def = 0, caps = 0;
      if (FAILED(procAmp->GetRange(property, &min, &max, &step, &def, &caps))) continue;
      SCOPED_TRACE(testing::Message() << "proc amp " << property);
      EXPECT_EQ(procAmp->Set(property, min, VideoProcAmp_Flags_Manual), S_OK);
      EXPECT_EQ(procAmp->Set(property, max, VideoProcAmp_Flags_Manual), S_OK);
      EXPECT_EQ(procAmp->Set(property, def, VideoProcAmp_Flags_Manual), S_OK);
    }
    long min = 0, max = 0, step = 0, def = 0, caps = 0;
    ASSERT_EQ(control->GetRange(CameraControl_Exposure, &min, &max, &step, &def, &caps), S_OK);
    EXPECT_EQ(control->Set(CameraControl_Exposure, min, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(control->Set(CameraControl_Exposure, max, CameraControl_Flags_Manual), S_OK);
    // 2^-5 s in manual exposure.
    ASSERT_EQ(control->Set(CameraControl_Exposure, -5, CameraControl_Flags_Manual), S_OK);
    ComPtr<ILumorix> camera = g_.source.as<ILumorix>(LumorixTraits<ILumorix>::iid);
    ASSERT_TRUE(camera);
    uint32_t us = 0;
    uint32_t autoExposure = 1;
    ASSERT_EQ(camera->get_ExpoTime(&us), S_OK);
    ASSERT_EQ(camera->get_AutoExpoEnable(&autoExposure), S_OK);
    EXPECT_NEAR(double(us), 31250.0, 100.0);
    EXPECT_EQ(autoExposure, 0u);
    long value = 0, flags = 0;
    ASSERT_EQ(procAmp->Set(VideoProcAmp_WhiteBalance, 5000, VideoProcAmp_Flags_Manual), S_OK);
    ASSERT_EQ(procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
    EXPECT_EQ(value, 5000);
  }
  const auto settledFrame = [&] {
    log_.reset(20);
    EXPECT_TRUE(log_.reaches(20, 30000));
    return log_.frame();
  };
  ASSERT_EQ(amp->Set(VideoProcAmp_Brightness, 0, VideoProcAmp_Flags_Manual), S_OK);
  const double plain = FrameMean(settledFrame());
  ASSERT_EQ(amp->Set(VideoProcAmp_Brightness, 64, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_GT(FrameMean(settledFrame()), plain + 8);
  ASSERT_EQ(amp->Set(VideoProcAmp_Brightness, 0, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_FALSE(FrameGrey(settledFrame()));
  ASSERT_EQ(amp->Set(VideoProcAmp_ColorEnable, 0, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_TRUE(FrameGrey(settledFrame()));
  // Gain reaches the sensor under the manual exposure set above: more gain, a brighter picture.
  long low = 0, high = 0, step = 0, def = 0, caps = 0;
  ASSERT_EQ(amp->GetRange(VideoProcAmp_Gain, &low, &high, &step, &def, &caps), S_OK);
  ASSERT_LT(low, high);
  ASSERT_EQ(amp->Set(VideoProcAmp_Gain, low, VideoProcAmp_Flags_Manual), S_OK);
  const double dim = FrameMean(settledFrame());
  ASSERT_EQ(amp->Set(VideoProcAmp_Gain, high, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_GT(FrameMean(settledFrame()), dim + 8);
  ComPtr<ILumorix> camera = g_.source.as<ILumorix>(LumorixTraits<ILumorix>::iid);
  ASSERT_TRUE(camera);
  uint16_t gain = 0;
  ASSERT_EQ(camera->get_ExpoAGain(&gain), S_OK);
  EXPECT_EQ(long(gain), high);
  // White balance moves the temperature and keeps the tint.
  int32_t temperature = 0, tint = 0;
  ASSERT_EQ(camera->get_TempTint(&temperature, &tint), S_OK);
  const int32_t keptTint = tint == 1200 ? 1300 : 1200;
  ASSERT_EQ(camera->put_TempTint(temperature, keptTint), S_OK);
  ASSERT_EQ(amp->Set(VideoProcAmp_WhiteBalance, 4000, VideoProcAmp_Flags_Manual), S_OK);
  ASSERT_EQ(camera->get_TempTint(&temperature, &tint), S_OK);
  EXPECT_EQ(temperature, 4000);
  EXPECT_EQ(tint, keptTint);
}

// The Exposure page's notification through the filter: put_ExpoCallback reaches the camera, and
// the callback runs, with its context and on a camera thread, when AE moves the exposure.
TEST_F(ModuleStream, ExposureCallbackRunsWhenAutoExposureMovesTheExposure) {
  forgetSettings_ = true;
  ASSERT_NO_FATAL_FAILURE(build(1024, 770));
  log_.reset();
  ASSERT_NO_FATAL_FAILURE(run());
  ASSERT_TRUE(log_.reaches(3, 60000)) << log_.seen() << " frames";
  // A switch of AE itself may notify on the caller's thread; AE's steps notify on the camera's.
  struct Notices {
    DWORD host = GetCurrentThreadId();
    LONG calls = 0;
    LONG cameraCalls = 0;
    static void count(void* context) {
      auto* self = static_cast<Notices*>(context);
      InterlockedIncrement(&self->calls);
      if (GetCurrentThreadId() != self->host) InterlockedIncrement(&self->cameraCalls);
    }
    LONG read(LONG* counter) { return InterlockedCompareExchange(counter, 0, 0); }
  } notices;
  ComPtr<ILumorix> camera = g_.source.as<ILumorix>(LumorixTraits<ILumorix>::iid);
  ASSERT_TRUE(camera);
  uint32_t minUs = 0, maxUs = 0, defUs = 0;
  ASSERT_EQ(camera->get_ExpTimeRange(&minUs, &maxUs, &defUs), S_OK);
  ASSERT_EQ(camera->put_AutoExpoEnable(0), S_OK);
  const uint32_t darkUs = std::max(minUs, defUs / 10);  // away from AE's choice, not black
  ASSERT_EQ(camera->put_ExpoTime(darkUs), S_OK);
  ASSERT_EQ(camera->put_ExpoCallback(&Notices::count, &notices), S_OK);
  ASSERT_EQ(camera->put_AutoExpoEnable(1), S_OK);
  uint32_t us = darkUs;
  const DWORD end = GetTickCount() + 30000;
  while ((notices.read(&notices.cameraCalls) == 0 || us == darkUs) && GetTickCount() < end) {
    Sleep(10);
    ASSERT_EQ(camera->get_ExpoTime(&us), S_OK);
  }
  EXPECT_NE(us, darkUs) << "AE moved the exposure";
  EXPECT_GT(notices.read(&notices.cameraCalls), 0) << "AE's steps notified";
  // Cleared, as the page does when it goes: no call after the clear returns.
  ASSERT_EQ(camera->put_ExpoCallback(nullptr, nullptr), S_OK);
  const LONG atClear = notices.read(&notices.calls);
  ASSERT_EQ(camera->put_AutoExpoEnable(0), S_OK);
  ASSERT_EQ(camera->put_ExpoTime(darkUs), S_OK);
  ASSERT_EQ(camera->put_AutoExpoEnable(1), S_OK);
  log_.reset();
  EXPECT_TRUE(log_.reaches(10, 30000));
  EXPECT_EQ(notices.read(&notices.calls), atClear);
  stop();
}

}  // namespace
