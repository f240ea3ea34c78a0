// The transport defaults a model inherits when it overrides only what touches the device.
#include <gtest/gtest.h>

#include <functional>

#include "usb/usb_model_hooks.h"

namespace {

class DeviceOnlyModel : public UsbModelHooks, public CmosRequestHooks {
 public:
  HRESULT bSystemInit(uint8_t) override { return S_OK; }
  bool bAltSensor() override { return false; }
  void IspEnWB(bool) override {}
  void IspEnBB(bool) override {}
  void IspSetWB(const int32_t[3]) override {}
  void IspSetBB(const uint16_t[3]) override {}
  void IspEnMatrix(bool) override {}
  void IspSetMatrix(const double[9]) override {}
  void IspSetAWBRect(uint16_t, uint16_t, uint16_t, uint16_t) override {}
  void IspSetAERect(uint16_t, uint16_t, uint16_t, uint16_t) override {}
  void IspSetABBRect(uint16_t, uint16_t, uint16_t, uint16_t) override {}
  void IspSetLut(const uint16_t*, uint32_t) override {}
  bool bIspHasABB() override { return false; }
  bool IspSetLutEx() override { return false; }
  void bDMAClear() override {}
  void bWriteDdrRealtime(bool) override {}
  HRESULT bST4PulseGuide(uint8_t, uint32_t) override { return S_OK; }
  HRESULT bReload(int32_t) override { return S_OK; }
  HRESULT bSysFini() override { return S_OK; }
  bool OnGrabPacket(GrabState*, uint32_t, void*) override { return true; }
};

TEST(ModelContracts, TransportDefaults) {
  DeviceOnlyModel m;
  int32_t value = 0;
  int16_t tenths = 0;
  struct Case {
    const char* name;
    std::function<uint64_t()> call;
    uint64_t expected;
  };
  const uint64_t notImpl = static_cast<uint32_t>(0x80004001);
  const Case cases[] = {
      {"bTrigger", [&] { return uint32_t(m.bTrigger(1)); }, notImpl},
      {"GetTemperature", [&] { return uint32_t(m.GetTemperature(&tenths)); }, notImpl},
      {"SetTemperature", [&] { return uint32_t(m.SetTemperature(-100)); }, notImpl},
      {"GetGrabRetry", [&] { return m.GetGrabRetry(); }, 1},
      {"bDeferSpeed", [&] { return uint64_t{m.bDeferSpeed()}; }, 0},
      {"GetMaxFrameRate", [&] { return m.GetMaxFrameRate(2); }, 1},
      {"GetPreciseFrameRateMax", [&] { return m.GetPreciseFrameRateMax(); }, 0},
      {"GetPreciseFrameRateMin", [&] { return m.GetPreciseFrameRateMin(); }, 1},
      {"SetPreciseFrameRate", [&] { return uint32_t(m.SetPreciseFrameRate(10)); }, notImpl},
      {"SetBandwidth", [&] { return uint32_t(m.SetBandwidth(50, true)); }, notImpl},
      {"GetTecInfo", [&] { return m.GetTecInfo(); }, 0xFFFFFFFF},
      {"GetVenWriteReq", [&] { return m.GetVenWriteReq(); }, 0xEE},
      {"GetVenReadReq", [&] { return m.GetVenReadReq(); }, 0xEF},
      {"SetOption36", [&] { return uint32_t(m.SetOption36(1)); }, notImpl},
      {"SetOption37", [&] { return uint32_t(m.SetOption37(1)); }, notImpl},
      {"SetOption38", [&] { return uint32_t(m.SetOption38(1)); }, notImpl},
      {"GetOption36", [&] { return uint32_t(m.GetOption36(&value)); }, notImpl},
      {"GetOption37", [&] { return uint32_t(m.GetOption37(&value)); }, notImpl},
      {"GetOption38", [&] { return uint32_t(m.GetOption38(&value)); }, notImpl},
      {"GetOption39", [&] { return uint32_t(m.GetOption39(&value)); }, notImpl},
      {"GetFocusPosition", [&] { return m.GetFocusPosition(); }, 0},
      {"bCanReload", [&] { return uint64_t{m.bCanReload()}; }, 0},
      {"GetSensorReadReq", [&] { return m.GetSensorReadReq(); }, 0x0A},
      {"GetSensorWriteReq", [&] { return m.GetSensorWriteReq(); }, 0x0B},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.name;
}

TEST(ModelContracts, DefaultSensorWindowIsZeroAndReturnsTheOutput) {
  DeviceOnlyModel m;
  const SensorRect requested{8, 8, 64, 64};
  SensorRect out{1, 2, 3, 4};
  EXPECT_EQ(m.GetSensorRoi(&requested, &out), &out);
  EXPECT_EQ(out.left | out.top | out.right | out.bottom, 0u);
}

}  // namespace
