// CMediaType copies, task-memory media types and the RGB24 helpers.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <atomic>

#include "dshow/base/cmediatype.h"
#include "dshow/base/mediatypes.h"

namespace {

class CountedUnknown : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  std::atomic<ULONG> refs{1};
};

CMediaType Rgb24(LONG width, LONG height) {
  CMediaType mt;
  EXPECT_EQ(InitRgb24VideoInfo(&mt, width, height, 333333), S_OK);
  return mt;
}

const BITMAPINFOHEADER& Header(const AM_MEDIA_TYPE& mt) {
  return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
}

TEST(CMediaTypeTest, CopiesAreDeepAndIndependent) {
  CMediaType original = Rgb24(320, 240);
  CMediaType copy(original);
  ASSERT_NE(copy.Format(), original.Format());
  EXPECT_TRUE(copy == original);
  reinterpret_cast<VIDEOINFOHEADER*>(copy.Format())->bmiHeader.biWidth = 1;
  EXPECT_EQ(Header(original).biWidth, 320);
  EXPECT_TRUE(copy != original);

  CMediaType assigned;
  assigned = original;
  EXPECT_TRUE(assigned == original);
  assigned = assigned;  // self-assignment keeps the format
  EXPECT_EQ(Header(assigned).biWidth, 320);
  assigned.InitMediaType();
  EXPECT_FALSE(assigned.IsValid());
  EXPECT_EQ(assigned.Format(), nullptr);
}

TEST(CMediaTypeTest, TaskMemoryTypesHoldTheirUnknown) {
  CountedUnknown unknown;
  CMediaType mt = Rgb24(64, 48);
  mt.pUnk = &unknown;
  AM_MEDIA_TYPE* created = CreateMediaType(&mt);
  ASSERT_NE(created, nullptr);
  EXPECT_NE(created->pbFormat, mt.pbFormat);
  EXPECT_EQ(unknown.refs.load(), 2u);
  AM_MEDIA_TYPE plain = {};
  ASSERT_EQ(CopyMediaType(&plain, created), S_OK);
  EXPECT_EQ(unknown.refs.load(), 3u);
  FreeMediaType(plain);
  EXPECT_EQ(plain.pbFormat, nullptr);
  EXPECT_EQ(plain.cbFormat, 0u);
  EXPECT_EQ(plain.pUnk, nullptr);
  DeleteMediaType(created);
  EXPECT_EQ(unknown.refs.load(), 1u);  // only mt's own reference is left
  DeleteMediaType(nullptr);
  EXPECT_EQ(CreateMediaType(nullptr), nullptr);
  EXPECT_EQ(CopyMediaType(nullptr, &mt), E_POINTER);
  mt.pUnk = nullptr;
  unknown.Release();
}

TEST(MediaTypesTest, Rgb24VideoInfo) {
  struct Case {
    LONG width, height;
    HRESULT hr;
    DWORD imageSize;
  };
  const Case cases[] = {
      {640, 480, S_OK, 921600},
      {320, 240, S_OK, 230400},
      {3, 2, S_OK, 24},  // rows of 9 -> 12
      {320, -240, S_OK, 230400},
      {0, 240, E_INVALIDARG, 0},
      {320, 0, E_INVALIDARG, 0},
      {-4, 4, E_INVALIDARG, 0},
      {0x7FFFFFFF, 0x7FFFFFFF, E_INVALIDARG, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    CMediaType mt;
    EXPECT_EQ(InitRgb24VideoInfo(&mt, c.width, c.height, 333333), c.hr);
    EXPECT_EQ(Rgb24ImageSize(c.width, c.height), c.imageSize);
    if (FAILED(c.hr)) continue;
    EXPECT_EQ(mt.majortype, MEDIATYPE_Video);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(mt.formattype, FORMAT_VideoInfo);
    EXPECT_EQ(mt.cbFormat, sizeof(VIDEOINFOHEADER));
    EXPECT_TRUE(mt.bFixedSizeSamples);
    EXPECT_EQ(mt.lSampleSize, c.imageSize);
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    EXPECT_EQ(vih->AvgTimePerFrame, 333333);
    EXPECT_EQ(vih->bmiHeader.biSize, 40u);
    EXPECT_EQ(vih->bmiHeader.biBitCount, 24);
    EXPECT_EQ(vih->bmiHeader.biSizeImage, c.imageSize);
    EXPECT_EQ(vih->bmiHeader.biHeight, c.height);
  }
}

TEST(CMediaTypeTest, PartialMatching) {
  const CMediaType full = Rgb24(320, 240);
  const CMediaType other = Rgb24(160, 120);
  CMediaType video(&MEDIATYPE_Video);
  CMediaType rgb24(&MEDIATYPE_Video);
  rgb24.SetSubtype(&MEDIASUBTYPE_RGB24);
  CMediaType audio(&MEDIATYPE_Audio);
  struct Case {
    const char* name;
    const CMediaType* partial;
    bool matches;
    bool partiallySpecified;
  };
  const Case cases[] = {
      {"empty", nullptr, true, true},
      {"major only", &video, true, true},
      {"major and subtype", &rgb24, true, true},
      {"other major", &audio, false, true},
      {"itself", &full, true, false},
      {"other format", &other, false, false},
  };
  const CMediaType empty;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CMediaType* partial = c.partial ? c.partial : &empty;
    EXPECT_EQ(full.MatchesPartial(partial) != FALSE, c.matches);
    EXPECT_EQ(partial->IsPartiallySpecified() != FALSE, c.partiallySpecified);
  }
}

}  // namespace
