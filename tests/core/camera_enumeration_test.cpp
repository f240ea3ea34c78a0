// Enumeration over a fake device directory, and opening by id.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/base_impl.h"
#include "core/camera_enumeration.h"
#include "core/camera_opening.h"
#include "platform/utf16.h"
#include "tests/support/counting_factory.h"
#include "tests/support/recording_directory.h"
#include "tests/support/test_catalogue.h"

namespace {

WString W(const std::string& text) {
  return platform::Utf8ToWide(text);
}
std::string U(const WCHAR16* text) {
  return platform::WideToUtf8(text);
}

const std::string kGuid = "#{05476310-0000-0000-0000-000000000000}";

class EnumerationTest : public ::testing::Test {
 protected:
  EnumerationTest() {
    CountingFactory::reset();
    cam310 = &catalogue.add(ZX_W("ZMS-A"), {0xc310, 0, 0xd310}, CountingFactory::Create);
    camB = &catalogue.add(ZX_W("ZMS-B"), {0x0001}, CountingFactory::Create);
  }
  void addPath(const std::string& path) {
    directory.memory.addInterfacePath(kCameraInterfaceClass, W(path));
  }
  // Each enumerated record's id, or with names its display name.
  std::vector<std::string> enumerate(bool names = false) {
    CameraDeviceRecord records[kMaxCameraRecords] = {};
    const uint32_t n = EnumerateCameras(records, catalogue.get(), directory);
    std::vector<std::string> out;
    for (uint32_t i = 0; i < n; ++i)
      out.push_back(U(names ? records[i].displayName : records[i].id));
    return out;
  }
  // The one factory call an open made: its id, whether it had a settings root, and its flags.
  void expectOneCall(const char* what, bool root, uint8_t flagA) {
    ASSERT_EQ(CountingFactory::calls().size(), 1u) << what;
    const FactoryCall& call = CountingFactory::calls()[0];
    EXPECT_EQ(call.settingsRoot.has_value(), root) << what;
    EXPECT_EQ(call.settingsRoot.value_or(kSettingsRoot), WString(kSettingsRoot));
    EXPECT_EQ(call.flagA, flagA) << what;
    EXPECT_EQ(call.info, cam310->info);
  }

