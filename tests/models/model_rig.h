// Every built catalogue row, and a rig that opens one on its simulated device, traffic as text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/lumorix_flags.h"
#include "core/base_impl.h"
#include "core/camera_opening.h"
#include "models/catalogue_table.h"
#include "models/common/cmos_camera.h"
#include "models/sensors/usb3_31mp_sensor.h"
#include "models/sensors/usb3_51mp_sensor.h"
#include "models/sensors/usb3_85_10mp_sensor.h"
#include "models/sensors/usb3_14mp_sensor.h"
#include "models/sensors/usb2_13mp_grey_sensor.h"
#include "models/sensors/usb2_13mp_sensor.h"
#include "models/sensors/usb2_13mp_v2_sensor.h"
#include "models/sensors/usb2_2mp_sensor.h"
#include "models/sensors/usb2_vga_sensor.h"
#include "models/sensors/usb2_14mp_sensor.h"
#include "models/sensors/usb2_51mp_sensor.h"
#include "models/sensors/usb2_8_10mp_sensor.h"
#include "pipeline/pl_frame_hooks.h"
#include "platform/device_io.h"
#include "platform/registry.h"
#include "platform/utf16.h"
#include "sim/real_time_clock.h"
#include "sim/sim_bus.h"
#include "sim/family_catalogue.h"
#include "sim/virtual_clock.h"
#include "sim/winusb_sim.h"
#include "tests/support/recording_registry.h"
#include "usb/cusb.h"

