// The standard camera properties mapped onto a camera that keeps what it is given.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <cstring>
#include <string>
#include <vector>

#include "dshow/base/mediatypes.h"
#include "dshow/filter/cdcm.h"
#include "dshow/filter/standard_properties.h"
#include "dshow/pins/cpushpindcm.h"
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
    *a = minUs, *b = maxUs, *c = 10000;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_TempTint(int32_t* t, int32_t* n) override {
    if (tempTintFails) return E_FAIL;
    *t = temperature, *n = tint;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_TempTint(int32_t t, int32_t n) override {
    temperature = t, tint = n;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Chrome(uint32_t g) override { return grey = g, S_OK; }
  HRESULT STDMETHODCALLTYPE get_Chrome(uint32_t* g) override { return *g = grey, S_OK; }
  HRESULT STDMETHODCALLTYPE get_LightFrequency(uint32_t* m) override {
    return lightFrequency ? (*m = mode, S_OK) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_LightFrequency(uint32_t m) override { return mode = m, S_OK; }

  std::vector<std::string> log;
  uint32_t minUs = 100, maxUs = 5000000, time = 1000, ae = 0, grey = 0, mode = 0;
  int32_t temperature = 6503, tint = 1000;
  bool tempTintFails = false, lightFrequency = true;
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

}  // namespace
