// Every registration of the catalogue end to end through the shipped module: each camera of a sim
// prefix (tools/catalogue_dump --sim-cameras) opened at its place in the module's list under its
// model's name, its caps, every preview size streamed with its still, its standard properties, its
// pages, a restart and an unplug.
#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/lumorix_flags.h"
#include "core/camera_device_record.h"
#include "core/lumorix.h"
#include "dshow/base/kscontrols.h"
#include "dshow/base/mediatypes.h"
#include "models/catalogue_table.h"
#include "platform/utf16.h"
#include "tests/dshow/filter/module_graph.h"
#include "tests/dshow/filter/module_support.h"
#include "tests/dshow/support/page_host.h"

namespace {

constexpr HRESULT kAlreadyConnected = static_cast<HRESULT>(0x80040204);
constexpr HRESULT kWrongState = static_cast<HRESULT>(0x80040227);
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490);
constexpr LONG kStillTrigger = VideoControlFlag_Trigger;
constexpr const wchar_t* kSettingsRoot = L"Software\\Harrowdenmarket\\dshow";

std::optional<uint32_t> SimPrefix() {
  const char* prefix = std::getenv("ZX_SIM_PREFIX");
  if (!prefix || !*prefix) return std::nullopt;
  return static_cast<uint32_t>(std::strtoul(prefix, nullptr, 10));
}

uint32_t RegistrationCount() {
  uint32_t count = 0;
  for (const ModelEntry& entry : ModelTable().entries()) {
    if (!entry.info) break;
    ++count;
  }
  return count;
}

std::string DisplayName(uint32_t slot) {
  return platform::WideToUtf8(ModelTable().entries()[slot].info->displayName);
}

// The prefix's cameras are the catalogue's slots [first, end).
struct PrefixSlots {
  uint32_t first, end;
};
PrefixSlots SlotsOf(uint32_t prefix) {
  const uint32_t first = prefix * kMaxCameraRecords;
  return {first, std::min(RegistrationCount(), first + kMaxCameraRecords)};
}

struct MediaType {
  AM_MEDIA_TYPE* mt = nullptr;
  VIDEO_STREAM_CONFIG_CAPS caps = {};
  ~MediaType() {
    if (mt) DeleteMediaType(mt);
  }
  const BITMAPINFOHEADER& bmi() const {
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader;
  }
};

bool MediaTypesEqual(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b) {
  return a->majortype == b->majortype && a->subtype == b->subtype &&
         a->formattype == b->formattype && a->cbFormat == b->cbFormat &&
         std::equal(a->pbFormat, a->pbFormat + a->cbFormat, b->pbFormat);
}