namespace testing_models {

// The sensor drivers with a simulated sensor (the device's family comes from the product id); a
// new sensor adds its line here.
struct SimSensor {
  const SensorDriver& (*driver)();
  // An exposure program writes the first register only directly before the second (kNoRegister:
  // a sensor without a line-length register).
  uint16_t lineLengthReg, linesReg;
};
inline constexpr uint16_t kNoRegister = 0xFFFF;
inline const SimSensor kSimSensors[] = {
    {Usb3Sensor31Mp, 0x300C, 0x3012},           {Usb3Sensor51Mp, 0x08, 0x09},
    {Usb3Sensor85Mp, 0x300C, 0x3012},           {Usb3Sensor10Mp, 0x300C, 0x3012},
    {Usb3Sensor14Mp, 0x300C, 0x3012},           {Usb2Sensor13MpRostrel, kNoRegister, 0x09},
    {Usb2Sensor13MpPelvane, kNoRegister, 0x09}, {Usb2Sensor13MpV2, 0x320D, 0x3E01},
    {Usb2Sensor2MpRostrel, kNoRegister, 0x09},  {Usb2Sensor2MpPelvane, kNoRegister, 0x09},
    {Usb2SensorVga, kNoRegister, 0x09},         {Usb2Sensor13MpGrey, kNoRegister, 0x09},
    {Usb2SensorRostrel8Mp, 0x300C, 0x3012},     {Usb2SensorRostrel9Mp, 0x300C, 0x3012},
    {Usb2SensorRostrel10Mp, 0x300C, 0x3012},    {Usb2SensorPelvane8Mp, 0x300C, 0x3012},
    {Usb2SensorPelvane9Mp, 0x300C, 0x3012},     {Usb2SensorPelvane10Mp, 0x300C, 0x3012},
    {Usb2Sensor14MpRostrel, 0x300C, 0x3012},    {Usb2Sensor14MpPelvane, 0x300C, 0x3012},
    {Usb2Sensor51MpRostrel, kNoRegister, 0x09}, {Usb2Sensor51MpPelvane, kNoRegister, 0x09},
    {Usb2Sensor31MpRostrel, kNoRegister, 0x09}, {Usb2Sensor31MpPelvane, kNoRegister, 0x09},
};

// One registration whose factory builds a camera: the suite runs over these.
struct BuiltRow {
  std::string name;
  uint16_t productId;
  const ModelInfo* info;
  std::string settingsName;  // the class's first registration
  const SimSensor* sim;      // null: the row's sensor has no simulation yet
  ValueRange exposureUs;     // the class's range and default
};

inline std::string TestName(const WCHAR16* display, uint16_t id) {
  std::string name;
  for (char c : platform::WideToUtf8(WStringView(display)))
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  char hex[8];
  std::snprintf(hex, sizeof hex, "_%04x", id);
  return name + hex;
}

// Each registration's factory called once without a device; pending stubs return null. One row
// per product id.
inline std::vector<BuiltRow> BuiltRows() {
  platform::ScopedRegistry registry{platform::MakeMemoryRegistry()};
  std::vector<BuiltRow> rows;
  for (const ModelEntry& e : ModelTable().entries()) {
    if (!e.info) continue;
    std::unique_ptr<BaseImpl> cam(e.factory(ZX_W("0-0000"), nullptr, 1, 1, e.info));
    auto* cmos = dynamic_cast<CmosCamera*>(cam.get());
    if (!cam) continue;
    if (!cmos && !dynamic_cast<ModelCamera*>(cam.get()))
      ADD_FAILURE() << "a built row that is not a model camera";
    if (!cmos) continue;  // the CCD classes run their own table (ccd_*_test.cpp)
    const SimSensor* sim = nullptr;
    for (const SimSensor& s : kSimSensors)
      if (cmos->spec().sensor == s.driver) sim = &s;
    const WCHAR16* settings = e.info->displayName;
    for (const ModelEntry& first : ModelTable().entries())
      if (first.info && first.factory == e.factory) {
        settings = first.info->displayName;
        break;
      }
    // Every id of the registration: a second id is a board variant with its own programs.
    for (const uint16_t id : e.productIds)
      if (id)
        rows.push_back({TestName(e.info->displayName, id), id, e.info,
                        platform::WideToUtf8(WStringView(settings)), sim, cmos->spec().exposureUs});
  }
  return rows;
}

// Under a sanitizer each simulated sensor streams once: its twins and other links run the same
// code, and the instrumented real-time suite has to fit the test run's time.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kOneStreamRowPerSensor = true;
#else
inline constexpr bool kOneStreamRowPerSensor = false;
#endif
// Under TSan a frame above 4 MP, on a loaded machine, takes longer to convert than a pull waits:
// those sensors stream natively and under ASan, and their threads run the same code as the
// smaller ones.
#if defined(__SANITIZE_THREAD__)
inline constexpr uint64_t kLargestStreamedPixels = 4'000'000;
#else
inline constexpr uint64_t kLargestStreamedPixels = UINT64_MAX;
#endif

// The rows that stream in real time: every USB3 registration's ids, and the USB2 ones whose
// programs differ in more than the line length (extra rows, the alternative chip) or that streamed
// first.
inline std::vector<BuiltRow> StreamRows() {
  constexpr uint16_t kUsb2Rows[] = {0xD310, 0x4310, 0xD850, 0xDB14, 0xF130, 0x6130, 0x1207,
                                    0x11FC, 0xF200, 0x6201, 0x6035, 0x6131, 0xF800, 0xF900,
                                    0xF010, 0x6801, 0x6901, 0x6010, 0xF014, 0x6014, 0xF510,
                                    0x6510, 0x6512, 0xF310, 0x6310};
  std::vector<BuiltRow> rows;
  std::vector<const SimSensor*> sensors;
  for (BuiltRow& row : BuiltRows()) {
    if (!(row.info->flags & LUMORIX_FLAG_USB3) &&
        std::find(std::begin(kUsb2Rows), std::end(kUsb2Rows), row.productId) == std::end(kUsb2Rows))
      continue;
    if (kOneStreamRowPerSensor &&
        std::find(sensors.begin(), sensors.end(), row.sim) != sensors.end())
      continue;
    const ModelResolution& largest = row.info->resolutions[0];
    if (uint64_t{largest.width} * largest.height > kLargestStreamedPixels) continue;
    sensors.push_back(row.sim);
    rows.push_back(std::move(row));
  }
  return rows;
}

inline void PrintTo(const BuiltRow& row, std::ostream* os) {
  *os << row.name;
}

inline std::string RowName(const ::testing::TestParamInfo<BuiltRow>& info) {
  return info.param.name;
}

inline std::string SettingsKey(const std::string& settingsName) {
  return platform::WideToUtf8(WStringView(kSettingsRoot)) + "\\" + settingsName;
}

enum class Flavour { Kernel, WinUsb };

struct RigOptions {
  uint16_t productId = 0xC310;
  Flavour flavour = Flavour::Kernel;
  uint16_t revision = 3;
  bool realTime = false;  // a clock thread instead of the virtual clock (streaming threads)
};

// Owns the settings store, the clock, the bus with one device and the camera, torn down in the
// reverse order: the camera goes while its device is still there.
class ModelRig {
 public:
  explicit ModelRig(RigOptions options = {}) : options_(options) {
    if (options.realTime)
      real_ = std::make_unique<sim::RealTimeClock>();
    else
      virtual_ = std::make_unique<sim::VirtualClock>();
    sim::SimConfig config;
    config.productId = options.productId;
    config.bcdDevice = options.revision;
    config.maxPacket = sim::MaxPacketFor(options.productId);
    device_ = bus_.add(clock(), config, sim::FamilyFor(options.productId).make());
    if (virtual_) {
      virtual_->observeSleeps([this](uint32_t ms) {
        auto e = sim::Entry(sim::LogKind::Pause, ms);
        e.timeMs = virtual_->now();
        device_->log().add(std::move(e));
      });
    }
    SetWinUsbApi(&sim::SimWinUsbApi());
  }
  ModelRig(const BuiltRow& row, bool realTime = false)
      : ModelRig(RigOptions{.productId = row.productId, .realTime = realTime}) {}
  ~ModelRig() {
    close();
    SetWinUsbApi(nullptr);
  }
  ModelRig(const ModelRig&) = delete;
  ModelRig& operator=(const ModelRig&) = delete;