  TestCatalogue catalogue;
  RecordingDirectory directory;
  const ModelEntry* cam310;
  const ModelEntry* camB;
};

TEST_F(EnumerationTest, ProbesEveryNonZeroProductIdAndInstance) {
  directory.memory.addDosName(ZX_W("lumorix-3-c310"));
  CameraDeviceRecord records[kMaxCameraRecords] = {};
  ASSERT_EQ(EnumerateCameras(records, catalogue.get(), directory), 1u);
  EXPECT_EQ(U(records[0].id), "3-c310");
  EXPECT_EQ(U(records[0].displayName), "ZMS-A");
  EXPECT_EQ(records[0].model.info, cam310->info);

  std::vector<WString> expected;
  for (const char* pid : {"c310", "d310", "0001"})
    for (int instance = 0; instance < 8; ++instance)
      expected.push_back(W("lumorix-" + std::to_string(instance) + "-" + pid));
  EXPECT_EQ(directory.probes, expected);
}

TEST_F(EnumerationTest, InterfacePathsFromWindows7On) {
  directory.memory.addDosName(ZX_W("lumorix-0-0001"));
  addPath("\\\\?\\usb#vid_0547&pid_c310#5&1a2b&0&1" + kGuid);
  struct Case {
    uint32_t major, minor;
    size_t count;
  };
  for (const Case c :
       {Case{6, 0, 1}, Case{5, 2, 1}, Case{6, 1, 2}, Case{6, 2, 2}, Case{10, 0, 2}}) {
    directory.memory.setOsVersion(c.major, c.minor);
    EXPECT_EQ(enumerate().size(), c.count) << c.major << "." << c.minor;
  }
}

TEST_F(EnumerationTest, InterfacePathsParseOrAreSkipped) {
  const std::string good = "\\\\?\\usb#vid_0547&pid_c310#5&1a2b&0&1";
  const std::string upper = "\\\\?\\USB#VID_0547&PID_D310#6&FF&0&2";
  addPath(good + kGuid);
  addPath(upper + "#{05476310-0000-0000-0000-000000000000}");
  addPath("\\\\?\\usb#vid_0547&pid_c310#7&1&0&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  addPath("\\\\?\\usb#vid_0547&pid_0000#7&1&0&1" + kGuid);
  addPath("\\\\?\\usb#vid_0000&pid_c310#7&1&0&1" + kGuid);
  addPath("\\\\?\\usb#vid_0547&pid_7777#7&1&0&1" + kGuid);
  addPath("\\\\?\\Usb#vid_0547&pid_c310#7&1&0&1" + kGuid);                   // mixed case
  addPath("\\\\?\\usb#vid_0547&pid_c310#" + std::string(38, 'x') + kGuid);   // id of 64
  addPath("\\\\?\\usb#vid_0547&pid_c310#" + std::string(37, 'x') + kGuid);   // id of 63: fits
  addPath("\\\\?\\usb#vid_0547&pid_c310#" + std::string(600, 'x') + kGuid);  // over 512
  addPath("\\\\?\\usb#vid_0547&pid_c310" + kGuid);                           // no instance part
  const std::vector<std::string> expected = {good, upper,
                                             "\\\\?\\usb#vid_0547&pid_c310#" + std::string(37, 'x'),
                                             "\\\\?\\usb#vid_0547&pid_c310"};
  EXPECT_EQ(enumerate(), expected);
}

TEST_F(EnumerationTest, DuplicateNamesAreNumbered) {
  // Two model classes of one name (as the CCD generations are) are told apart like two cameras.
  catalogue.add(ZX_W("ZMS-A"), {0x0002}, CountingFactory::Create);
  struct Case {
    std::vector<std::string> dosNames;
    std::vector<std::string> paths;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {{"lumorix-0-c310", "lumorix-1-c310"}, {}, {"ZMS-A #1", "ZMS-A #2"}},
      {{"lumorix-0-c310", "lumorix-0-0001"},
       {"\\\\?\\usb#vid_0547&pid_d310#1" + kGuid},
       {"ZMS-A #1", "ZMS-B", "ZMS-A #2"}},
      {{"lumorix-0-c310", "lumorix-5-c310", "lumorix-2-d310"},
       {},
       {"ZMS-A #1", "ZMS-A #2", "ZMS-A #3"}},
      {{"lumorix-0-c310", "lumorix-0-0001"}, {}, {"ZMS-A", "ZMS-B"}},
      {{"lumorix-0-0002", "lumorix-0-0001", "lumorix-1-c310"},
       {},
       {"ZMS-A #1", "ZMS-B", "ZMS-A #2"}},
  };
  for (const Case& c : cases) {
    directory.memory.clear();
    for (const std::string& name : c.dosNames) directory.memory.addDosName(W(name));
    for (const std::string& path : c.paths) addPath(path);
    EXPECT_EQ(enumerate(true), c.names);
  }
}

TEST_F(EnumerationTest, LongNamesKeepTheirSuffixWithin63) {
  const WString longName = W(std::string(70, 'N'));
  catalogue.add(longName.c_str(), {0x0042}, CountingFactory::Create);
  directory.memory.addDosName(ZX_W("lumorix-0-0042"));
  directory.memory.addDosName(ZX_W("lumorix-1-0042"));
  const std::vector<std::string> names = enumerate(true);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], std::string(63 - 3, 'N') + " #1");
  EXPECT_EQ(names[1], std::string(63 - 3, 'N') + " #2");
}

TEST_F(EnumerationTest, AtMostSixteenRecords) {
  for (int i = 0; i < 8; ++i)
    directory.memory.addDosName(W("lumorix-" + std::to_string(i) + "-c310"));
  for (int i = 0; i < 8; ++i)
    directory.memory.addDosName(W("lumorix-" + std::to_string(i) + "-d310"));
  directory.memory.addDosName(ZX_W("lumorix-0-0001"));  // the seventeenth
  CameraDeviceRecord records[kMaxCameraRecords + 1] = {};
  EXPECT_EQ(EnumerateCameras(records, catalogue.get(), directory), 16u);
  EXPECT_EQ(records[16].id[0], 0) << "nothing written past 16 records";
  EXPECT_EQ(EnumerateCameras(nullptr, catalogue.get(), directory), 16u);
  EXPECT_EQ(EnumerateCamerasV1(nullptr, catalogue.get(), directory), 16u);
}

