// CMediaType copies, task-memory media types and partial matching.
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

// A video type whose format block tells sizes apart; the pins build the real ones.
CMediaType Video(LONG width, LONG height) {
  CMediaType mt(&MEDIATYPE_Video);
  mt.SetSubtype(&MEDIASUBTYPE_RGB24);
  mt.SetFormatType(&FORMAT_VideoInfo);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  EXPECT_NE(vih, nullptr);
  vih->bmiHeader.biWidth = width;
  vih->bmiHeader.biHeight = height;
  return mt;
}

const BITMAPINFOHEADER& Header(const AM_MEDIA_TYPE& mt) {
  return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
}

TEST(CMediaTypeTest, CopiesAreDeepAndIndependent) {
  CMediaType original = Video(320, 240);
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
  CMediaType mt = Video(64, 48);
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

TEST(CMediaTypeTest, PartialMatching) {
  const CMediaType full = Video(320, 240);
  const CMediaType other = Video(160, 120);
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
