// The camera interface family through the filter and its pins, against a recording camera.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "core/testing/recording_lumorix.h"
#include "dshow/filter/cdcm.h"
#include "dshow/pins/cpushpindcm.h"
#include "dshow/pins/cstillpindcm.h"
#include "tests/core/lumorix_drive.h"
#include "tests/dshow/filter/camera_double.h"
#include "tests/dshow/support/comptr.h"

namespace {

class RecordingCamera : public FilterCamera {
 public:
  ILumorix* lumorix() override { return &recorder; }
  HRESULT start() override { return S_OK; }
  HRESULT stop() override { return S_OK; }
  HRESULT PullFrameForPin(uint8_t*, uint32_t, HANDLE) override { return S_FALSE; }
  HRESULT SnapForPin(uint8_t*, uint32_t, HANDLE) override { return S_FALSE; }
  RecordingLumorix recorder;
};

class RecordingProvider : public CameraProvider {
 public:
  RecordingProvider() {
    model_.displayName = L"Recording Camera";
    SetCameraProvider(this);
  }
  ~RecordingProvider() override { SetCameraProvider(nullptr); }
  uint32_t enumerate(CameraDeviceRecord (&records)[kMaxCameraRecords]) override {
    records[0].model.infoV1 = &model_;
    return 1;
  }
  std::unique_ptr<FilterCamera> open(const WCHAR16*) override { return make(); }
  std::unique_ptr<FilterCamera> openFirst(WCHAR16) override { return make(); }
  RecordingCamera* last = nullptr;