class Registration : public ::testing::TestWithParam<uint32_t> {
 protected:
  void SetUp() override {
    const std::optional<uint32_t> prefix = SimPrefix();
    if (!prefix) GTEST_SKIP() << "runs in a registration prefix (ZX_SIM_PREFIX)";
    slot_ = *prefix * kMaxCameraRecords + GetParam();
    if (slot_ >= RegistrationCount()) GTEST_SKIP() << "no registration at slot " << slot_;
    entry_ = &ModelTable().entries()[slot_];
    name_ = DisplayName(slot_);
    ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
    ASSERT_TRUE(module_.loaded());
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRoot);  // no test relies on stored settings
    ready_ = true;
    const PrefixSlots slots = SlotsOf(*prefix);
    ASSERT_EQ(module_.enumCameras(), slots.end - slots.first);
    ASSERT_NO_FATAL_FAILURE(expectListedInPlace());
  }
  void TearDown() override {
    if (!ready_) return;
    Within(kStopMs, "releasing the graph", [&] { g_.release(); });
    ShimCommand("unplug " + std::to_string(camera()) + " 0");
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRoot);
    EXPECT_EQ(module_.canUnloadNow(), S_OK);
  }

  uint32_t camera() const { return slot_ % kMaxCameraRecords; }
  const ModelInfo& info() const { return *entry_->info; }
  bool ccd() const { return info().flags & (LUMORIX_FLAG_CCD_KIND1 | LUMORIX_FLAG_CCD_KIND2); }
  bool mono() const { return info().flags & LUMORIX_FLAG_MONO; }
  size_t framesPerSize() const { return ccd() ? 5 : 30; }
  // The chart is read at the last size once auto exposure has had as many frames as a CMOS
  // camera's first size gives it (a CCD camera of one size starts dark).
  size_t framesAtLastSize() const { return std::max<size_t>(framesPerSize(), 20); }
  uint32_t framesSent() {
    return static_cast<uint32_t>(
        std::strtoul(ShimCommand("frames " + std::to_string(camera())).c_str(), nullptr, 10));
  }

  // The module lists the prefix's cameras in the catalogue's order, so this registration's camera
  // is the one at its place; the filter carries its model's name (equal names are told apart only
  // in the device records). Its frames coming from this camera is checked where it streams.
  void expectListedInPlace() {
    index_ = camera();
    ComPtr<IUnknown> filter;
    *filter.out() = module_.openCamera(index_);
    ASSERT_TRUE(filter) << name_ << " did not open at " << index_;
    ComPtr<ILumorixSerialNumber> named =
        filter.as<ILumorixSerialNumber>(LumorixTraits<ILumorixSerialNumber>::iid);
    ASSERT_TRUE(named);
    char name[kCameraNameChars * 3] = {};
    ASSERT_EQ(named->get_Name(name), S_OK);
    EXPECT_EQ(std::string(name), name_) << "camera " << index_;
  }

  void begin() {
    Within(kStopMs, "releasing the graph", [&] { g_.release(); });
    ComPtr<IUnknown> filter;
    *filter.out() = module_.openCamera(index_);
    ASSERT_TRUE(filter) << name_ << " did not open";
    ComPtr<IBaseFilter> source = filter.as<IBaseFilter>(IID_IBaseFilter);
    ASSERT_TRUE(source);
    ASSERT_EQ(g_.begin(source.get()), S_OK);
  }
  void config(const GUID& category, ComPtr<IAMStreamConfig>* out) {
    ASSERT_EQ(g_.builder->FindInterface(&category, &MEDIATYPE_Video, g_.source.get(),
                                        IID_IAMStreamConfig, out->outVoid()),
              S_OK);
  }
  void run() {
    const HRESULT hr = RunGraph(g_);
    ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
  }
  void stop() { EXPECT_EQ(StopGraph(g_), S_OK); }
  // The frames of a run: each one whole frame, stamped from 0, each starting where the last ended.
  void expectWholeContiguousFrames(const Format& format) {
    const std::vector<long> lengths = log_.lengths();
    for (size_t i = 0; i < lengths.size(); ++i)
      ASSERT_EQ(lengths[i], long(format.sizeImage)) << "sample " << i;
    const std::vector<REFERENCE_TIME> starts = log_.starts(), stops = log_.stops();
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts.front(), 0);
    for (size_t i = 1; i < starts.size(); ++i) {
      // Hosts drop or refuse a sample that shares its start with the one before.
      ASSERT_GT(starts[i], starts[i - 1]) << "sample " << i;
      ASSERT_EQ(starts[i], stops[i - 1]) << "sample " << i;
    }
    EXPECT_GT(stops.back(), starts.back());
  }
  // The chart as a frame of format shows it: colours in place, or on a mono camera neutral greys
  // with white above grey.
  void expectChart(const std::vector<uint8_t>& frame, const Format& format) {
    ASSERT_EQ(frame.size(), format.sizeImage);
    if (!mono()) {
      for (const Patch& patch : kChart) ExpectPatch(patch, PatchMean(frame, format, patch));
      return;
    }
    const Colour white = PatchMean(frame, format, kChart[3]);
    const Colour grey = PatchMean(frame, format, kChart[7]);
    EXPECT_EQ(white.red, white.green);
    EXPECT_EQ(white.green, white.blue);
    EXPECT_GT(white.green, grey.green);
  }

  ComScope com_;
  LoadedModule module_;
  uint32_t slot_ = 0;
  uint32_t index_ = 0;
  const ModelEntry* entry_ = nullptr;
  std::string name_;
  bool ready_ = false;
  FrameLog log_, stills_;  // outlive the graph
  CaptureGraph g_;
};

