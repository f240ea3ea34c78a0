// Opening a device by either id form, the descriptor, pipe and port operations, the failure latch.
#include <gtest/gtest.h>

#include "sim_fixture.h"
#include "usb/device_id.h"
#include "usb/ioctl_codes.h"

using namespace testing_usb;
using sim::LogKind;

namespace {

class UsbOpen : public ::testing::TestWithParam<Flavour> {};

TEST(UsbOpenIds, BadIdsFailWithoutAnyOpen) {
  SimRig rig(Flavour::Kernel);
  int opens = 0;
  platform::SetDeviceOpener([&](const WString&, uint32_t* error) {
    ++opens;
    *error = 5;
    return std::unique_ptr<platform::DeviceIo>();
  });
  const WCHAR16* const bad[] = {ZX_W(""),
                                ZX_W("\\\\?\\usb#vid_0000&pid_c310#x"),
                                ZX_W("\\\\?\\usb#vid_0547&pid_0000#x"),
                                ZX_W("\\\\?\\Usb#vid_0547&pid_c310#x"),
                                ZX_W("0-"),
                                ZX_W("-c310"),
                                ZX_W("0-c310x"),
                                ZX_W("lumorix")};
  for (const WCHAR16* id : bad) {
    CUsb usb(0x10000, 2, nullptr, id);
    EXPECT_EQ(usb.OpenInternalHandle(), E_FAIL);
    EXPECT_FALSE(usb.isOpen());
  }
  EXPECT_EQ(opens, 0);
  platform::SetDeviceOpener(nullptr);
}

TEST(UsbOpenIds, PathsFollowTheIdForm) {
  EXPECT_EQ(usb::KernelDevicePath(ZX_W("0-c310")), WString(ZX_W("\\\\.\\lumorix-0-c310")));
  EXPECT_EQ(usb::WinUsbDevicePath(ZX_W("\\\\?\\usb#vid_0547&pid_c310#a")),
            WString(ZX_W("\\\\?\\usb#vid_0547&pid_c310#a#{05476310-0000-0000-0000-000000000000}")));
  const auto upper = usb::ParseInterfacePath(ZX_W("\\\\?\\USB#VID_0547&PID_C310#a"));
  ASSERT_TRUE(upper);
  EXPECT_EQ(upper->vendorId, 0x0547);
  EXPECT_EQ(upper->productId, 0xC310);
  const auto kernel = usb::ParseKernelId(ZX_W("12-4310"));
  ASSERT_TRUE(kernel);
  EXPECT_EQ(kernel->instance, 12u);
  EXPECT_EQ(kernel->productId, 0x4310);
}

TEST_P(UsbOpen, OpensAndReadsTheRevisionFromTheDescriptor) {
  sim::SimConfig config;
  config.bcdDevice = 0x0A07;
  SimRig rig(GetParam(), config);
  CUsb usb(0x10000, 2, nullptr, rig.id().c_str());
  ASSERT_EQ(usb.OpenInternalHandle(), S_OK);
  EXPECT_EQ(usb.kernelDriver(), GetParam() == Flavour::Kernel);
  EXPECT_EQ(usb.revision(), 0x0A07);
  EXPECT_EQ(usb.productId(), 0xC310);
  if (GetParam() == Flavour::WinUsb) {
    const auto policies = rig.camera->pipePolicies();
    ASSERT_EQ(policies.size(), 1u);
    EXPECT_EQ(policies[0].pipe, 0x82);
    EXPECT_EQ(policies[0].policy, platform::kWinUsbRawIo);
    EXPECT_EQ(policies[0].value, std::vector<uint8_t>{1});
  }
}

TEST_P(UsbOpen, RefusedMissingAndUnpluggedDevicesGiveTheirError) {
  SimRig rig(GetParam());
  rig.camera->refuseOpen(5);
  CUsb usb(0x10000, 2, nullptr, rig.id().c_str());
  EXPECT_EQ(usb.OpenInternalHandle(), HRESULT_FROM_WIN32(5));
  rig.camera->refuseOpen(0);
  rig.camera->setUnplugged(true);
  EXPECT_EQ(usb.OpenInternalHandle(), HRESULT_FROM_WIN32(2));
  EXPECT_EQ(usb.bInitUSB(false), HRESULT_FROM_WIN32(2));
  EXPECT_FALSE(usb.isOpen());
  // Unplugged after opening: the I/O fails.
  rig.camera->setUnplugged(false);
  ASSERT_EQ(usb.OpenInternalHandle(), S_OK);
  rig.camera->setUnplugged(true);
  EXPECT_EQ(usb.bSystemInit(1), HRESULT_FROM_WIN32(1167));
  EXPECT_EQ(usb.AbortPipe(2), HRESULT_FROM_WIN32(1167));
}

TEST_P(UsbOpen, OperationsWithoutADeviceAreWrongState) {
  SimRig rig(GetParam());
  CUsb usb(0x10000, 2, nullptr, rig.id().c_str());
  const usb::VenReqHeader h{usb::Direction::Out, 1, 0, 0};
  EXPECT_EQ(usb.VenReq(&h, nullptr, 0, nullptr), E_UNEXPECTED);
  EXPECT_EQ(usb.AbortPipe(2), E_UNEXPECTED);
  EXPECT_EQ(usb.ResetPipe(), E_UNEXPECTED);
  EXPECT_EQ(usb.bGetDriverState(), 0xFFFFFFFFu);
  usb.bFiniUSB();  // safe while closed
}

INSTANTIATE_TEST_SUITE_P(Flavours, UsbOpen, ::testing::Values(Flavour::Kernel, Flavour::WinUsb),
                         flavourName);

TEST(UsbOpenKernel, PipeAndPortOperationsSendTheirControls) {
  SimRig rig(Flavour::Kernel);
  CUsb usb(0x10000, 2, nullptr, rig.id().c_str());
  ASSERT_EQ(usb.OpenInternalHandle(), S_OK);
  rig.camera->log().clear();
  EXPECT_EQ(usb.AbortPipe(2), S_OK);
  EXPECT_EQ(usb.ResetPipe(), S_OK);
  EXPECT_EQ(usb.ResetPort(), S_OK);
  usb.SetInterface(7);
  EXPECT_EQ(usb.bGetDriverState(), 0u);
  usb.bSetDriverState();
  EXPECT_EQ(usb.bGetDriverState(), 1u);
  const auto ioctls = rig.camera->log().ofKind(LogKind::Ioctl);
  struct Expected {
    uint32_t code;
    std::vector<uint8_t> input;
  };
  const Expected expected[] = {
      {usb::kIoctlAbortPipe, {0, 0, 0, 0}}, {usb::kIoctlResetPipe, {2, 0, 0, 0}},
      {usb::kIoctlResetPort, {}},           {usb::kIoctlSelectAltSetting, {0, 1}},
      {usb::kIoctlGetDriverState, {}},      {usb::kIoctlSetDriverState, {1, 0, 0, 0}},
      {usb::kIoctlGetDriverState, {}}};
  ASSERT_EQ(ioctls.size(), std::size(expected));
  for (size_t i = 0; i < ioctls.size(); ++i) {
    EXPECT_EQ(ioctls[i].code, expected[i].code) << i;
    EXPECT_EQ(ioctls[i].payload, expected[i].input) << i;
  }
}

TEST(UsbOpenWinUsb, KernelOnlyOperationsDoNothing) {
  SimRig rig(Flavour::WinUsb);
  CUsb usb(0x10000, 2, nullptr, rig.id().c_str());
  ASSERT_EQ(usb.OpenInternalHandle(), S_OK);
  rig.camera->log().clear();
  EXPECT_EQ(usb.bGetDriverState(), 1u);
  usb.SetInterface(0);
  usb.bSetDriverState();
  EXPECT_EQ(usb.ResetPort(), E_UNEXPECTED);
  EXPECT_TRUE(rig.camera->log().entries().empty());
  EXPECT_EQ(usb.AbortPipe(2), S_OK);
  EXPECT_EQ(rig.camera->log().pipeTimeline(), std::vector<std::string>{"abort"});
}

// The latch: set by a probe that finds the device failed, kept until the next open. The kernel
// driver asks the device about error 31 (and only then); WinUSB latches on it without asking.
TEST_P(UsbOpen, FailureLatchLastsUntilTheNextOpen) {
  const bool asks = GetParam() == Flavour::Kernel;
  SimRig rig(GetParam());
  CUsb usb(0x10000, 2, nullptr, rig.id().c_str());
  ASSERT_EQ(usb.OpenInternalHandle(), S_OK);
  EXPECT_EQ(usb.bProbeGenFailure(31), !asks);  // the device says it is fine
  ASSERT_EQ(usb.OpenInternalHandle(), S_OK);
  rig.camera->setGenFailure(true);
  EXPECT_FALSE(usb.bProbeGenFailure(121));
  EXPECT_FALSE(usb.bProbeGenFailure(995));
  EXPECT_TRUE(usb.bProbeGenFailure(31));
  rig.camera->setGenFailure(false);
  EXPECT_TRUE(usb.bProbeGenFailure(0));
  EXPECT_TRUE(usb.generalFailure());
  ASSERT_EQ(usb.OpenInternalHandle(), S_OK);
  EXPECT_FALSE(usb.generalFailure());
  EXPECT_EQ(usb.bProbeGenFailure(31), !asks);
}

}  // namespace