 private:
  std::unique_ptr<FilterCamera> make() {
    auto camera = std::make_unique<RecordingCamera>();
    last = camera.get();
    return camera;
  }
  ModelInfoV1 model_{};
};

// The calls the filter answers itself; every other one must reach the camera untouched.
const std::set<std::string> kOwnBodies = {"put_VignetteAmountInt",
                                          "get_VignetteAmountInt",
                                          "put_VignetteMidPointInt",
                                          "get_VignetteMidPointInt",
                                          "put_BitDepth",
                                          "put_Roi",
                                          "LoadPreset",
                                          "get_Name",
                                          "put_StillSize",
                                          "put_eStillSize",
                                          "get_Index",
                                          "Reserved"};

// The pointer arguments the filter checks itself, so a null one fails even without a camera.
const std::set<std::string> kCheckedPointers = {"get_AutoExpoEnable",
                                                "get_AutoExpoTarget",
                                                "put_Rect",
                                                "get_Rect",
                                                "get_AeWindowMark",
                                                "get_VignetteEnable",
                                                "get_VignetteAmount",
                                                "get_VignetteMidPoint",
                                                "put_WhiteBalanceGain",
                                                "get_WhiteBalanceGain",
                                                "get_Hue",
                                                "get_Saturation",
                                                "get_Brightness",
                                                "get_ExpoTime",
                                                "get_ExpoAGain",
                                                "put_LevelRange",
                                                "get_LevelRange",
                                                "get_Contrast",
                                                "get_Gamma",
                                                "get_Chrome",
                                                "get_VFlip",
                                                "get_HFlip",
                                                "get_Speed",
                                                "get_LightFrequency",
                                                "get_Skip",
                                                "get_TempTint",
                                                "put_AWBRect",
                                                "get_AWBRect",
                                                "put_AERect",
                                                "get_AERect",
                                                "get_RealExpoTime"};

const std::set<std::string> kZeroWithoutCamera = {
    "get_MaxSpeed",      "get_ResolutionNumber",      "get_MaxBitDepth",
    "get_GrabRetry",     "get_StillResolutionNumber", "get_MaxFrameRate",
    "get_MaxFrameRateOf"};

template <class I>
I* Face(IUnknown* object) {
  void* out = nullptr;
  if (FAILED(object->QueryInterface(LumorixTraits<I>::iid, &out))) return nullptr;
  object->Release();  // the object outlives the test's use of the pointer
  return static_cast<I*>(out);
}

// The same call with every pointer argument null.
template <class I, class R, class... A>
uint64_t DriveNull(I* obj, R (I::*method)(A...)) {
  return ArgBits((obj->*method)(A{}...));
}

struct Holder {
  explicit Holder(uint32_t index = 0) {
    HRESULT hr = S_OK;
    filter = new CDcm(index, &hr);
    filter->NonDelegatingAddRef();
  }
  ~Holder() { filter->NonDelegatingRelease(); }
  IUnknown* object(int which) {
    if (which == 0) return static_cast<ILumorix*>(filter);
    if (which == 1) return static_cast<IPin*>(filter->previewPin());
    return static_cast<IPin*>(filter->stillPin());
  }
  CDcm* filter;
};

class ForwardingTest : public ::testing::TestWithParam<int> {
 protected:
  ComScope com_;
};

TEST_P(ForwardingTest, EveryForwardedMethodReachesTheCameraOnceWithItsBitsAndResult) {
  RecordingProvider provider;
  Holder holder;
  RecordingLumorix& camera = provider.last->recorder;
  ASSERT_NE(holder.filter->stillPin(), nullptr);
  IUnknown* object = holder.object(GetParam());
  const bool pin = GetParam() != 0;
  int forwarded = 0;
  for (uint32_t result : {0x12345678u, 0x80041234u}) {
    uint64_t seed = 3;
    ForEachLumorixMethod([&](auto* tag, auto method, uint32_t ordinal, const char* name) {
      using I = std::remove_pointer_t<decltype(tag)>;
      const LumorixInterface iface = InterfaceOf(tag);
      I* face = Face<I>(object);
      const bool handed = iface != LumorixInterface::ILumorixProcessFlag &&
                          !(pin && (iface == LumorixInterface::ILumorixPreset ||
                                    iface == LumorixInterface::ILumorixInternalInternal));
      EXPECT_EQ(face != nullptr, handed) << name;
      if (!face || kOwnBodies.count(name)) return;
      camera.clear();
      camera.script(iface, ordinal, result);
      const DrivenCall call = DriveMethod(face, method, seed += 8);
      ASSERT_EQ(camera.calls().size(), 1u) << name;
      EXPECT_EQ(camera.calls()[0].iface, iface) << name;
      EXPECT_EQ(camera.calls()[0].ordinal, ordinal) << name;
      EXPECT_EQ(camera.calls()[0].args, call.args) << name;
      EXPECT_EQ(call.result, result) << name;
      ++forwarded;
    });
  }
  EXPECT_EQ(forwarded, pin ? 2 * 144 : 2 * 155);
}

// Where a call needs two pointers, a null second one is refused as a null first one is, before
// the camera hears of it.
TEST_P(ForwardingTest, ANullSecondPointerIsRefusedBeforeTheCamera) {
  RecordingProvider provider;
  Holder holder;
  RecordingLumorix& camera = provider.last->recorder;
  ILumorix* face = Face<ILumorix>(holder.object(GetParam()));
  ASSERT_NE(face, nullptr);
  int32_t temperature = 0;
  uint16_t levels[4] = {};
  struct Row {
    const char* name;
    std::function<HRESULT()> call;
  } const rows[] = {
      {"get_TempTint", [&] { return face->get_TempTint(&temperature, nullptr); }},
      {"put_LevelRange", [&] { return face->put_LevelRange(levels, nullptr); }},
      {"get_LevelRange", [&] { return face->get_LevelRange(levels, nullptr); }},
  };
  for (const Row& row : rows) {
    camera.clear();
    EXPECT_EQ(row.call(), E_POINTER) << row.name;
    EXPECT_TRUE(camera.calls().empty()) << row.name;
  }
}

INSTANTIATE_TEST_SUITE_P(FilterAndPins, ForwardingTest, ::testing::Values(0, 1, 2));

TEST(Forwarding, WithoutCameraNullPointersComeFirstThenTheNoCameraResults) {
  ComScope com;
  DoubleProvider none({});
  Holder holder;
  int checked = 0;
  ForEachLumorixMethod([&](auto* tag, auto method, uint32_t, const char* name) {
    using I = std::remove_pointer_t<decltype(tag)>;
    I* face = Face<I>(holder.object(0));
    if (!face || kOwnBodies.count(name)) return;
    const uint64_t expected = kCheckedPointers.count(name)     ? uint32_t(E_POINTER)
                              : kZeroWithoutCamera.count(name) ? 0u
                                                               : uint32_t(E_UNEXPECTED);
    EXPECT_EQ(DriveNull(face, method), expected) << name;
    checked += kCheckedPointers.count(name);
  });
  EXPECT_EQ(checked, 31);
}

TEST(Forwarding, PinsShareTheFiltersIdentityAndItsOwnAnswers) {
  ComScope com;
  RecordingProvider provider;
  Holder holder(0);
  RecordingLumorix& camera = provider.last->recorder;
  camera.clear();
  for (int which : {0, 1, 2}) {
    IUnknown* object = holder.object(which);
    ILumorix* lumorix = Face<ILumorix>(object);
    IUnknown* viaFace = nullptr;
    ASSERT_EQ(lumorix->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaFace)), S_OK);
    IUnknown* direct = nullptr;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&direct));
    EXPECT_EQ(viaFace, direct) << which;
    viaFace->Release();
    direct->Release();
    char name[64] = {};
    EXPECT_EQ(Face<ILumorixSerialNumber>(object)->get_Name(name), S_OK);
    EXPECT_STREQ(name, "Recording Camera");
    uint32_t index = 99;
    EXPECT_EQ(Face<ILumorixIndex>(object)->get_Index(&index), S_OK);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(Face<ILumorixIndex>(object)->Reserved(), E_NOTIMPL);
    for (const IID* iid :
         {&IID_IAMVideoProcAmp, &IID_IVideoProcAmp, &IID_IAMCameraControl, &IID_ICameraControl}) {
      void* out = nullptr;
      EXPECT_EQ(object->QueryInterface(*iid, &out), S_OK) << which;
      if (out) static_cast<IUnknown*>(out)->Release();
    }
  }
  EXPECT_TRUE(camera.calls().empty());
}