// Step 1: found at its place under its name; "Preview", and "~Still" exactly when it has stills.
TEST_P(Registration, ListsItsPins) {
  ASSERT_NO_FATAL_FAILURE(begin());
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(g_.source->EnumPins(pins.out()), S_OK);
  std::vector<std::wstring> names;
  for (ComPtr<IPin> pin; pins->Next(1, pin.out(), nullptr) == S_OK;) {
    PIN_INFO pinInfo = {};
    ASSERT_EQ(pin->QueryPinInfo(&pinInfo), S_OK);
    if (pinInfo.pFilter) pinInfo.pFilter->Release();
    names.push_back(pinInfo.achName);
  }
  std::vector<std::wstring> expected = {L"Preview"};
  if (info().stillCount) expected.push_back(L"~Still");
  EXPECT_EQ(names, expected);
}

// Step 2: one cap per preview size, each a whole RGB24 frame of that size and its rates.
TEST_P(Registration, CapsDescribeEachPreviewSize) {
  ASSERT_NO_FATAL_FAILURE(begin());
  ComPtr<IAMStreamConfig> config;
  ASSERT_NO_FATAL_FAILURE(this->config(PIN_CATEGORY_CAPTURE, &config));
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(count, int(info().previewCount));
  EXPECT_EQ(size, 128);
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(testing::Message() << "cap " << i);
    MediaType t;
    ASSERT_EQ(config->GetStreamCaps(i, &t.mt, reinterpret_cast<BYTE*>(&t.caps)), S_OK);
    EXPECT_EQ(t.mt->majortype, MEDIATYPE_Video);
    EXPECT_EQ(t.mt->subtype, MEDIASUBTYPE_RGB24);
    ASSERT_EQ(t.mt->formattype, FORMAT_VideoInfo);
    ASSERT_GE(t.mt->cbFormat, sizeof(VIDEOINFOHEADER));
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(t.mt->pbFormat);
    const LONG w = t.bmi().biWidth, h = t.bmi().biHeight;
    EXPECT_EQ(uint32_t(w), info().resolutions[i].width);
    EXPECT_EQ(uint32_t(h), info().resolutions[i].height);
    EXPECT_EQ(t.bmi().biSizeImage, DWORD((w * 3 + 3) & ~3) * DWORD(h));
    EXPECT_EQ(t.mt->lSampleSize, t.bmi().biSizeImage);
    EXPECT_TRUE(t.mt->bFixedSizeSamples);
    const VIDEO_STREAM_CONFIG_CAPS& c = t.caps;
    EXPECT_LE(c.MinFrameInterval, vih->AvgTimePerFrame);
    EXPECT_LE(vih->AvgTimePerFrame, c.MaxFrameInterval);
    ASSERT_GT(vih->AvgTimePerFrame, 0);
    // Neither wrapped nor negative: near the frame's bits at its rate, saturated if it must be.
    const double bits = 8.0 * t.bmi().biSizeImage * 1e7 / double(vih->AvgTimePerFrame);
    EXPECT_GE(double(vih->dwBitRate), 0.99 * std::min(bits, double(INT32_MAX)));
    EXPECT_LE(double(vih->dwBitRate), 1.01 * bits + 1);
    EXPECT_GT(c.MaxBitsPerSecond, 0);
    EXPECT_GE(c.MaxBitsPerSecond, c.MinBitsPerSecond);
    EXPECT_EQ(c.MinOutputSize.cx, w);
    EXPECT_EQ(c.MinOutputSize.cy, h);
    EXPECT_EQ(c.MaxOutputSize.cx, w);
    EXPECT_EQ(c.MaxOutputSize.cy, h);
  }
  struct Beyond {
    int index;
    HRESULT result;
  } const beyond[] = {{count, S_FALSE}, {100000, S_FALSE}, {-1, E_INVALIDARG}};
  for (const Beyond& b : beyond) {
    MediaType t;
    EXPECT_EQ(config->GetStreamCaps(b.index, &t.mt, reinterpret_cast<BYTE*>(&t.caps)), b.result)
        << b.index;
  }
}

