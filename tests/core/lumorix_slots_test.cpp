// Slot order of the interface family, as a C++ caller, a raw-vtable caller and a C host see it.
// Hand-aligned tables read better as columns.
// clang-format off
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/core/lumorix_drive.h"

namespace {

struct ExpectedInterface {
  const char* name;
  std::vector<std::string> methods;
};

// Typed from the published interface tables, independently of the generated list.
const std::vector<ExpectedInterface> kPublished = {
    {"ILumorix",
     {"put_Size", "get_Size", "put_eSize", "get_eSize", "LevelRangeAuto", "GetHistogram",
      "put_ExpoCallback", "get_AutoExpoEnable", "put_AutoExpoEnable", "get_AutoExpoTarget",
      "put_AutoExpoTarget", "AwbInit", "put_Rect", "get_Rect", "put_AeWindowMark",
      "get_AeWindowMark", "put_VignetteEnable", "get_VignetteEnable", "put_VignetteAmount",
      "get_VignetteAmount", "put_VignetteMidPoint", "get_VignetteMidPoint",
      "put_WhiteBalanceGain", "get_WhiteBalanceGain", "put_Hue", "get_Hue", "put_Saturation",
      "get_Saturation", "put_Brightness", "get_Brightness", "get_ExpoTime", "put_ExpoTime",
      "get_ExpoAGain", "put_ExpoAGain", "put_LevelRange", "get_LevelRange", "get_Contrast",
      "put_Contrast", "get_Gamma", "put_Gamma", "get_Chrome", "put_Chrome", "get_VFlip",
      "put_VFlip", "get_HFlip", "put_HFlip", "put_Speed", "get_Speed", "get_MaxSpeed",
      "put_LightFrequency", "get_LightFrequency", "put_Skip", "get_Skip", "put_ChromeCallback",
      "get_ExpTimeRange", "get_ExpoAGainRange", "get_ResolutionNumber", "get_Resolution",
      "put_TempTint", "get_TempTint", "put_VignetteAmountInt", "get_VignetteAmountInt",
      "put_VignetteMidPointInt", "get_VignetteMidPointInt", "AwbOnePush", "put_AWBRect",
      "get_AWBRect", "put_AERect", "get_AERect", "get_IsColor", "put_AutoExpoMaxTimeAGain",
      "get_RealExpoTime", "get_MaxBitDepth", "get_BitDepth", "put_BitDepth", "get_Temperature",
      "put_Temperature", "put_Roi", "get_Roi", "get_FanSpeed", "put_FanSpeed", "get_Tec",
      "put_Tec", "get_ResolutionRatio", "get_TecTarget", "put_TecTarget", "get_GrabRetry",
      "get_PixelSize", "get_FanMaxSpeed", "get_FrameRate", "put_Option", "get_Option",
      "put_OutputLut", "put_ToneCurveTable", "put_ColorMatrix", "put_WbGainBase",
      "put_BlackBalance", "get_BlackBalance", "AbbOnePush", "put_ABBRect", "get_ABBRect",
      "get_PixelFormat", "put_PixelFormat", "FfcOnePush", "get_FfcStatus", "put_FfcStatus",
      "IoControl", "DfcOnePush", "get_DfcStatus", "put_DfcStatus", "put_RealTime",
      "get_RealTime", "Flush", "put_Negative", "get_Negative", "VenCommandEx", "VenRead",
      "VenWrite", "VenReadBuffer", "VenWriteBuffer", "DfcExport", "DfcImport", "FfcExport",
      "FfcImport", "ReadPipe", "WritePipe", "VenCommand", "get_AutoExpoMaxTimeAGain",
      "put_AutoExpoMinTimeAGain", "get_AutoExpoMinTimeAGain", "get_FocusMotor",
      "get_FinalSize"}},
    {"ILumorixStillImage",
     {"put_StillSize", "get_StillSize", "put_eStillSize", "get_eStillSize",
      "get_StillResolutionNumber", "get_StillResolution"}},
    {"ILumorixSerialNumber", {"get_SerialNumber", "get_Name"}},
    {"ILumorixInternal",
     {"get_NoFrameState", "get_MaxFrameRate", "get_MaxFrameRateOf", "GetHistogramEx",
      "put_ModeExpoTime", "get_ModeExpoTime"}},
    {"ILumorixProcessFlag", {"put_ProcessFlag", "get_ProcessFlag"}},
    {"ILumorixPreset",
     {"get_PresetCount", "get_PresetModel", "get_Preset", "AddPreset", "LoadPreset",
      "OverwritePreset", "put_Presets"}},
    {"ILumorixInternalInternal",
     {"put_ErrorCallback", "SetErrorFlag", "ClearErrorFlag", "HandleError", "get_ModelInfo"}},
    {"ILumorixVersion",
     {"get_FwVersion", "get_HwVersion", "get_ProductionDate", "get_DeviceVersion",
      "get_Revision"}},
    {"ILumorixST4", {"ST4PlusGuide", "ST4PlusGuideState"}},
    {"ILumorixIndex", {"get_Index", "Reserved"}},
};

// Published plain-value methods; every other method answers an HRESULT.
const std::set<std::string> kPlain = {
    "get_MaxSpeed", "get_ResolutionNumber", "get_IsColor", "get_MaxBitDepth", "get_GrabRetry",
    "get_FanMaxSpeed", "get_StillResolutionNumber", "get_NoFrameState", "get_MaxFrameRate",
    "get_MaxFrameRateOf", "get_PresetCount"};

TEST(LumorixSlots, ListMatchesPublishedOrderAndKinds) {
  ASSERT_EQ(kLumorixInterfaceCount, kPublished.size());
  for (uint32_t i = 0; i < kLumorixInterfaceCount; ++i) {
    const LumorixInterfaceInfo& info = kLumorixInterfaces[i];
    EXPECT_STREQ(info.name, kPublished[i].name);
    ASSERT_EQ(info.count, kPublished[i].methods.size()) << info.name;
    for (uint32_t k = 0; k < info.count; ++k) {
      EXPECT_EQ(info.methods[k], kPublished[i].methods[k]) << info.name << " ordinal " << k + 1;
      EXPECT_EQ(info.plain[k], kPlain.count(info.methods[k]) == 1) << info.methods[k];
    }
  }
  EXPECT_EQ(LumorixTraits<ILumorix>::count, 132u);
  size_t total = 0;
  for (const LumorixInterfaceInfo& info : kLumorixInterfaces) total += info.count;
  EXPECT_EQ(total, 169u);
}

TEST(LumorixSlots, RawVtableSlotReachesMethodWithItsArguments) {
  RecordingLumorix recorder;
  uint64_t seed = 1;
  ForEachLumorixMethod([&](auto* tag, auto method, uint32_t ordinal, const char* name) {
    using I = std::remove_pointer_t<decltype(tag)>;
    I* iface = &recorder;
    DrivenCall call = DriveSlot(iface, method, 3 + ordinal - 1, seed);
    seed += 8;
    ASSERT_FALSE(recorder.calls().empty()) << name;
    const RecordedCall& got = recorder.calls().back();
    EXPECT_EQ(got.iface, InterfaceOf(tag)) << name;
    EXPECT_EQ(got.ordinal, ordinal) << name;
    EXPECT_EQ(got.args, call.args) << name;
    EXPECT_EQ(call.result, recorder.resultFor(got.iface, ordinal)) << name;
  });
  EXPECT_EQ(recorder.calls().size(), 169u);
}

// The C host lives in lumorix_c_host.c; it reaches the stand-in through these two functions.
RecordingLumorix* gRecorder = nullptr;

#define ZX_INTERFACE_POINTER(Name, ...) \
  if (iface == static_cast<unsigned>(LumorixInterface::Name)) return static_cast<Name*>(gRecorder);

}  // namespace