TEST_F(EnumerationTest, V1RecordsCarryTheOlderModelRecord) {
  directory.memory.addDosName(ZX_W("lumorix-0-0001"));
  directory.memory.addDosName(ZX_W("lumorix-2-c310"));
  CameraDeviceRecord records[kMaxCameraRecords] = {};
  ASSERT_EQ(EnumerateCamerasV1(records, catalogue.get(), directory), 2u);
  EXPECT_EQ(U(records[0].id), "2-c310");
  EXPECT_EQ(records[0].model.infoV1, cam310->infoV1);
  EXPECT_EQ(U(records[1].displayName), "ZMS-B");
  EXPECT_EQ(records[1].model.infoV1, camB->infoV1);
}

// --- Opening ----------------------------------------------------------------------------------

using OpeningTest = EnumerationTest;

TEST_F(OpeningTest, PrefixesChooseRootAndFlags) {
  struct Case {
    const char* prefix;
    bool root;
    uint8_t flagA, flagB;
  };
  const Case cases[] = {{"", false, 1, 1},
                        {"!", true, 1, 1},
                        {"&", true, 0, 1},
                        {"$", true, 0, 0},
                        {"@", false, 0, 1}};
  for (const Case& c : cases) {
    CountingFactory::reset();
    const WString id = W(std::string(c.prefix) + "3-c310");
    BaseImpl* camera = OpenCameraById(id.c_str(), catalogue.get());
    EXPECT_NE(camera, nullptr) << c.prefix;
    delete camera;
    expectOneCall(c.prefix, c.root, c.flagA);
    EXPECT_EQ(U(CountingFactory::calls()[0].id.c_str()), "3-c310");
    EXPECT_EQ(CountingFactory::calls()[0].flagB, c.flagB) << c.prefix;
  }
}

TEST_F(OpeningTest, DevicePathIdsOpenByTheirProductId) {
  for (const char* id : {"!\\\\?\\usb#vid_0547&pid_0001#5&1", "\\\\?\\USB#VID_0547&PID_D310#5&1"}) {
    CountingFactory::reset();
    delete OpenCameraById(W(id).c_str(), catalogue.get());
    ASSERT_EQ(CountingFactory::calls().size(), 1u) << id;
  }
  EXPECT_EQ(CountingFactory::calls()[0].info, cam310->info);
}

TEST_F(OpeningTest, BadIdsOpenNothingAndCallNoFactory) {
  const char* ids[] = {"",
                       "!",
                       "&",
                       "!9-7777",
                       "3-0000",
                       "3-",
                       "-c310",
                       "x-c310",
                       "3-c3101",
                       "3_c310",
                       "99999999999-c310",
                       "\\\\?\\usb#vid_0000&pid_c310#1",
                       "\\\\?\\usb#vid_0547&pid_0000#1",
                       "\\\\?\\usb#vid_0547",
                       "\\garbage"};
  for (const char* id : ids) {
    CountingFactory::reset();
    EXPECT_EQ(OpenCameraById(W(id).c_str(), catalogue.get()), nullptr) << id;
    EXPECT_TRUE(CountingFactory::calls().empty()) << id;
  }
  EXPECT_EQ(OpenCameraById(nullptr, catalogue.get()), nullptr);
}

TEST_F(OpeningTest, RefusingFactoryGivesNull) {
  CountingFactory::refuse(true);
  EXPECT_EQ(OpenCameraById(ZX_W("!3-c310"), catalogue.get()), nullptr);
  EXPECT_EQ(CountingFactory::calls().size(), 1u);
}

TEST_F(OpeningTest, OpenFirstCamera) {
  EXPECT_EQ(OpenFirstCamera(ZX_W('&'), catalogue.get(), directory), nullptr);
  EXPECT_TRUE(CountingFactory::calls().empty());

  directory.memory.addDosName(ZX_W("lumorix-4-0001"));
  directory.memory.addDosName(ZX_W("lumorix-6-c310"));
  struct Case {
    WCHAR16 prefix;
    bool root;
    uint8_t flagA;
  };
  for (const Case c : {Case{ZX_W('&'), true, 0}, Case{0, false, 1}, Case{ZX_W('@'), false, 0}}) {
    CountingFactory::reset();
    BaseImpl* camera = OpenFirstCamera(c.prefix, catalogue.get(), directory);
    EXPECT_NE(camera, nullptr);
    delete camera;
    expectOneCall("first camera", c.root, c.flagA);
    // Catalogue order: ZMS-A before ZMS-B.
    EXPECT_EQ(U(CountingFactory::calls()[0].id.c_str()), "6-c310");
  }
}

}  // namespace