// Steps 3 and 4: every preview size chosen unconnected, streamed whole and contiguous from this
// registration's own camera; the chart at the smallest size, where a triggered still shows it too.
TEST_P(Registration, StreamsEveryPreviewSizeAndItsStill) {
  const int count = int(info().previewCount);
  for (int i = 0; i < count; ++i) {
    const bool last = i + 1 == count;
    SCOPED_TRACE(testing::Message()
                 << info().resolutions[i].width << "x" << info().resolutions[i].height);
    ASSERT_NO_FATAL_FAILURE(begin());
    ComPtr<IAMStreamConfig> config;
    ASSERT_NO_FATAL_FAILURE(this->config(PIN_CATEGORY_CAPTURE, &config));
    MediaType chosen, other;
    ASSERT_EQ(config->GetStreamCaps(i, &chosen.mt, reinterpret_cast<BYTE*>(&chosen.caps)), S_OK);
    ASSERT_EQ(
        config->GetStreamCaps((i + 1) % count, &other.mt, reinterpret_cast<BYTE*>(&other.caps)),
        S_OK);
    ASSERT_EQ(config->SetFormat(chosen.mt), S_OK);
    AM_MEDIA_TYPE* now = nullptr;
    ASSERT_EQ(config->GetFormat(&now), S_OK);
    EXPECT_TRUE(MediaTypesEqual(now, chosen.mt));
    DeleteMediaType(now);
    ComPtr<IPin> preview;
    ASSERT_NO_FATAL_FAILURE(FindOutputPin(g_, PIN_CATEGORY_CAPTURE, &preview));
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(preview->EnumMediaTypes(types.out()), S_OK);
    std::vector<AM_MEDIA_TYPE*> offered(4);
    ULONG got = 0;
    types->Next(ULONG(offered.size()), offered.data(), &got);
    ASSERT_EQ(got, 1u) << "exactly the chosen type";
    EXPECT_TRUE(MediaTypesEqual(offered[0], chosen.mt));
    DeleteMediaType(offered[0]);

    const size_t frames = last ? framesAtLastSize() : framesPerSize();
    log_.reset(frames);
    ASSERT_EQ(g_.render(log_), S_OK);
    Format format;
    ASSERT_NO_FATAL_FAILURE(ReadConnectedFormat(g_.grabber.get(), &format));
    EXPECT_EQ(format.sizeImage, chosen.bmi().biSizeImage);
    Format still;
    const bool stills = last && info().stillCount;
    if (stills) {
      stills_.reset(1);
      ASSERT_EQ(g_.renderStill(stills_), S_OK);
      ASSERT_NO_FATAL_FAILURE(ReadConnectedFormat(g_.stillGrabber.get(), &still));
    }
    const uint32_t sent = framesSent();
    ASSERT_NO_FATAL_FAILURE(run());
    EXPECT_TRUE(log_.reaches(frames, 60000)) << log_.seen() << " frames";
    if (count > 1) {
      EXPECT_EQ(config->SetFormat(other.mt), kWrongState);
    }
    if (stills) {
      ComPtr<IPin> stillPin;
      ASSERT_NO_FATAL_FAILURE(FindOutputPin(g_, PIN_CATEGORY_STILL, &stillPin));
      ComPtr<IAMVideoControl> video = g_.source.as<IAMVideoControl>(IID_IAMVideoControl);
      ASSERT_TRUE(video);
      EXPECT_EQ(video->SetMode(stillPin.get(), kStillTrigger), S_OK);
      EXPECT_TRUE(stills_.reaches(1, 30000)) << "no still";
    }
    stop();
    EXPECT_GT(framesSent(), sent) << "the frames came from another camera";
    ASSERT_NO_FATAL_FAILURE(expectWholeContiguousFrames(format));
    if (count > 1) {
      EXPECT_EQ(config->SetFormat(other.mt), kAlreadyConnected);
    }
    if (last) {
      SCOPED_TRACE("the chart");
      expectChart(log_.frame(), format);
    }
    if (stills) {
      SCOPED_TRACE("the still");
      ASSERT_EQ(stills_.seen(), 1u);
      EXPECT_EQ(stills_.lengths().front(), long(still.sizeImage));
      expectChart(stills_.frame(), still);
    }
  }
}

