// The RGB24 type of a resolution carries the format numbers MediaNumbers proves, and is refused
// where no type can describe the size.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include "dshow/pins/media_numbers.h"
#include "dshow/pins/video_type.h"

namespace {

TEST(VideoType, Rgb24TypeOfAResolution) {
  struct Case {
    LONG width, height;
    uint32_t fps;
    bool offered;
  } cases[] = {
      {640, 480, 30, true},
      {640, 480, 0, true},     // no rate named: 30
      {1278, 2, 15, true},     // padded rows
      {4096, 3288, 30, true},  // the bit rate saturates
      {320, -240, 30, false},  // top-down: sized, never offered
      {0, 480, 30, false},
      {-4, 4, 30, false},
      {0x7FFFFFFF, 0x7FFFFFFF, 30, false},  // too large for a sample
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "@" << c.fps);
    CMediaType mt;
    ASSERT_EQ(FillRgb24Type(&mt, c.width, c.height, c.fps), c.offered ? S_OK : E_INVALIDARG);
    if (!c.offered) continue;
    const uint32_t size = media::rgb24ImageSize(c.width, c.height);
    const VIDEOINFOHEADER* vih = Rgb24VideoHeader(mt);
    ASSERT_NE(vih, nullptr);
    EXPECT_FALSE(mt.bTemporalCompression);
    EXPECT_EQ(mt.GetSampleSize(), size);
    EXPECT_EQ(vih->AvgTimePerFrame, media::averageTimePerFrame(c.fps));
    EXPECT_EQ(vih->dwBitRate, media::bitRate(size, c.fps));
    EXPECT_EQ(vih->bmiHeader.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(vih->bmiHeader.biBitCount, 24);
    EXPECT_EQ(vih->bmiHeader.biCompression, DWORD{BI_RGB});
    EXPECT_EQ(vih->bmiHeader.biWidth, c.width);
    EXPECT_EQ(vih->bmiHeader.biHeight, c.height);
    EXPECT_EQ(vih->bmiHeader.biSizeImage, size);
    EXPECT_EQ(Rgb24FrameBytes(mt), size);
  }
}

}  // namespace