  // The catalogue's camera for the device's id behind prefix (0: none); null when refused.
  CmosCamera* open(WCHAR16 prefix = ZX_W('!')) {
    close();
    return adopt(OpenCameraById(id(prefix).c_str(), ModelTable()));
  }
  WString id(WCHAR16 prefix) {
    WString id = prefix ? WString(1, prefix) : WString();
    return id +
           (options_.flavour == Flavour::Kernel ? device_->kernelId() : device_->interfaceId());
  }
  CmosCamera* adopt(BaseImpl* camera) {
    close();
    camera_ = camera;
    return dynamic_cast<CmosCamera*>(camera_);
  }
  void close() {
    delete camera_;
    camera_ = nullptr;
  }
  CmosCamera& camera() { return *dynamic_cast<CmosCamera*>(camera_); }
  BaseImpl* base() { return camera_; }
  CmosHelper& helper() { return camera().pipelineHelper(); }

  // As a stream start leaves it: device open, the sensor programmed at index and streaming.
  void startSensor(uint32_t index) {
    ASSERT_EQ(camera().stream().openDevice(), S_OK);
    ASSERT_EQ(camera().OpenCamera(index), S_OK);
    camera().device().bSystemInit(3);
  }
  // What a stream stop and start do to the sensor, without the stream's threads.
  void restart(uint32_t index) {
    camera().stream().finishPipeline();
    camera().StopSensor();
    startSensor(index);
    camera().stream().startPipeline();
  }

  // The pipeline state's exposure and gain, handed to the sensor as the AE thread would.
  void setExposure(uint32_t us) {
    {
      std::lock_guard<platform::RecursiveLock> hold(*helper().ctx8->mtxSettings);
      helper().ctx8->settings.expoTime = us;
    }
    ExpoProcTime(helper(), 0);
  }

  // Counts the device opens from now on.
  void countOpens() {
    platform::SetDeviceOpener([this](const WString& path, uint32_t* error) {
      ++opens_;
      return bus_.open(path, error);
    });
  }
  int opens() const { return opens_.load(); }

  sim::Clock& clock() { return virtual_ ? static_cast<sim::Clock&>(*virtual_) : *real_; }
  sim::SimCamera& device() { return *device_; }
  sim::SimLog& log() { return device_->log(); }
  RecordingRegistry& registry() { return static_cast<RecordingRegistry&>(registry_.get()); }

  uint16_t sensorReg(uint16_t address) {
    return device_->withFamily([&](sim::SensorFamily& f) { return f.reg(address); });
  }
  uint32_t sensorLineUs() {
    return device_->withFamily([](sim::SensorFamily& f) { return f.lineUs(); });
  }
  uint32_t sensorExposureUs() {
    return device_->withFamily([](sim::SensorFamily& f) { return f.exposureUs(); });
  }
  uint32_t sensorGain() {
    return device_->withFamily([](sim::SensorFamily& f) { return f.gainPercent(); });
  }

  // Register writes, pauses and pipe operations since the log was last cleared.
  std::vector<std::string> traffic() {
    std::vector<std::string> out;
    for (const sim::LogEntry& e : log().entries()) {
      if (e.kind == sim::LogKind::RegisterWrite)
        out.push_back(WriteText(uint16_t(e.code), e.value));
      if (e.kind == sim::LogKind::Pause) out.push_back("wait " + std::to_string(e.code));
      if (e.kind == sim::LogKind::PipeOp) out.push_back(e.text);
      if (e.kind == sim::LogKind::FpgaValue) out.push_back("fpga " + std::to_string(e.value));
    }
    return out;
  }
  std::vector<uint32_t> writesTo(uint16_t reg) {
    std::vector<uint32_t> out;
    for (const sim::LogEntry& e : log().ofKind(sim::LogKind::RegisterWrite))
      if (e.code == reg) out.push_back(e.value);
    return out;
  }

  static std::string WriteText(uint16_t reg, uint32_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%04X=%u", reg, value);
    return text;
  }
  // Programs as traffic() shows them.
  static std::vector<std::string> Describe(std::initializer_list<std::span<const RegStep>> parts) {
    std::vector<std::string> out;
    for (std::span<const RegStep> part : parts)
      for (const RegStep& s : part)
        out.push_back(s.kind == RegStep::Kind::Wait ? "wait " + std::to_string(s.value)
                                                    : WriteText(s.reg, s.value));
    return out;
  }

 private:
  RigOptions options_;
  platform::ScopedRegistry registry_{std::make_unique<RecordingRegistry>()};
  std::unique_ptr<sim::VirtualClock> virtual_;
  std::unique_ptr<sim::RealTimeClock> real_;
  sim::SimBus bus_;
  std::shared_ptr<sim::SimCamera> device_;
  std::atomic<int> opens_{0};
  BaseImpl* camera_ = nullptr;
};

inline bool Near(uint32_t actual, uint32_t expected, uint32_t tolerance) {
  return uint32_t(std::abs(int64_t(actual) - int64_t(expected))) <= tolerance;
}

// One line of the sensor in microseconds, rounded up: the exposure's resolution.
inline uint32_t LineUs(ModelRig& rig) {
  return rig.sensorLineUs();
}

}  // namespace testing_models