extern "C" void* zxRecorderInterface(unsigned iface);
extern "C" int zxRecorderCheckLast(unsigned iface, const char* name, const uint64_t* args,
                                   unsigned count, uint32_t result);

extern "C" void* zxRecorderInterface(unsigned iface) {
  LUMORIX_INTERFACES(ZX_INTERFACE_POINTER)
  return nullptr;
}

extern "C" int zxRecorderCheckLast(unsigned iface, const char* name, const uint64_t* args,
                                   unsigned count, uint32_t result) {
  if (gRecorder->calls().empty()) return 0;
  const RecordedCall& got = gRecorder->calls().back();
  const LumorixInterfaceInfo& info = kLumorixInterfaces[iface];
  const bool ok = static_cast<unsigned>(got.iface) == iface && got.ordinal >= 1 &&
                  got.ordinal <= info.count && std::string(info.methods[got.ordinal - 1]) == name &&
                  got.args == std::vector<uint64_t>(args, args + count) &&
                  result == gRecorder->resultFor(got.iface, got.ordinal);
  EXPECT_TRUE(ok) << "C host call " << info.name << "::" << name;
  return ok ? 1 : 0;
}

extern "C" int zxRunCHost(void);

namespace {

TEST(LumorixSlots, CHostCallsEveryMethodByNameThroughLpVtbl) {
  RecordingLumorix recorder;
  gRecorder = &recorder;
  EXPECT_EQ(zxRunCHost(), 0);
  EXPECT_EQ(recorder.calls().size(), 169u);
  gRecorder = nullptr;
}

}  // namespace
// clang-format on