// The camera's integer forms read back what was put; truncating lost one on many amounts.
TEST(Forwarding, IntegerVignetteFormsReadBackWhatWasPut) {
  ComScope com;
  RecordingProvider provider;
  Holder holder;
  RecordingLumorix& camera = provider.last->recorder;
  for (int which : {0, 1}) {
    ILumorix* face = Face<ILumorix>(holder.object(which));
    camera.script(LumorixInterface::ILumorix, LumorixTraits<ILumorix>::put_VignetteAmount, S_OK);
    camera.script(LumorixInterface::ILumorix, LumorixTraits<ILumorix>::put_VignetteMidPoint, S_OK);
    camera.clear();
    ASSERT_EQ(face->put_VignetteAmountInt(100), S_OK);
    ASSERT_EQ(camera.calls().size(), 1u);
    EXPECT_EQ(camera.calls()[0].args[0], ArgBits(1.0471975511965976));
    camera.clear();
    ASSERT_EQ(face->put_VignetteMidPointInt(50), S_OK);
    EXPECT_EQ(camera.calls()[0].ordinal, LumorixTraits<ILumorix>::put_VignetteMidPoint);
    EXPECT_EQ(camera.calls()[0].args[0], ArgBits(0.125));
  }
}

TEST(Forwarding, IntegerVignetteAmountsReadBackEveryValue) {
  ComScope com;
  DoubleProvider provider({CameraSetup{}});
  Holder holder;
  for (int which : {0, 1}) {
    ILumorix* face = Face<ILumorix>(holder.object(which));
    for (int32_t n = 0; n <= 100; ++n) {
      int32_t amount = -1;
      int32_t midpoint = -1;
      ASSERT_EQ(face->put_VignetteAmountInt(n), S_OK);
      ASSERT_EQ(face->put_VignetteMidPointInt(n), S_OK);
      ASSERT_EQ(face->get_VignetteAmountInt(&amount), S_OK);
      ASSERT_EQ(face->get_VignetteMidPointInt(&midpoint), S_OK);
      EXPECT_EQ(amount, n);
      EXPECT_EQ(midpoint, n);
    }
  }
}

}  // namespace