// The kernel-streaming forms of the properties, to compare with the standard ones.
using KsAmpRange = HRESULT (STDMETHODCALLTYPE IVideoProcAmp::*)(long*, long*, long*, long*, long*);
using KsControlRange = HRESULT (STDMETHODCALLTYPE ICameraControl::*)(long*, long*, long*, long*,
                                                                     long*);
const KsAmpRange kKsAmp[] = {&IVideoProcAmp::getRange_Brightness,
                             &IVideoProcAmp::getRange_Contrast,
                             &IVideoProcAmp::getRange_Hue,
                             &IVideoProcAmp::getRange_Saturation,
                             &IVideoProcAmp::getRange_Sharpness,
                             &IVideoProcAmp::getRange_Gamma,
                             &IVideoProcAmp::getRange_ColorEnable,
                             &IVideoProcAmp::getRange_WhiteBalance,
                             &IVideoProcAmp::getRange_BacklightCompensation,
                             &IVideoProcAmp::getRange_Gain};
struct KsControl {
  long property;
  KsControlRange range;
};
const KsControl kKsControl[] = {{CameraControl_Zoom, &ICameraControl::getRange_Zoom},
                                {CameraControl_Exposure, &ICameraControl::getRange_Exposure},
                                {CameraControl_Iris, &ICameraControl::getRange_Iris},
                                {CameraControl_Focus, &ICameraControl::getRange_Focus}};

// One standard property set at its ends and default through one interface, read back; one not
// offered refuses all three calls.
// ks: what the kernel-streaming form answered, where it has the property.
template <class Face>
void ExpectProperty(Face* face, long property, std::optional<HRESULT> ksResult, const long ks[5]) {
  SCOPED_TRACE(testing::Message() << "property " << property);
  long range[5] = {};
  const HRESULT hr =
      face->GetRange(property, &range[0], &range[1], &range[2], &range[3], &range[4]);
  if (ksResult) {
    EXPECT_EQ(*ksResult, hr) << "the kernel-streaming form agrees";
    if (hr == S_OK) {
      EXPECT_TRUE(std::equal(range, range + 5, ks));
    }
  }
  long value = 0, flags = 0;
  if (hr != S_OK) {
    EXPECT_EQ(hr, kNotFound);
    EXPECT_EQ(face->Set(property, 0, 2), kNotFound);
    EXPECT_EQ(face->Get(property, &value, &flags), kNotFound);
    return;
  }
  for (const long wanted : {range[0], range[1], range[3]}) {
    EXPECT_EQ(face->Set(property, wanted, 2 /* manual */), S_OK) << wanted;
    ASSERT_EQ(face->Get(property, &value, &flags), S_OK);
    EXPECT_EQ(value, wanted);
  }
}

// Step 5: every offered standard property through the filter and both pins.
TEST_P(Registration, StandardPropertiesThroughFilterAndPins) {
  ASSERT_NO_FATAL_FAILURE(begin());
  std::vector<ComPtr<IUnknown>> objects;
  objects.push_back(g_.source.as<IUnknown>(IID_IUnknown));
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(g_.source->EnumPins(pins.out()), S_OK);
  for (ComPtr<IPin> pin; pins->Next(1, pin.out(), nullptr) == S_OK;)
    objects.push_back(pin.as<IUnknown>(IID_IUnknown));
  for (const ComPtr<IUnknown>& object : objects) {
    SCOPED_TRACE(&object == &objects[0] ? "filter" : "pin");
    ComPtr<IAMVideoProcAmp> amp = object.as<IAMVideoProcAmp>(IID_IAMVideoProcAmp);
    ComPtr<IVideoProcAmp> ksAmp = object.as<IVideoProcAmp>(IID_IVideoProcAmp);
    ComPtr<IAMCameraControl> control = object.as<IAMCameraControl>(IID_IAMCameraControl);
    ComPtr<ICameraControl> ksControl = object.as<ICameraControl>(IID_ICameraControl);
    ASSERT_TRUE(amp && ksAmp && control && ksControl);
    for (long p = VideoProcAmp_Brightness; p <= VideoProcAmp_Gain; ++p) {
      long ks[5] = {};
      const HRESULT hr = (ksAmp.get()->*kKsAmp[p])(&ks[0], &ks[1], &ks[2], &ks[3], &ks[4]);
      ExpectProperty(amp.get(), p, hr, ks);
    }
    for (long p = CameraControl_Pan; p <= CameraControl_Focus; ++p) {
      long ks[5] = {};
      std::optional<HRESULT> hr;
      for (const KsControl& k : kKsControl)
        if (k.property == p)
          hr = (ksControl.get()->*k.range)(&ks[0], &ks[1], &ks[2], &ks[3], &ks[4]);
      ExpectProperty(control.get(), p, hr, ks);
    }
  }
}

