// The pin connection protocol against downstream pins that refuse, skimp or block.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <vector>

#include "dshow/base/cmediatype.h"
#include "dshow/base/mediatypes.h"
#include "dshow/pins/video_type.h"
#include "tests/dshow/support/source_sink_test.h"

namespace {

class PinTest : public SourceSinkTest {
 protected:
  IPin* out(int n = 0) { return source_->Stream(n); }
  IPin* in() { return sink_->Pin(); }
  static CMediaType Rgb24(LONG width, LONG height) {
    CMediaType mt;
    FillRgb24Type(&mt, width, height, kTestFps);
    return mt;
  }
  static LONG WidthOf(IPin* pin) {
    AM_MEDIA_TYPE mt = {};
    if (pin->ConnectionMediaType(&mt) != S_OK) return -1;
    const LONG width = reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader.biWidth;
    FreeMediaType(mt);
    return width;
  }
};

struct ConnectCase {
  const char* name;
  GUID refusedSubtype;
  TestSinkPin::Allocator allocator;
  LONG askWidth;  // 0: no type given; -1: a partial type
  HRESULT expected;
  LONG connectedWidth;
};

const ConnectCase kConnectCases[] = {
    {"first offered type", GUID_NULL, TestSinkPin::Allocator::Own, 0, S_OK, 320},
    {"downstream refuses every type", MEDIASUBTYPE_RGB24, TestSinkPin::Allocator::Own, 0,
     VFW_E_NO_ACCEPTABLE_TYPES, -1},
    {"smaller buffers granted", GUID_NULL, TestSinkPin::Allocator::SmallerBuffers, 0, E_FAIL, -1},
    {"fewer buffers granted", GUID_NULL, TestSinkPin::Allocator::FewerBuffers, 0, E_FAIL, -1},
    {"no downstream allocator", GUID_NULL, TestSinkPin::Allocator::None, 0, S_OK, 320},
    {"exact second type", GUID_NULL, TestSinkPin::Allocator::Own, 160, S_OK, 160},
    {"exact type not offered", GUID_NULL, TestSinkPin::Allocator::Own, 640, VFW_E_TYPE_NOT_ACCEPTED,
     -1},
    {"partial type", GUID_NULL, TestSinkPin::Allocator::Own, -1, S_OK, 320},
};

TEST_F(PinTest, ConnectNegotiatesTypeAndAllocator) {
  for (const ConnectCase& c : kConnectCases) {
    SCOPED_TRACE(c.name);
    sink_->Pin()->refusedSubtype = c.refusedSubtype;
    sink_->Pin()->allocatorMode = c.allocator;
    CMediaType asked;
    if (c.askWidth > 0) asked = Rgb24(c.askWidth, c.askWidth * 3 / 4);
    if (c.askWidth < 0) asked.SetType(&MEDIATYPE_Video);
    EXPECT_EQ(out()->Connect(in(), c.askWidth ? &asked : nullptr), c.expected);
    EXPECT_EQ(WidthOf(out()), c.connectedWidth);
    EXPECT_EQ(WidthOf(in()), c.connectedWidth);
    ComPtr<IPin> peer;
    EXPECT_EQ(in()->ConnectedTo(peer.out()), c.connectedWidth > 0 ? S_OK : VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer.get(), c.connectedWidth > 0 ? out() : nullptr);
    out()->Disconnect();
    in()->Disconnect();
  }
}

// A pin of the same direction or none is refused; a connected pin refuses another connection and
// reconnects after a disconnect.
TEST_F(PinTest, RefusesWrongPeersAndReconnectsAfterDisconnect) {
  const CMediaType mt = Rgb24(320, 240);
  EXPECT_EQ(out(0)->Connect(out(1), nullptr), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(out(0)->ReceiveConnection(out(1), &mt), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(out(0)->Connect(nullptr, nullptr), E_POINTER);
  ASSERT_EQ(out()->Connect(in(), nullptr), S_OK);
  EXPECT_EQ(out()->Connect(in(), nullptr), VFW_E_ALREADY_CONNECTED);
  EXPECT_EQ(out()->Disconnect(), S_OK);
  EXPECT_EQ(in()->Disconnect(), S_OK);
  EXPECT_EQ(out()->Disconnect(), S_FALSE);
  CMediaType small = Rgb24(160, 120);
  ASSERT_EQ(out()->Connect(in(), &small), S_OK);
  EXPECT_EQ(WidthOf(out()), 160);
  // And the pin streams over the new connection.
  ASSERT_EQ(source_->Run(0), S_OK);
  EXPECT_EQ(WaitForSingleObject(sink_->Pin()->receiving, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(source_->Stop(), S_OK);
  EXPECT_EQ(sink_->Pin()->lastLength.load(), 160 * 120 * 3);
}

TEST_F(PinTest, ConnectionChangesOnlyWhileStopped) {
  ASSERT_EQ(out()->Connect(in(), nullptr), S_OK);
  ASSERT_EQ(source_->Pause(), S_OK);
  EXPECT_EQ(out()->Disconnect(), VFW_E_NOT_STOPPED);
  HRESULT hr = S_OK;
  auto* other = new TestSinkFilter(&hr);
  other->NonDelegatingAddRef();
  EXPECT_EQ(out(1)->Connect(other->Pin(), nullptr), VFW_E_NOT_STOPPED);
  EXPECT_EQ(source_->Stop(), S_OK);
  EXPECT_EQ(out(1)->Connect(other->Pin(), nullptr), S_OK);
  out(1)->Disconnect();
  other->Pin()->Disconnect();
  other->NonDelegatingRelease();
}

TEST_F(PinTest, AnswersIdentityQueries) {
  PIN_INFO info = {};
  ASSERT_EQ(out()->QueryPinInfo(&info), S_OK);
  EXPECT_STREQ(info.achName, L"Capture");
  EXPECT_EQ(info.dir, PINDIR_OUTPUT);
  EXPECT_EQ(info.pFilter, static_cast<IBaseFilter*>(source_));
  info.pFilter->Release();

  LPWSTR id = nullptr;
  ASSERT_EQ(out(1)->QueryId(&id), S_OK);
  ComPtr<IPin> found;
  EXPECT_EQ(source_->FindPin(id, found.out()), S_OK);
  EXPECT_EQ(found.get(), out(1));
  CoTaskMemFree(id);
  EXPECT_EQ(source_->FindPin(L"Missing", found.out()), VFW_E_NOT_FOUND);

  const CMediaType offered = Rgb24(320, 240);
  const CMediaType other = Rgb24(640, 480);
  EXPECT_EQ(out()->QueryAccept(&offered), S_OK);
  EXPECT_EQ(out()->QueryAccept(&other), S_FALSE);

  // A pin's IUnknown is its own, while its references are the filter's.
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(out()->QueryInterface(IID_IUnknown, unknown.outVoid()), S_OK);
  ComPtr<IPin> again;
  ASSERT_EQ(unknown->QueryInterface(IID_IPin, again.outVoid()), S_OK);
  EXPECT_EQ(again.get(), out());
  ComPtr<IUnknown> filterUnknown;
  source_->QueryInterface(IID_IUnknown, filterUnknown.outVoid());
  EXPECT_NE(unknown.get(), filterUnknown.get());
}

// Walks an enumerator through Next, Skip, Reset and Clone; items are compared by a key.
template <typename Enum, typename Item, typename Key, typename Free>
void CheckEnumerator(Enum* e, const std::vector<Key>& expected, Key (*keyOf)(Item*), Free free) {
  const auto count = static_cast<ULONG>(expected.size());
  ASSERT_GE(count, 2u);
  Item* items[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(2, items, nullptr), E_INVALIDARG);
  ASSERT_EQ(e->Next(count, items, &fetched), S_OK);
  ASSERT_EQ(fetched, count);
  for (ULONG i = 0; i < count; ++i) EXPECT_EQ(keyOf(items[i]), expected[i]);
  for (ULONG i = 0; i < count; ++i) free(items[i]);
  EXPECT_EQ(e->Next(1, items, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);

  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(1), S_OK);
  Enum* clone = nullptr;
  ASSERT_EQ(e->Clone(&clone), S_OK);
  ASSERT_EQ(e->Next(1, items, nullptr), S_OK);
  EXPECT_EQ(keyOf(items[0]), expected[1]);
  free(items[0]);
  // The clone kept its own position.
  ASSERT_EQ(clone->Next(1, items, &fetched), S_OK);
  EXPECT_EQ(keyOf(items[0]), expected[1]);
  free(items[0]);
  EXPECT_EQ(clone->Skip(count), S_FALSE);
  EXPECT_EQ(clone->Next(1, items, &fetched), S_FALSE);
  EXPECT_EQ(clone->Reset(), S_OK);
  ASSERT_EQ(clone->Next(1, items, &fetched), S_OK);
  EXPECT_EQ(keyOf(items[0]), expected[0]);
  free(items[0]);
  clone->Release();
}

const IPin* PinKey(IPin* pin) {
  return pin;
}
LONG TypeKey(AM_MEDIA_TYPE* mt) {
  return reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader.biWidth;
}

TEST_F(PinTest, EnumeratorsSurviveResetSkipAndClone) {
  {
    SCOPED_TRACE("pins");
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(source_->EnumPins(pins.out()), S_OK);
    CheckEnumerator<IEnumPins, IPin, const IPin*>(pins.get(), {out(0), out(1)}, PinKey,
                                                  [](IPin* p) { p->Release(); });
  }
  {
    SCOPED_TRACE("media types");
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(out()->EnumMediaTypes(types.out()), S_OK);
    CheckEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE, LONG>(types.get(), {320, 160}, TypeKey,
                                                          DeleteMediaType);
  }
}

}  // namespace
