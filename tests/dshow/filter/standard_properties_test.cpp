// The standard camera properties mapped onto a camera that keeps what it is given.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dshow/base/mediatypes.h"
#include "dshow/filter/cdcm.h"
#include "dshow/filter/standard_properties.h"
#include "dshow/pins/cpushpindcm.h"
#include "dshow/pins/cstillpindcm.h"
#include "tests/dshow/filter/camera_double.h"
#include "tests/dshow/support/comptr.h"

namespace {

using namespace standard_properties;

// Keeps exposure, AE, tint and colour; logs what it was told in order.
class KeepingCamera : public LumorixNotImplemented<ILumorix> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 2; }
  HRESULT STDMETHODCALLTYPE put_ExpoTime(uint32_t us) override {
    log.push_back("time " + std::to_string(us));
    if (us < minUs || us > maxUs) return E_INVALIDARG;
    time = us;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ExpoTime(uint32_t* us) override { return *us = time, S_OK; }
  HRESULT STDMETHODCALLTYPE put_AutoExpoEnable(uint32_t on) override {
    log.push_back("ae " + std::to_string(on));
    ae = on;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_AutoExpoEnable(uint32_t* on) override { return *on = ae, S_OK; }
  HRESULT STDMETHODCALLTYPE get_ExpTimeRange(uint32_t* a, uint32_t* b, uint32_t* c) override {
    *a = minUs, *b = maxUs, *c = defaultUs;
    return S_OK;
  }
  // Brightness, hue, saturation and the temperature are colour settings: a grey camera refuses
  // them as the camera object does.
  HRESULT STDMETHODCALLTYPE put_Brightness(int32_t v) override { return keep(true, brightness, v); }
  HRESULT STDMETHODCALLTYPE get_Brightness(int32_t* v) override {
    return give(true, brightness, v);
  }
  HRESULT STDMETHODCALLTYPE put_Hue(int32_t v) override { return keep(true, hue, v); }
  HRESULT STDMETHODCALLTYPE get_Hue(int32_t* v) override { return give(true, hue, v); }
  HRESULT STDMETHODCALLTYPE put_Saturation(uint32_t v) override {
    return keep(true, saturation, int32_t(v));
  }
  HRESULT STDMETHODCALLTYPE get_Saturation(uint32_t* v) override {
    int32_t s = 0;
    const HRESULT hr = give(true, saturation, &s);
    if (v) *v = uint32_t(s);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE put_Contrast(int32_t v) override { return keep(false, contrast, v); }
  HRESULT STDMETHODCALLTYPE get_Contrast(int32_t* v) override { return give(false, contrast, v); }
  HRESULT STDMETHODCALLTYPE put_Gamma(int32_t v) override { return keep(false, gamma, v); }
  HRESULT STDMETHODCALLTYPE get_Gamma(int32_t* v) override { return give(false, gamma, v); }
  HRESULT STDMETHODCALLTYPE get_TempTint(int32_t* t, int32_t* n) override {
    if (isGrey) return E_NOTIMPL;
    if (tempTintFails) return E_FAIL;
    *t = temperature, *n = tint;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_TempTint(int32_t t, int32_t n) override {
    if (isGrey) return E_NOTIMPL;
    temperature = t, tint = n;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Chrome(uint32_t g) override {
    return isGrey ? E_NOTIMPL : (grey = g, S_OK);
  }
  HRESULT STDMETHODCALLTYPE get_Chrome(uint32_t* g) override { return *g = grey, S_OK; }
  HRESULT STDMETHODCALLTYPE get_LightFrequency(uint32_t* m) override {
    return lightFrequency ? (*m = mode, S_OK) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_LightFrequency(uint32_t m) override { return mode = m, S_OK; }

  std::vector<std::string> log;
  uint32_t minUs = 100, maxUs = 5000000, defaultUs = 10000, time = 1000, ae = 0, grey = 0, mode = 0;
  int32_t temperature = 6503, tint = 1000;
  int32_t brightness = 0, hue = 0, saturation = 128, contrast = 0, gamma = 100;
  bool tempTintFails = false, lightFrequency = true, isGrey = false;

 private:
  HRESULT keep(bool colour, int32_t& field, int32_t v) {
    if (colour && isGrey) return E_NOTIMPL;
    field = v;
    return S_OK;
  }
  HRESULT give(bool colour, int32_t field, int32_t* v) {
    if (colour && isGrey) return E_NOTIMPL;
    if (!v) return E_POINTER;
    *v = field;
    return S_OK;
  }
};

TEST(StandardProperties, Log2ConversionsBothWays) {
  struct ToLog2 {
    uint32_t us;
    long v;
  } toLog2[] = {{1, -19}, {1000, -9}, {1000000, 0}, {1000001, 1}, {2048000001, 11}};
  for (const ToLog2& c : toLog2) EXPECT_EQ(log2FromMicroseconds(c.us), c.v) << c.us;
  struct ToUs {
    long v;
    HRESULT hr;
    uint32_t us;
  } toUs[] = {{-19, S_OK, 1},     {-20, S_OK, 0},          {-40, S_OK, 0},
              {-1, S_OK, 500000}, {12, S_OK, 4096000000u}, {13, E_INVALIDARG, 7}};
  for (const ToUs& c : toUs) {
    uint32_t us = 7;
    EXPECT_EQ(microsecondsFromLog2(c.v, &us), c.hr) << c.v;
    EXPECT_EQ(us, c.us) << c.v;
  }
}

// An announced maximum must be settable, and a refused manual time must not be dropped.
TEST(StandardProperties, ExposureRangeEndsAreSettableAndRefusalsReturned) {
  KeepingCamera cam;
  long min = 0, max = 0, step = 0, def = 0, caps = 0;
  ASSERT_EQ(exposureGetRange(&cam, true, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(max, 2);
  EXPECT_EQ(caps, kCapsBoth);
  EXPECT_EQ(exposureSet(&cam, max, kFlagManual), S_OK);
  EXPECT_EQ(exposureSet(&cam, min, kFlagManual), S_OK);
  cam.ae = 1;
  cam.log.clear();
  EXPECT_EQ(exposureSet(&cam, 3, kFlagManual), E_INVALIDARG);
  EXPECT_EQ(cam.ae, 1u);
  cam.log.clear();
  EXPECT_EQ(exposureSet(&cam, 0, kFlagAuto), S_OK);
  EXPECT_EQ(cam.log, (std::vector<std::string>{"time 1000000", "ae 1"}));
  cam.log.clear();
  EXPECT_EQ(exposureSetMicroseconds(&cam, 0, kFlagAuto), S_OK);
  EXPECT_EQ(cam.log, (std::vector<std::string>{"ae 1"}));
}

// Both ends and the default of the announced range can be set, also where the default is the
// maximum and lies between two powers of two (one CCD class: 212..77,503 us, default 77,503).
TEST(StandardProperties, AnnouncedExposureEndsAndDefaultAreSettable) {
  struct Case {
    uint32_t minUs, maxUs, defaultUs;
    long min, max, defaultValue;
  } cases[] = {
      {100, 5000000, 10000, -13, 2, -6},
      {212, 77503, 77503, -12, -4, -4},
      {254, 27649, 27649, -11, -6, -6},
      {1000, 1000000, 1000000, -9, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.minUs << ".." << c.maxUs << " default " << c.defaultUs);
    KeepingCamera cam;
    cam.minUs = c.minUs, cam.maxUs = c.maxUs, cam.defaultUs = c.defaultUs;
    long range[5] = {};
    ASSERT_EQ(exposureGetRange(&cam, true, &range[0], &range[1], &range[2], &range[3], &range[4]),
              S_OK);
    EXPECT_EQ(range[0], c.min);
    EXPECT_EQ(range[1], c.max);
    EXPECT_EQ(range[3], c.defaultValue);
    for (const long v : {range[0], range[1], range[3]}) EXPECT_EQ(exposureSet(&cam, v, 2), S_OK);
  }
}

// A grey camera offers none of its colour settings: GetRange, Get and Set all refuse them, as a
// property nobody offers; the others stay.
TEST(StandardProperties, AGreyCameraOffersNoColourSettings) {
  struct Case {
    long property;
    bool offeredWhenGrey;
  } cases[] = {{0, false}, {1, true},  {2, false}, {3, false},
               {5, true},  {6, false}, {7, false}, {13, true}};
  for (const bool grey : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << (grey ? "grey" : "colour") << " property " << c.property);
      KeepingCamera cam;
      cam.isGrey = grey;
      const HRESULT expected = !grey || c.offeredWhenGrey ? S_OK : E_PROP_ID_UNSUPPORTED;
      long range[5] = {}, value = 0, flags = 0;
      EXPECT_EQ(
          procAmpGetRange(&cam, c.property, &range[0], &range[1], &range[2], &range[3], &range[4]),
          expected);
      EXPECT_EQ(procAmpGet(&cam, c.property, &value, &flags), expected);
      EXPECT_EQ(procAmpSet(&cam, c.property, expected == S_OK ? range[3] : 0, 2), expected);
    }
  }
}

TEST(StandardProperties, ProcAmpMappings) {
  KeepingCamera cam;
  long value = 0, flags = 0;
  EXPECT_EQ(procAmpSet(&cam, 7, 5000, kFlagManual), S_OK);
  EXPECT_EQ(procAmpGet(&cam, 7, &value, &flags), S_OK);
  EXPECT_EQ(value, 5000);
  EXPECT_EQ(flags, kFlagManual);
  EXPECT_EQ(cam.tint, 1000);
  cam.tempTintFails = true;
  EXPECT_EQ(procAmpSet(&cam, 7, 4000, kFlagManual), E_FAIL);
  EXPECT_EQ(cam.temperature, 5000);
  EXPECT_EQ(procAmpSet(&cam, 6, 0, kFlagManual), S_OK);
  EXPECT_EQ(cam.grey, 1u);
  struct PowerLine {
    long value, flags;
    HRESULT hr;
    uint32_t mode;
  } lines[] = {{0, 2, S_OK, 2},         {1, 2, S_OK, 1},          {2, 2, S_OK, 0},
               {3, 2, E_INVALIDARG, 0}, {-1, 2, E_INVALIDARG, 0}, {1, 1, E_PROP_ID_UNSUPPORTED, 0}};
  for (const PowerLine& c : lines) {
    cam.mode = 0;
    EXPECT_EQ(procAmpSet(&cam, 13, c.value, c.flags), c.hr) << c.value;
    EXPECT_EQ(cam.mode, c.mode) << c.value;
  }
  cam.lightFrequency = false;
  EXPECT_EQ(procAmpGet(&cam, 13, &value, &flags), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(procAmpSet(&cam, 13, 0, 2), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(procAmpGetRange(&cam, 13, &value, &value, &value, &value, &value),
            E_PROP_ID_UNSUPPORTED);
}

// Each fixed size is its own output range: a host picking within it must find the size.
TEST(StandardProperties, StreamCapsGiveEachSizeAsItsOutputRange) {
  ComScope com;
  DoubleProvider provider({CameraSetup{}});
  HRESULT hr = S_OK;
  CDcm* filter = new CDcm(0, &hr);
  filter->NonDelegatingAddRef();
  IAMStreamConfig* config = nullptr;
  ASSERT_EQ(static_cast<IPin*>(filter->previewPin())
                ->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config)),
            S_OK);
  VIDEO_STREAM_CONFIG_CAPS caps = {};
  AM_MEDIA_TYPE* mt = nullptr;
  ASSERT_EQ(config->GetStreamCaps(1, &mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
  EXPECT_EQ(caps.MaxOutputSize.cx, 320);
  EXPECT_EQ(caps.MaxOutputSize.cy, 240);
  EXPECT_EQ(caps.MinOutputSize.cx, 320);
  DeleteMediaType(mt);
  config->Release();
  filter->NonDelegatingRelease();
}

// The kernel-streaming form answers exactly as the standard one, on the filter and a pin.
TEST(StandardProperties, KernelStreamingFormAgreesAndLeavesUnsupportedUntouched) {
  ComScope com;
  DoubleProvider provider({CameraSetup{}});
  HRESULT hr = S_OK;
  CDcm* filter = new CDcm(0, &hr);
  filter->NonDelegatingAddRef();
  for (IUnknown* object : {static_cast<IUnknown*>(static_cast<ILumorix*>(filter)),
                           static_cast<IUnknown*>(static_cast<IPin*>(filter->previewPin()))}) {
    IAMVideoProcAmp* amp = nullptr;
    IVideoProcAmp* ks = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&amp)), S_OK);
    ASSERT_EQ(object->QueryInterface(IID_IVideoProcAmp, reinterpret_cast<void**>(&ks)), S_OK);
    long a[5] = {}, b[5] = {};
    EXPECT_EQ(amp->GetRange(0, &a[0], &a[1], &a[2], &a[3], &a[4]), S_OK);
    EXPECT_EQ(ks->getRange_Brightness(&b[0], &b[1], &b[2], &b[3], &b[4]), S_OK);
    EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
    EXPECT_EQ(a[0], -64);
    EXPECT_EQ(amp->Get(0, &a[0], &a[1]), ks->get_Brightness(&b[0], &b[1]));
    long sentinel[5] = {7, 7, 7, 7, 7};
    EXPECT_EQ(ks->getRange_DigitalMultiplier(&sentinel[0], &sentinel[1], &sentinel[2], &sentinel[3],
                                             &sentinel[4]),
              E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(ks->get_WhiteBalanceComponent(&sentinel[0], &sentinel[1], &sentinel[2]),
              E_PROP_ID_UNSUPPORTED);
    for (long v : sentinel) EXPECT_EQ(v, 7);
    amp->Release();
    ks->Release();
  }
  filter->NonDelegatingRelease();
}

// --- One table of the standard properties through the four interfaces, on the filter and both
// pins, against a camera that keeps every value they map to and refuses values outside its ranges.

class PropertyCamera : public KeepingCamera, public LumorixNotImplemented<ILumorixStillImage> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = riid == IID_ILumorixStillImage ? static_cast<ILumorixStillImage*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 2; }
  uint32_t STDMETHODCALLTYPE get_StillResolutionNumber() override { return 1; }
  HRESULT STDMETHODCALLTYPE put_Brightness(int32_t v) override { return keep(brightness, v, 64); }
  HRESULT STDMETHODCALLTYPE get_Brightness(int32_t* v) override { return *v = brightness, S_OK; }
  HRESULT STDMETHODCALLTYPE put_Contrast(int32_t v) override { return keep(contrast, v, 100); }
  HRESULT STDMETHODCALLTYPE get_Contrast(int32_t* v) override { return *v = contrast, S_OK; }
  HRESULT STDMETHODCALLTYPE put_Hue(int32_t v) override { return keep(hue, v, 180); }
  HRESULT STDMETHODCALLTYPE get_Hue(int32_t* v) override { return *v = hue, S_OK; }
  HRESULT STDMETHODCALLTYPE put_Gamma(int32_t v) override {
    return v < 20 ? E_INVALIDARG : keep(gamma, v, 180);
  }
  HRESULT STDMETHODCALLTYPE get_Gamma(int32_t* v) override { return *v = gamma, S_OK; }
  HRESULT STDMETHODCALLTYPE put_Saturation(uint32_t v) override {
    return v > 255 ? E_INVALIDARG : (saturation = v, S_OK);
  }
  HRESULT STDMETHODCALLTYPE get_Saturation(uint32_t* v) override { return *v = saturation, S_OK; }
  HRESULT STDMETHODCALLTYPE put_ExpoAGain(uint16_t v) override {
    return v < 100 || v > 500 ? E_INVALIDARG : (gain = v, S_OK);
  }
  HRESULT STDMETHODCALLTYPE get_ExpoAGain(uint16_t* v) override { return *v = gain, S_OK; }
  HRESULT STDMETHODCALLTYPE get_ExpoAGainRange(uint16_t* a, uint16_t* b, uint16_t* c) override {
    *a = 100, *b = 500, *c = 100;
    return S_OK;
  }

  int32_t brightness = 0, contrast = 0, hue = 0, gamma = 100;
  uint32_t saturation = 128;
  uint16_t gain = 100;

 private:
  static HRESULT keep(int32_t& to, int32_t v, int32_t limit) {
    if (v < -limit || v > limit) return E_INVALIDARG;
    to = v;
    return S_OK;
  }
};

// A camera that answers nothing: the fixed ranges must not need one. Its settings fail rather than
// say they are missing (a missing one is not offered).
class SilentCamera : public LumorixNotImplemented<ILumorix> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 2; }
  HRESULT STDMETHODCALLTYPE get_Brightness(int32_t*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE get_Contrast(int32_t*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE get_Hue(int32_t*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE get_Saturation(uint32_t*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE get_Gamma(int32_t*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE get_TempTint(int32_t*, int32_t*) override { return E_FAIL; }
};

// Opens the test's camera object for the filter.
class LendingProvider : public CameraProvider {
 public:
  explicit LendingProvider(ILumorix* camera) : camera_(camera) {
    model_.displayName = L"Lent Camera";
    SetCameraProvider(this);
  }
  ~LendingProvider() override { SetCameraProvider(nullptr); }
  uint32_t enumerate(CameraDeviceRecord (&records)[kMaxCameraRecords]) override {
    records[0].model.infoV1 = &model_;
    return 1;
  }
  std::unique_ptr<FilterCamera> open(const WCHAR16*) override { return lend(); }
  std::unique_ptr<FilterCamera> openFirst(WCHAR16) override { return lend(); }

 private:
  struct Lent : FilterCamera {
    explicit Lent(ILumorix* c) : camera(c) {}
    ILumorix* lumorix() override { return camera; }
    HRESULT start() override { return S_OK; }
    HRESULT stop() override { return S_OK; }
    HRESULT PullFrameForPin(uint8_t*, uint32_t, HANDLE) override { return S_FALSE; }
    HRESULT SnapForPin(uint8_t*, uint32_t, HANDLE) override { return S_FALSE; }
    ILumorix* camera;
  };
  std::unique_ptr<FilterCamera> lend() { return std::make_unique<Lent>(camera_); }
  ILumorix* camera_;
  ModelInfoV1 model_{};
};

struct OpenFilter {
  explicit OpenFilter(ILumorix* camera) : provider(camera) {
    HRESULT hr = S_OK;
    filter = new CDcm(0, &hr);
    filter->NonDelegatingAddRef();
  }
  ~OpenFilter() { filter->NonDelegatingRelease(); }
  std::vector<IUnknown*> objects() {
    std::vector<IUnknown*> all = {static_cast<ILumorix*>(filter),
                                  static_cast<IPin*>(filter->previewPin())};
    if (filter->stillPin()) all.push_back(static_cast<IPin*>(filter->stillPin()));
    return all;
  }
  LendingProvider provider;
  CDcm* filter = nullptr;
};

enum class Form { Amp, KsAmp, Control, KsControl };
// Camera-control properties in the tables, apart from the video-amplifier numbers.
constexpr long kControl = 100;
constexpr long kExposure = kControl + kPropertyExposure;
constexpr long kExposureRelative = kControl + 5;  // the kernel-streaming form's own property

using KsGet = HRESULT (STDMETHODCALLTYPE IVideoProcAmp::*)(long*, long*);
using KsPut = HRESULT (STDMETHODCALLTYPE IVideoProcAmp::*)(long, long);
using KsRange = HRESULT (STDMETHODCALLTYPE IVideoProcAmp::*)(long*, long*, long*, long*, long*);
struct KsAmpMembers {
  long property;
  KsGet get;
  KsPut put;
  KsRange range;
};
#define ZX_KS(id, name) \
  { id, &IVideoProcAmp::get_##name, &IVideoProcAmp::put_##name, &IVideoProcAmp::getRange_##name }
const KsAmpMembers kKsAmp[] = {
    ZX_KS(0, Brightness),  ZX_KS(1, Contrast),           ZX_KS(2, Hue),
    ZX_KS(3, Saturation),  ZX_KS(4, Sharpness),          ZX_KS(5, Gamma),
    ZX_KS(6, ColorEnable), ZX_KS(7, WhiteBalance),       ZX_KS(8, BacklightCompensation),
    ZX_KS(9, Gain),        ZX_KS(13, PowerlineFrequency)};
#undef ZX_KS

// One property reached through one interface of one object.
class Through {
 public:
  Through(IUnknown* object, Form form, long property) : form_(form), property_(property) {
    const IID& iid = form == Form::Amp       ? IID_IAMVideoProcAmp
                     : form == Form::KsAmp   ? IID_IVideoProcAmp
                     : form == Form::Control ? IID_IAMCameraControl
                                             : IID_ICameraControl;
    EXPECT_EQ(object->QueryInterface(iid, &face_), S_OK);
    for (const KsAmpMembers& m : kKsAmp)
      if (m.property == property) ks_ = &m;
  }
  ~Through() {
    if (face_) static_cast<IUnknown*>(face_)->Release();
  }
  HRESULT range(long r[5]) {
    switch (form_) {
      case Form::Amp:
        return amp()->GetRange(property_, &r[0], &r[1], &r[2], &r[3], &r[4]);
      case Form::KsAmp:
        return (ksAmp()->*ks_->range)(&r[0], &r[1], &r[2], &r[3], &r[4]);
      case Form::Control:
        return control()->GetRange(property_ - kControl, &r[0], &r[1], &r[2], &r[3], &r[4]);
      case Form::KsControl:
        return property_ == kExposureRelative
                   ? ksControl()->getRange_ExposureRelative(&r[0], &r[1], &r[2], &r[3], &r[4])
                   : ksControl()->getRange_Exposure(&r[0], &r[1], &r[2], &r[3], &r[4]);
    }
    return E_FAIL;
  }
  HRESULT get(long* value, long* flags) {
    switch (form_) {
      case Form::Amp:
        return amp()->Get(property_, value, flags);
      case Form::KsAmp:
        return (ksAmp()->*ks_->get)(value, flags);
      case Form::Control:
        return control()->Get(property_ - kControl, value, flags);
      case Form::KsControl:
        return property_ == kExposureRelative ? ksControl()->get_ExposureRelative(value, flags)
                                              : ksControl()->get_Exposure(value, flags);
    }
    return E_FAIL;
  }
  HRESULT set(long value, long flags) {
    switch (form_) {
      case Form::Amp:
        return amp()->Set(property_, value, flags);
      case Form::KsAmp:
        return (ksAmp()->*ks_->put)(value, flags);
      case Form::Control:
        return control()->Set(property_ - kControl, value, flags);
      case Form::KsControl:
        return property_ == kExposureRelative ? ksControl()->put_ExposureRelative(value, flags)
                                              : ksControl()->put_Exposure(value, flags);
    }
    return E_FAIL;
  }

 private:
  IAMVideoProcAmp* amp() { return static_cast<IAMVideoProcAmp*>(face_); }
  IVideoProcAmp* ksAmp() { return static_cast<IVideoProcAmp*>(face_); }
  IAMCameraControl* control() { return static_cast<IAMCameraControl*>(face_); }
  ICameraControl* ksControl() { return static_cast<ICameraControl*>(face_); }
  Form form_;
  long property_;
  void* face_ = nullptr;
  const KsAmpMembers* ks_ = nullptr;
};

std::vector<Form> FormsOf(long property) {
  if (property == kExposureRelative) return {Form::KsControl};
  if (property == kExposure) return {Form::Control, Form::KsControl};
  return {Form::Amp, Form::KsAmp};
}

struct PropertyRow {
  const char* name;
  long property;
  long range[5];      // min, max, step, default, caps
  bool autoExposure;  // the camera's automatic exposure is on
  long set, setFlags;
  long read, readFlags;
  long (*reached)(const PropertyCamera&);  // the camera value the set reached
  long reachedValue;
};

// log2 ends of the camera's 100 us .. 5 s, default 10 ms.
const PropertyRow kPropertyRows[] = {
    {"brightness",
     0,
     {-64, 64, 1, 0, 2},
     false,
     10,
     2,
     10,
     2,
     [](const PropertyCamera& c) { return long(c.brightness); },
     10},
    {"contrast",
     1,
     {-100, 100, 1, 0, 2},
     false,
     -20,
     2,
     -20,
     2,
     [](const PropertyCamera& c) { return long(c.contrast); },
     -20},
    {"hue",
     2,
     {-180, 180, 1, 0, 2},
     false,
     45,
     2,
     45,
     2,
     [](const PropertyCamera& c) { return long(c.hue); },
     45},
    {"saturation",
     3,
     {0, 255, 1, 128, 2},
     false,
     200,
     2,
     200,
     2,
     [](const PropertyCamera& c) { return long(c.saturation); },
     200},
    {"gamma",
     5,
     {20, 180, 1, 100, 2},
     false,
     150,
     2,
     150,
     2,
     [](const PropertyCamera& c) { return long(c.gamma); },
     150},
    {"colour off",
     6,
     {0, 1, 1, 1, 2},
     false,
     0,
     2,
     0,
     2,
     [](const PropertyCamera& c) { return long(c.grey); },
     1},
    {"colour on",
     6,
     {0, 1, 1, 1, 2},
     false,
     1,
     2,
     1,
     2,
     [](const PropertyCamera& c) { return long(c.grey); },
     0},
    {"white balance",
     7,
     {2000, 15000, 1, 6503, 3},
     false,
     5000,
     2,
     5000,
     2,
     [](const PropertyCamera& c) { return long(c.temperature); },
     5000},
    {"gain",
     9,
     {100, 500, 1, 100, 3},
     false,
     300,
     2,
     300,
     2,
     [](const PropertyCamera& c) { return long(c.gain); },
     300},
    {"gain under auto exposure",
     9,
     {100, 500, 1, 100, 3},
     true,
     300,
     2,
     300,
     1,
     [](const PropertyCamera& c) { return long(c.gain); },
     300},
    {"60 Hz",
     13,
     {0, 2, 1, 0, 2},
     false,
     2,
     2,
     2,
     2,
     [](const PropertyCamera& c) { return long(c.mode); },
     0},
    {"mains off",
     13,
     {0, 2, 1, 0, 2},
     false,
     0,
     2,
     0,
     2,
     [](const PropertyCamera& c) { return long(c.mode); },
     2},
    {"exposure",
     kExposure,
     {-13, 2, 1, -6, 3},
     false,
     -5,
     2,
     -5,
     2,
     [](const PropertyCamera& c) { return long(c.time); },
     31250},
    {"automatic exposure",
     kExposure,
     {-13, 2, 1, -6, 3},
     false,
     -5,
     1,
     -5,
     1,
     [](const PropertyCamera& c) { return long(c.ae); },
     1},
    {"exposure in us",
     kExposureRelative,
     {100, 5000000, 1, 10000, 3},
     false,
     31250,
     2,
     31250,
     2,
     [](const PropertyCamera& c) { return long(c.time); },
     31250},
};

// Every mapped property's range, set, read-back and the camera value it reaches, through each
// interface that carries it, on the filter and both pins.
TEST(StandardPropertyTable, EachPropertyThroughEveryInterfaceOnEveryObject) {
  ComScope com;
  for (const PropertyRow& row : kPropertyRows) {
    for (Form form : FormsOf(row.property)) {
      for (size_t which = 0; which < 3; ++which) {
        SCOPED_TRACE(testing::Message()
                     << row.name << " form " << int(form) << " object " << which);
        PropertyCamera camera;
        camera.ae = row.autoExposure ? 1 : 0;
        OpenFilter open(&camera);
        ASSERT_EQ(open.objects().size(), 3u);
        Through through(open.objects()[which], form, row.property);
        long range[5] = {};
        EXPECT_EQ(through.range(range), S_OK);
        for (int k = 0; k < 5; ++k) EXPECT_EQ(range[k], row.range[k]) << "range " << k;
        EXPECT_EQ(through.set(row.set, row.setFlags), S_OK);
        EXPECT_EQ(row.reached(camera), row.reachedValue);
        long value = -99, flags = -99;
        EXPECT_EQ(through.get(&value, &flags), S_OK);
        EXPECT_EQ(value, row.read);
        EXPECT_EQ(flags, row.readFlags);
        EXPECT_EQ(camera.tint, 1000) << "the tint is kept";
      }
    }
  }
}

// A null value where the camera's getter needs one is the camera's E_POINTER; where the value
// is mapped it is asked for only when wanted, and the flags still come.
TEST(StandardPropertyTable, NullValuesAndRefusedValues) {
  ComScope com;
  struct NullRow {
    long property;
    HRESULT result;
  } const nulls[] = {{0, E_POINTER},
                     {1, E_POINTER},
                     {2, E_POINTER},
                     {3, E_POINTER},
                     {5, E_POINTER},
                     {6, S_OK},
                     {7, S_OK},
                     {9, S_OK},
                     {13, S_OK},
                     {kExposure, S_OK},
                     {kExposureRelative, S_OK}};
  struct RefusedRow {
    long property;
    long value;
    HRESULT result;
  } const refused[] = {
      {0, 65, E_INVALIDARG},         {1, -101, E_INVALIDARG},      {2, 181, E_INVALIDARG},
      {3, 256, E_INVALIDARG},        {5, 19, E_INVALIDARG},        {9, 501, E_INVALIDARG},
      {13, 3, E_INVALIDARG},         {13, -1, E_INVALIDARG},       {kExposure, 13, E_INVALIDARG},
      {4, 1, E_PROP_ID_UNSUPPORTED}, {8, 1, E_PROP_ID_UNSUPPORTED}};
  PropertyCamera camera;
  OpenFilter open(&camera);
  for (IUnknown* object : open.objects()) {
    for (const NullRow& row : nulls) {
      for (Form form : FormsOf(row.property)) {
        SCOPED_TRACE(testing::Message() << "null " << row.property << " form " << int(form));
        Through through(object, form, row.property);
        long flags = -99;
        EXPECT_EQ(through.get(nullptr, &flags), row.result);
        if (row.result == S_OK) {
          EXPECT_EQ(flags, kFlagManual);
        }
      }
    }
    for (const RefusedRow& row : refused) {
      for (Form form : FormsOf(row.property)) {
        SCOPED_TRACE(testing::Message() << "refused " << row.property << " form " << int(form));
        const long before[] = {camera.brightness, camera.contrast,         camera.hue,
                               camera.gamma,      long(camera.saturation), camera.gain,
                               long(camera.mode), long(camera.time)};
        Through through(object, form, row.property);
        EXPECT_EQ(through.set(row.value, kFlagManual), row.result);
        const long after[] = {camera.brightness, camera.contrast,         camera.hue,
                              camera.gamma,      long(camera.saturation), camera.gain,
                              long(camera.mode), long(camera.time)};
        EXPECT_TRUE(std::equal(before, before + 8, after)) << "nothing changes";
      }
    }
  }
}

// The fixed ranges are the filter's own and need no answer from the camera; the camera's own
// ranges (gain) and what it may lack (mains frequency) are refused with it.
TEST(StandardPropertyTable, FixedRangesNeedNoCamera) {
  ComScope com;
  SilentCamera camera;
  OpenFilter open(&camera);
  struct Row {
    long property;
    HRESULT result;
    long caps;
  } const rows[] = {{0, S_OK, 2}, {1, S_OK, 2},       {2, S_OK, 2},
                    {3, S_OK, 2}, {5, S_OK, 2},       {6, S_OK, 2},
                    {7, S_OK, 3}, {9, E_NOTIMPL, -1}, {13, E_PROP_ID_UNSUPPORTED, -1}};
  for (IUnknown* object : open.objects()) {
    for (const Row& row : rows) {
      for (Form form : FormsOf(row.property)) {
        SCOPED_TRACE(testing::Message() << row.property << " form " << int(form));
        Through through(object, form, row.property);
        long range[5] = {-1, -1, -1, -1, -1};
        EXPECT_EQ(through.range(range), row.result);
        if (row.result == S_OK) {
          EXPECT_EQ(range[4], row.caps);
          EXPECT_EQ(range[0], procAmpRange(row.property)->min);
          EXPECT_EQ(range[1], procAmpRange(row.property)->max);
          EXPECT_EQ(range[3], procAmpRange(row.property)->defaultValue);
        }
      }
    }
  }
}

}  // namespace