// Step 6: every page the filter and its pins offer, in a property frame's own apartment.
TEST_P(Registration, EveryOfferedPageCreatesAndActivates) {
  ASSERT_NO_FATAL_FAILURE(begin());
  std::thread host([&] {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    size_t pages = 0;
    DrivePagesOf(g_.source.get(), &pages);
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(g_.source->EnumPins(pins.out()), S_OK);
    for (ComPtr<IPin> pin; pins->Next(1, pin.out(), nullptr) == S_OK;)
      DrivePagesOf(pin.get(), &pages);
    EXPECT_GE(pages, 5u) << "the filter offers five pages at least";
    OleUninitialize();
  });
  host.join();
}

// The next of the stream-ending events within timeoutMs: device loss as either code hosts know.
bool AwaitLoss(IMediaEvent* events, DWORD timeoutMs) {
  for (const DWORD begin = GetTickCount(); GetTickCount() - begin < timeoutMs;) {
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    if (events->GetEvent(&code, &p1, &p2, 100) != S_OK) continue;
    events->FreeEventParams(code, p1, p2);
    if (code == EC_ERRORABORT || code == EC_DEVICE_LOST) return true;
  }
  return false;
}

// Step 7: a stop and a second run; an unplug ends the stream, the threads go, and once replugged
// a new graph streams.
TEST_P(Registration, RestartsAndEndsCleanlyOnUnplug) {
  const size_t frames = std::min<size_t>(framesPerSize(), 5);
  ASSERT_NO_FATAL_FAILURE(begin());
  ASSERT_EQ(g_.render(log_), S_OK);
  size_t threads = 0;  // as a stopped graph that has run leaves them
  for (const char* what : {"first run", "second run"}) {
    SCOPED_TRACE(what);
    log_.reset();
    ASSERT_NO_FATAL_FAILURE(run());
    EXPECT_TRUE(log_.reaches(frames, 60000)) << log_.seen() << " frames";
    if (threads) break;
    stop();
    threads = ProcessThreads();
  }
  ASSERT_EQ(ShimCommand("unplug " + std::to_string(camera()) + " 1"), "ok");
  EXPECT_TRUE(AwaitLoss(g_.events.get(), 5000)) << "no EC_ERRORABORT within 5 s";
  stop();
  size_t left = ProcessThreads();
  for (int i = 0; i < 50 && left > threads; ++i, Sleep(40)) left = ProcessThreads();
  EXPECT_LE(left, threads) << "a pin thread is left";
  Within(kStopMs, "releasing the graph", [&] { g_.release(); });
  ASSERT_EQ(ShimCommand("unplug " + std::to_string(camera()) + " 0"), "ok");
  ASSERT_NO_FATAL_FAILURE(begin());
  ASSERT_EQ(g_.render(log_), S_OK);
  log_.reset();
  ASSERT_NO_FATAL_FAILURE(run());
  EXPECT_TRUE(log_.reaches(frames, 60000)) << "replugged: " << log_.seen() << " frames";
  stop();
}

std::string ParamName(const testing::TestParamInfo<uint32_t>& param) {
  char position[8];
  std::snprintf(position, sizeof position, "c%02u", param.param % 100);
  std::string name = position;
  const std::optional<uint32_t> prefix = SimPrefix();
  const uint32_t slot = prefix ? *prefix * kMaxCameraRecords + param.param : 0;
  if (!prefix || slot >= RegistrationCount()) return name;
  name += "_";
  for (const char c : DisplayName(slot)) name += std::isalnum(uint8_t(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Catalogue, Registration, ::testing::Range(0u, kMaxCameraRecords),
                         ParamName);

}  // namespace
