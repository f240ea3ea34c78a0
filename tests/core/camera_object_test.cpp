// The camera object: interfaces, settings persistence, construction, dispatch, lookups, rates.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/base_impl.h"
#include "core/camera_opening.h"
#include "base/lumorix_flags.h"
#include "core/make_camera.h"
#include "platform/registry.h"
#include "platform/utf16.h"
#include "tests/support/counting_factory.h"
#include "tests/support/fake_frame_services.h"
#include "tests/support/recording_registry.h"
#include "tests/support/stub_model.h"
#include "tests/support/test_catalogue.h"

namespace {

const WCHAR16 kRoot[] = ZX_W("Software\\Test\\dshow");
const std::string kKey = "Software\\Test\\dshow\\StubCam";

class CameraObjectTest : public ::testing::Test {
 protected:
  CameraObjectTest() : scoped_(std::make_unique<RecordingRegistry>()) {}
  RecordingRegistry& registry() { return static_cast<RecordingRegistry&>(scoped_.get()); }
  uint32_t stored(const std::string& key, const char* name) {
    uint32_t value = 0xDEAD;
    registry().store->readDword(key, name, value);
    return value;
  }

 private:
  platform::ScopedRegistry scoped_;
};

StubModelSpec withStills(uint32_t stills) {
  StubModelSpec spec;
  spec.stillCount = stills;
  return spec;
}

// --- Interfaces -------------------------------------------------------------------------------

using InterfacesTest = CameraObjectTest;

TEST_F(InterfacesTest, QueryInterfaceHandsOutEachSubobject) {
  StubModel camera(withStills(2), nullptr);
  ASSERT_TRUE(camera.valid());
  EXPECT_EQ(camera.QueryInterface(IID_ILumorix, nullptr), E_POINTER);

  const std::vector<std::pair<const IID*, void*>> expected = {
      {&IID_ILumorix, static_cast<ILumorix*>(&camera)},
      {&IID_ILumorixStillImage, static_cast<ILumorixStillImage*>(&camera)},
      {&IID_ILumorixSerialNumber, static_cast<ILumorixSerialNumber*>(&camera)},
      {&IID_ILumorixInternal, static_cast<ILumorixInternal*>(&camera)},
      {&IID_ILumorixProcessFlag, static_cast<ILumorixProcessFlag*>(&camera)},
      {&IID_ILumorixPreset, static_cast<ILumorixPreset*>(&camera)},
      {&IID_ILumorixInternalInternal, static_cast<ILumorixInternalInternal*>(&camera)},
      {&IID_ILumorixVersion, static_cast<ILumorixVersion*>(&camera)},
      {&IID_ILumorixST4, static_cast<ILumorixST4*>(&camera)},
  };
  std::set<void*> distinct;
  for (const auto& [iid, subobject] : expected) {
    void* out = nullptr;
    ASSERT_EQ(camera.QueryInterface(*iid, &out), S_OK);
    EXPECT_EQ(out, subobject);
    distinct.insert(out);
    // IUnknown from any face is the primary one.
    void* unknown = nullptr;
    ASSERT_EQ(static_cast<IUnknown*>(out)->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<ILumorix*>(&camera));
  }
  EXPECT_EQ(distinct.size(), 9u);

  void* out = &camera;
  EXPECT_EQ(camera.QueryInterface(IID_ILumorixIndex, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
}

TEST_F(InterfacesTest, ReferenceCountsStayAtTwo) {
  StubModel camera{StubModelSpec{}};
  ILumorixST4* st4 = &camera;
  for (int i = 0; i < 1000; ++i) {
    camera.AddRef();
    st4->AddRef();
  }
  for (int i = 0; i < 999; ++i) st4->Release();
  EXPECT_EQ(camera.AddRef(), 2u);
  EXPECT_EQ(st4->Release(), 2u);
  EXPECT_EQ(camera.Release(), 2u);
}

TEST_F(InterfacesTest, GenericBodiesThroughQueriedPointers) {
  StubModel camera(withStills(2), nullptr);
  void* main = nullptr;
  void* still = nullptr;
  ASSERT_EQ(camera.QueryInterface(IID_ILumorix, &main), S_OK);
  ASSERT_EQ(camera.QueryInterface(IID_ILumorixStillImage, &still), S_OK);
  auto* lumorix = static_cast<ILumorix*>(main);
  EXPECT_EQ(lumorix->get_ResolutionNumber(), 3u);
  EXPECT_EQ(lumorix->get_MaxSpeed(), 2u);
  EXPECT_EQ(static_cast<ILumorixStillImage*>(still)->get_StillResolutionNumber(), 2u);
  EXPECT_EQ(lumorix->get_RealTime(nullptr), E_POINTER);
  uint32_t mode = 99;
  EXPECT_EQ(lumorix->get_RealTime(&mode), S_OK);
  EXPECT_EQ(mode, 0u);
  // A body not built yet answers E_NOTIMPL, not a crash.
  EXPECT_EQ(lumorix->get_PixelSize(0, nullptr, nullptr), E_NOTIMPL);
  // Only the models with a read-out window answer for it; nothing is written for the others.
  uint32_t on = 7, x = 7, y = 7;
  EXPECT_EQ(camera.put_ModelWindow(1, 10, 10), E_NOTIMPL);
  EXPECT_EQ(camera.get_ModelWindow(&on, &x, &y), E_NOTIMPL);
  EXPECT_EQ(on + x + y, 21u);
  // A calibration file without a pipeline state has nothing to read or write.
  EXPECT_EQ(lumorix->DfcExport(ZX_W("unused.dfc")), E_UNEXPECTED);
}

// Pause: any non-zero argument pauses; zero asks the grabber to resume.
TEST_F(InterfacesTest, PauseStates) {
  StubModel camera{StubModelSpec{}};
  int32_t value = 5;
  EXPECT_EQ(camera.OnOption3Get(&value), S_FALSE);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(camera.OnOption3Get(nullptr), E_POINTER);

  const std::vector<std::pair<int32_t, PauseState>> pauses = {
      {1, PauseState::Paused}, {0, PauseState::ResumeRequested}, {-7, PauseState::Paused}};
  EXPECT_EQ(camera.pauseState(), PauseState::Running);
  for (const auto& [argument, state] : pauses) {
    EXPECT_EQ(camera.put_Pause(argument), S_OK);
    EXPECT_EQ(camera.pauseState(), state) << argument;
  }
}

// --- Persistence ------------------------------------------------------------------------------

using PersistenceTest = CameraObjectTest;

TEST_F(PersistenceTest, StoredIndexesAreClampedAndWrongTypesIgnored) {
  static constexpr uint64_t kEightBytes = 1;
  using Store = void (*)(platform::Registry&);
  const std::tuple<const char*, Store, uint32_t> cases[] = {
      {"99 clamps", [](platform::Registry& r) { r.writeDword(kKey, "PreviewSize", 99); }, 2},
      {"1 kept", [](platform::Registry& r) { r.writeDword(kKey, "PreviewSize", 1); }, 1},
      {"REG_SZ", [](platform::Registry& r) { r.writeString(kKey, "PreviewSize", ZX_W("1")); }, 0},
      {"8 bytes",
       [](platform::Registry& r) {
         r.writeBinary(kKey, "PreviewSize", &kEightBytes, sizeof kEightBytes);
       },
       0},
      {"missing", [](platform::Registry&) {}, 0},
  };
  for (const auto& [what, store, expectedPreview] : cases) {
    registry().store->deleteKey(kKey);
    store(*registry().store);
    EXPECT_EQ(StubModel(StubModelSpec{}, kRoot).previewIndex(), expectedPreview) << what;
  }
}

TEST_F(PersistenceTest, StillSizeOnlyOnModelsWithStills) {
  registry().store->writeDword(kKey, "StillSize", 7);
  {
    StubModel camera(withStills(0), kRoot);
    EXPECT_EQ(camera.stillIndex(), 0u);
  }
  EXPECT_FALSE(registry().touched("StillSize"));
  EXPECT_TRUE(registry().touched("PreviewSize"));
  {
    StubModel camera(withStills(2), kRoot);
    EXPECT_EQ(camera.stillIndex(), 1u);  // 7 clamped to the last still index
  }
  EXPECT_EQ(stored(kKey, "StillSize"), 1u);
}

// No root, an empty one, or a key over 259 characters (252 + "\\StubCam") is never cut to fit.
TEST_F(PersistenceTest, NoUsableKeyMeansNoStoreAccess) {
  const WString overlong(252, ZX_W('r'));
  for (const WCHAR16* root : {static_cast<const WCHAR16*>(nullptr), ZX_W(""), overlong.c_str()}) {
    {
      StubModel camera(withStills(2), root);
      EXPECT_FALSE(camera.hasRegistryKey());
    }
    EXPECT_TRUE(registry().log.empty());
  }
  const WString fits(251, ZX_W('r'));
  EXPECT_TRUE(StubModel(StubModelSpec{}, fits.c_str()).hasRegistryKey());
}

TEST_F(PersistenceTest, DestructionWritesCurrentIndexes) {
  registry().store->writeDword(kKey, "PreviewSize", 1);
  registry().store->writeDword(kKey, "StillSize", 1);
  {
    StubModel camera(withStills(2), kRoot);
    ASSERT_TRUE(camera.hasRegistryKey());
    EXPECT_EQ(platform::WideToUtf8(camera.registrySubkey()), kKey);
    registry().store->deleteKey(kKey);
  }
  EXPECT_EQ(stored(kKey, "PreviewSize"), 1u);
  EXPECT_EQ(stored(kKey, "StillSize"), 1u);
}

TEST_F(PersistenceTest, WithoutPreviewsNothingIsReadAndIndexStaysZero) {
  StubModelSpec spec;
  spec.previews.clear();
  spec.defaultPreviewIndex = 1;
  registry().store->writeDword(kKey, "PreviewSize", 5);
  registry().log.clear();
  StubModel camera(spec, kRoot);
  EXPECT_EQ(camera.previewIndex(), 0u);
  EXPECT_FALSE(registry().touched("PreviewSize"));
}

TEST_F(PersistenceTest, DefaultPreviewIndexIsClamped) {
  const std::vector<std::pair<uint32_t, uint32_t>> cases = {
      {0, 0}, {1, 1}, {2, 2}, {3, 2}, {99, 2}};
  for (const auto& [given, expected] : cases) {
    StubModelSpec spec;
    spec.defaultPreviewIndex = given;
    StubModel camera(spec, nullptr);
    EXPECT_EQ(camera.previewIndex(), expected) << given;
  }
}

TEST_F(PersistenceTest, PrefixChoosesWhetherSettingsPersist) {
  TestCatalogue catalogue;
  catalogue.add(ZX_W("Cam"), {0xc310}, CountingFactory::Create);
  const std::string key = platform::WideToUtf8(kSettingsRoot) + "\\StubCam";
  const std::vector<std::pair<const WCHAR16*, bool>> cases = {{ZX_W("!0-c310"), true},
                                                              {ZX_W("&0-c310"), true},
                                                              {ZX_W("$0-c310"), true},
                                                              {ZX_W("@0-c310"), false},
                                                              {ZX_W("0-c310"), false}};
  for (const auto& [id, persists] : cases) {
    registry().store->deleteKey(key);
    delete OpenCameraById(id, catalogue.get());
    EXPECT_EQ(registry().store->keyExists(key), persists) << platform::WideToUtf8(id);
  }
}

// --- Construction -----------------------------------------------------------------------------

using ConstructionTest = CameraObjectTest;

TEST_F(ConstructionTest, BuffersStartFreeInOrder) {
  StubModel camera{StubModelSpec{}};
  CameraBufferImpl& buffers = camera.buffers();
  const std::vector<RawBufferRecord*> expected = {&buffers.record(0), &buffers.record(1),
                                                  &buffers.record(2)};
  EXPECT_EQ(buffers.freeList(), expected);
  EXPECT_TRUE(buffers.readyList().empty());
  for (size_t i = 0; i < CameraBufferImpl::kRecordCount; ++i) {
    const RawBufferRecord& r = buffers.record(i);
    EXPECT_EQ(r.format, kRawFormatNone);
    EXPECT_EQ(r.roi.left | r.roi.top | r.roi.right | r.roi.bottom, 0u);
    EXPECT_EQ(r.fullFrame.left | r.fullFrame.top | r.fullFrame.right | r.fullFrame.bottom, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(r.buffer) % kRawBufferAlignment, 0u);
  }
  EXPECT_TRUE(buffers.freeEvent().wait(0));
  EXPECT_FALSE(buffers.readyEvent().wait(0));
  EXPECT_FALSE(camera.stopEvent().wait(0));
  EXPECT_EQ(camera.runState(), RunState::Stopped);
  EXPECT_EQ(camera.grabStatus(), 1);
  EXPECT_EQ(camera.threadPriority(), 1u);
  EXPECT_EQ(camera.frameDequeLength(), 3u);
}

TEST_F(ConstructionTest, TriggerEventOnlyWithoutTransportTrigger) {
  const std::vector<std::pair<uint64_t, bool>> cases = {
      {0, true},
      {LUMORIX_FLAG_TRIGGER_SINGLE, true},
      {LUMORIX_FLAG_TRIGGER_SOFT, false},
      {LUMORIX_FLAG_TRIGGER_EXT, false},
      {LUMORIX_FLAG_TRIGGER_SOFT | LUMORIX_FLAG_TRIGGER_EXT, false}};
  for (const auto& [flags, hasEvent] : cases) {
    StubModelSpec spec;
    spec.flags = flags;
    StubModel camera(spec, nullptr);
    EXPECT_TRUE(camera.valid());
    EXPECT_EQ(camera.triggerEvent() != nullptr, hasEvent) << std::hex << flags;
  }
}

// Each raw allocation failing in turn, or the model's own part failing: no camera, and a camera
// that never existed writes no settings either.
TEST_F(ConstructionTest, PartFailureGivesNoCameraAndNoSettings) {
  StubModelSpec broken = withStills(1);
  broken.missingTransport = true;
  for (int failing = 0; failing <= 3; ++failing) {
    registry().log.clear();
    ScopedRawAllocationFailure failure(failing);  // 0: none fails
    std::unique_ptr<BaseImpl> camera(
        MakeCamera<StubModel>(failing ? withStills(1) : broken, kRoot));
    EXPECT_EQ(camera, nullptr) << failing;
    for (const auto& a : registry().log) EXPECT_NE(a.op, "write") << a.name;
  }
  EXPECT_NE(std::unique_ptr<BaseImpl>(MakeCamera<StubModel>(withStills(1), kRoot)), nullptr);
}

// --- Dispatch to the helper -------------------------------------------------------------------

TEST(CameraObjectDispatch, RawToRgb24PicksTheDriverByFormatAndModel) {
  const uint64_t colour16 = LUMORIX_FLAG_RAW12;
  const uint64_t mono16 = LUMORIX_FLAG_RAW16 | LUMORIX_FLAG_MONO;
  const uint64_t alt12 = LUMORIX_FLAG_RAW12_ALT;
  const uint64_t mono8 = LUMORIX_FLAG_MONO;
  struct Case {
    uint64_t flags;
    uint32_t format;
    FrameDriver driver;
  };
  std::vector<Case> cases;
  for (uint32_t format : {1u, 2u, 3u, 4u, 10u}) {
    cases.push_back({colour16, format, FrameDriver::Raw16});
    cases.push_back({alt12, format, FrameDriver::Raw16});
    cases.push_back({mono16, format, FrameDriver::Mono16});
    cases.push_back({0, format, FrameDriver::Frame8});
    cases.push_back({mono8, format, FrameDriver::Frame8});
  }
  for (uint32_t format : {0u, 5u, 9u, 11u}) {
    cases.push_back({colour16, format, FrameDriver::Frame8});
    cases.push_back({mono16, format, FrameDriver::Frame8});
  }
  for (const Case& c : cases) {
    StubModelSpec spec;
    spec.flags = c.flags;
    FakeFrameServices frames;
    StubModel camera(spec, nullptr, &frames);
    uint8_t raw[4] = {}, out[4] = {};
    EXPECT_EQ(camera.RawToRgb24(raw, c.format, out, nullptr, nullptr, 1, 0), S_OK);
    ASSERT_EQ(frames.driven.size(), 1u);
    EXPECT_EQ(frames.driven[0], c.driver) << std::hex << c.flags << " format " << c.format;
    EXPECT_EQ(frames.lastRequest.raw, raw);
    EXPECT_EQ(frames.lastRequest.output, out);
    EXPECT_EQ(frames.lastRequest.pixelFormat, c.format);
  }
}

TEST(CameraObjectDispatch, OtherFrameOperationsReachTheHelper) {
  FakeFrameServices frames;
  StubModel camera(StubModelSpec{}, nullptr, &frames);
  uint8_t frame[16] = {};
  EXPECT_EQ(camera.RawQuickDemosaic(frame, 4, 4, 0), 7);
  EXPECT_EQ(camera.GrabStill(nullptr, frame, nullptr, 24, nullptr, 640, 480, 640, 480, 1), nullptr);
  EXPECT_EQ(frames.lastStill.frameWidth, 640u);
  EXPECT_EQ(frames.lastStill.resolutionIndex, 1u);
  const std::vector<FrameDriver> expected = {FrameDriver::QuickDemosaic, FrameDriver::GrabStill};
  EXPECT_EQ(frames.driven, expected);

  // The helper gets the camera's trampolines; each reaches the host's pair until it is cleared.
  int context = 0;
  auto histogram = [](const uint32_t*, uint32_t, void* c) { ++*static_cast<int*>(c); };
  auto demosaic = [](uint32_t, int32_t, int32_t, const void*, void*, uint8_t, void* c) {
    *static_cast<int*>(c) += 10;
  };
  EXPECT_EQ(camera.put_HistogramCallback(histogram, &context), S_OK);
  EXPECT_EQ(camera.put_DemosaicCallback(demosaic, &context), S_OK);
  ASSERT_TRUE(frames.histogram && frames.demosaic);
  frames.histogram(nullptr, 8, frames.histogramContext);
  EXPECT_TRUE(frames.demosaic(0, 1, 1, frame, frame, 8, frames.demosaicContext));
  EXPECT_EQ(context, 11);
  const PL_DemosaicHook taken = frames.demosaic;  // as a frame that began before the clear
  EXPECT_EQ(camera.put_HistogramCallback(nullptr, nullptr), S_OK);
  EXPECT_EQ(camera.put_DemosaicCallback(nullptr, nullptr), S_OK);
  EXPECT_EQ(frames.histogram, nullptr);
  EXPECT_EQ(frames.demosaic, nullptr);
  EXPECT_FALSE(taken(0, 1, 1, frame, frame, 8, frames.demosaicContext)) << "the frame demosaics";
  EXPECT_EQ(context, 11);
}

TEST(CameraObjectDispatch, WithoutHelperFrameOperationsFailCleanly) {
  StubModel camera{StubModelSpec{}};
  uint8_t frame[4] = {};
  EXPECT_EQ(camera.RawToRgb24(frame, 0, frame, nullptr, nullptr, 1, 0), E_UNEXPECTED);
  EXPECT_EQ(camera.RawQuickDemosaic(frame, 1, 1, 0), E_UNEXPECTED);
  EXPECT_EQ(camera.put_HistogramCallback(nullptr, nullptr), E_UNEXPECTED);
  EXPECT_EQ(camera.put_DemosaicCallback(nullptr, nullptr), E_UNEXPECTED);
  EXPECT_EQ(camera.GrabStill(nullptr, frame, nullptr, 24, nullptr, 1, 1, 1, 1, 0), nullptr);
}

// --- Resolution lookup ------------------------------------------------------------------------

TEST(CameraObjectResolution, FindResolutionIndex) {
  const ResolutionEntry table[] = {
      {1280, 960, 1, 1}, {640, 480, 1, 1}, {640, 360, 1, 1}, {320, 480, 1, 1}};
  struct Case {
    uint32_t w, h;
    int32_t expected;
  };
  const Case cases[] = {{640, 480, 1}, {640, 360, 2}, {0, 480, 1},    {640, 0, 1},
                        {320, 0, 3},   {0, 0, -1},    {800, 600, -1}, {1280, 480, -1}};
  for (const Case& c : cases)
    EXPECT_EQ(FindResolutionIndex(table, 4, c.w, c.h), c.expected) << c.w << "x" << c.h;
  EXPECT_EQ(FindResolutionIndex(nullptr, 4, 640, 480), -1);
  EXPECT_EQ(FindResolutionIndex(table, 0, 640, 480), -1);

  StubModel camera{StubModelSpec{}};
  EXPECT_EQ(camera.FindResolutionIndex(0, 240), 2);
  StubModelSpec none;
  none.previews.clear();
  StubModel noTable(none, nullptr);
  EXPECT_EQ(noTable.FindResolutionIndex(1280, 960), -1);
}

// --- Frame-rate statistics --------------------------------------------------------------------

// Evenly spaced ticks, then a reading: a sample needs more than 3 s after the last one, the ring
// keeps ten, fewer than two samples read from the first tick to now, and the tick count wraps.
TEST(CameraObjectFrameRate, TickSchedules) {
  struct Case {
    const char* what;
    uint32_t first, step, ticks, readAfter;  // the reading readAfter ms after the last tick
    size_t samples;
    uint32_t frames, ms;
  };
  const Case cases[] = {
      {"3000 ms apart: one sample", 1000, 100, 31, 50, 1, 31, 3050},
      {"3100 ms apart: a second", 1000, 100, 32, 50, 2, 31, 3100},
      {"eleven samples: the first is dropped", 10'000, 5'000, 11, 0, CFrameRate::kRingSize, 9,
       45'000},
      {"one sample: first tick to now", 2000, 100, 3, 300, 1, 3, 500},
      {"across 2^32: samples at 0, 3100, 6200, 9300", 0xFFFFFFFFu - 4000, 100, 101, 100, 4, 93,
       9300},
      {"a first tick at 0 is a start like any other", 0, 100, 2, 100, 1, 2, 200},
  };
  for (const Case& c : cases) {
    CFrameRate rate;
    for (uint32_t i = 0; i < c.ticks; ++i) rate.tick(c.first + i * c.step);
    EXPECT_EQ(rate.sampleCount(), c.samples) << c.what;
    EXPECT_EQ(rate.framesCounted(), c.ticks) << c.what;
    const FrameRateReading reading = rate.read(c.first + (c.ticks - 1) * c.step + c.readAfter);
    EXPECT_EQ(reading.frames, c.frames) << c.what;
    EXPECT_EQ(reading.ms, c.ms) << c.what;
    rate.reset();
    EXPECT_EQ(rate.sampleCount(), 0u) << c.what;
    EXPECT_EQ(rate.framesCounted(), 0u) << c.what;
  }
  EXPECT_EQ(CFrameRate().read(500).frames, 0u);
}

TEST(CameraObjectFrameRate, LimitSetsThePeriod) {
  const std::vector<std::pair<uint32_t, uint32_t>> cases = {
      {0, 0}, {1, 100}, {25, 4}, {30, 3}, {63, 1}};
  CFrameRate rate;
  for (const auto& [limit, period] : cases) {
    rate.setLimit(limit);
    EXPECT_EQ(rate.limit(), limit);
    EXPECT_EQ(rate.period(), period) << limit;
  }
}

}  // namespace
