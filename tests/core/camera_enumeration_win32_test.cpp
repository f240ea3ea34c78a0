// The system device directory as Wine presents it: no camera, but real device links.
#include <gtest/gtest.h>

#include "core/camera_enumeration.h"
#include "models/camera_defaults.h"
#include "platform/device_directory.h"

namespace {

TEST(EnumerationWin32, SystemDirectory) {
  platform::DeviceDirectory& directory = platform::CurrentDeviceDirectory();
  EXPECT_TRUE(directory.DosNameExists(ZX_W("C:")));
  EXPECT_FALSE(directory.DosNameExists(ZX_W("lumorix-0-c310")));
  EXPECT_TRUE(directory.InterfacePaths(kCameraInterfaceClass).empty());
  const platform::OsVersionInfo os = directory.OsVersion();
  EXPECT_TRUE(os.major > 6 || (os.major == 6 && os.minor >= 1)) << os.major << "." << os.minor;
}

TEST(EnumerationWin32, NoCameraOnTheRealCatalogue) {
  CameraDeviceRecord records[kMaxCameraRecords] = {};
  EXPECT_EQ(EnumerateCameras(records), 0u);
  EXPECT_EQ(EnumerateCameras(nullptr), 0u);
  EXPECT_EQ(EnumerateCamerasV1(records), 0u);
}

}  // namespace
