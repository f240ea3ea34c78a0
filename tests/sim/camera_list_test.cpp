// The Wine host's camera list: ids, options, the chart option and what is refused.
#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "sim/camera_list.h"
#include "sim/usb3_31mp_family.h"

namespace {

TEST(SimCameraList, EntriesWithTheirOptions) {
  const auto cameras = sim::ParseCameraList(
      "0-c310:rev=3,scene=chart;1-4310:vid=0x1234,packet=512; 2-c310:scene=chart,reference=94000;");
  ASSERT_EQ(cameras.size(), 3u);

  const sim::CameraSetup& chart = cameras[0];
  EXPECT_EQ(chart.config.instance, 0u);
  EXPECT_EQ(chart.config.productId, 0xC310);
  EXPECT_EQ(chart.config.bcdDevice, 3);
  EXPECT_EQ(chart.content, sim::ContentKind::Chart);
  EXPECT_EQ(chart.scene.bayerOrder, 0);
  EXPECT_EQ(chart.scene.wbBase, (std::array<uint16_t, 3>{372, 256, 379}));
  EXPECT_EQ(chart.scene.referenceExposureUs, sim::SceneOptions{}.referenceExposureUs);

  const sim::CameraSetup& plain = cameras[1];
  EXPECT_EQ(plain.config.instance, 1u);
  EXPECT_EQ(plain.config.productId, 0x4310);
  EXPECT_EQ(plain.config.vendorId, 0x1234);
  EXPECT_EQ(plain.config.maxPacket, 512);
  EXPECT_EQ(plain.config.bcdDevice, sim::SimConfig{}.bcdDevice);
  EXPECT_EQ(plain.content, sim::ContentKind::Pattern);
  EXPECT_EQ(plain.scene.wbBase, (std::array<uint16_t, 3>{256, 256, 256}));

  EXPECT_EQ(cameras[2].config.instance, 2u);
  EXPECT_EQ(cameras[2].scene.referenceExposureUs, 94000u);
  EXPECT_EQ(cameras[2].content, sim::ContentKind::Chart);

  // The flat field as the 3.1 MP sensor sees it: its mosaic and response, like the chart.
  const sim::CameraSetup flat = sim::ParseCamera("3-c310:scene=flat");
  EXPECT_EQ(flat.content, sim::ContentKind::Flat);
  EXPECT_EQ(flat.scene.wbBase, chart.scene.wbBase);
  const sim::CameraSetup dark = sim::ParseCamera("4-c310:scene=dark");
  EXPECT_EQ(dark.content, sim::ContentKind::Dark);
  EXPECT_EQ(dark.scene.bayerOrder, chart.scene.bayerOrder);
}

// A mistyped entry must not come up as a camera with other settings than the ones written.
TEST(SimCameraList, MalformedEntriesAreRefused) {
  const char* const bad[] = {
      "0",                    // no product id
      "-c310",                // no instance
      "0-c31z",               // not hex
      "0-1c310",              // product id beyond 16 bits
      "0-c310:rev=3x",        // trailing text
      "0-c310:rev=70000",     // beyond 16 bits
      "0-c310:rev=-1",        // negative
      "0-c310:rev",           // no value
      "0-c310:scene=charts",  // unknown scene
      "0-c310:reference=0",   // nothing could be shown
      "0-c310:speed=3",       // unknown option
  };
  for (const char* entry : bad) {
    EXPECT_THROW(sim::ParseCamera(entry), std::invalid_argument) << entry;
    EXPECT_TRUE(sim::ParseCameraList(entry).empty()) << entry;
  }
  // The rest of a list survives a bad entry; a repeated id would clash with the first one.
  const auto cameras = sim::ParseCameraList("0-c310:rev=x;1-c310;1-c310:scene=chart;0-4310");
  ASSERT_EQ(cameras.size(), 2u);
  EXPECT_EQ(cameras[0].config.instance, 1u);
  EXPECT_EQ(cameras[0].content, sim::ContentKind::Pattern);
  EXPECT_EQ(cameras[1].config.productId, 0x4310);
}

}  // namespace
