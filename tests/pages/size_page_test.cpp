// The size pages on the filter over the camera double: labels, checked radios and what Apply
// sends, also while the camera streams.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <vector>

#include "dshow/pins/cpushpindcm.h"
#include "tests/dshow/support/testsink.h"
#include "tests/pages/page_host.h"

namespace {

using Args = std::vector<int64_t>;

CameraSetup Sizes(int count, uint32_t stills) {
  CameraSetup setup;
  setup.sizes.clear();
  for (int i = 0; i < count; ++i) setup.sizes.push_back({LONG(2048 >> i), LONG(1536 >> i)});
  setup.stills = stills;
  return setup;
}

TEST(SizePage, OneResolutionShowsOneCheckedRadioAndAppliesIt) {
  CameraSetup setup;
  setup.sizes = {{1024, 770}};
  PageHost host(PageRowId::Size10, setup);
  ASSERT_TRUE(host.ready());
  EXPECT_EQ(host.text(1034), L"1024 * 770");
  EXPECT_EQ(IsDlgButtonChecked(host.dialog(), 1034), BST_CHECKED);
  EXPECT_EQ(host.page()->IsPageDirty(), S_FALSE) << "never dirty";
  EXPECT_EQ(host.page()->Apply(), S_OK);
  EXPECT_EQ(host.camera().last("put_eSize"), Args{0});
}

TEST(SizePage, ApplySendsTheCheckedIndexOfEachGroup) {
  struct Case {
    PageRowId row;
    int sizes;
    uint32_t stills;
    int preview;  // radio to click
    int still;    // 0: none
    Args previewArgs;
    Args stillArgs;
  };
  const Case cases[] = {
      {PageRowId::Size20, 2, 0, 1035, 0, {1}, {}},
      {PageRowId::Size30, 3, 0, 1036, 0, {2}, {}},
      {PageRowId::Size40, 4, 0, 1038, 0, {3}, {}},
      {PageRowId::Size33, 3, 3, 1036, 1042, {2}, {2}},
      {PageRowId::Size22, 2, 2, 1035, 1039, {1}, {1}},
      {PageRowId::Size88, 8, 8, 1458, 1467, {7}, {6}},
  };
  for (const Case& c : cases) {
    PageHost host(c.row, Sizes(c.sizes, c.stills));
    ASSERT_TRUE(host.ready());
    host.click(c.preview);
    if (c.still) host.click(c.still);
    EXPECT_EQ(host.page()->Apply(), S_OK);
    EXPECT_EQ(host.camera().last("put_eSize"), c.previewArgs) << c.preview;
    EXPECT_EQ(host.camera().last("put_eStillSize"), c.stillArgs) << c.still;
  }
}

// While the camera streams it refuses the size; the page reports nothing.
TEST(SizePage, ApplyWhileStreamingStaysSilent) {
  PageHost host(PageRowId::Size20, Sizes(2, 0));
  ASSERT_TRUE(host.ready());
  host.camera().streaming = true;
  host.click(1035);
  EXPECT_EQ(host.page()->Apply(), S_OK);
  EXPECT_EQ(host.camera().count("put_eSize"), 1u);
  EXPECT_TRUE(PageHost::messages().empty());
}

// While the preview pin is connected its size is fixed: the filter refuses another one before
// the camera sees it, and the radios go back to the size that stays.
TEST(SizePage, ASizeRefusedForAConnectedPinLeavesTheRadioOnTheKeptSize) {
  struct Apartment {  // the sink's allocator is a COM object; outlives the page host
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~Apartment() {
      if (SUCCEEDED(hr)) CoUninitialize();
    }
  } apartment;
  PageHost host(PageRowId::Size20, Sizes(2, 0));
  ASSERT_TRUE(host.ready());
  HRESULT hr = S_OK;
  auto* sink = new TestSinkFilter(&hr);
  sink->NonDelegatingAddRef();
  CDcmPinBase* pin = host.filter()->previewPin();
  ASSERT_EQ(pin->Connect(sink->Pin(), nullptr), S_OK);
  host.click(1035);
  EXPECT_EQ(host.page()->Apply(), S_OK);
  EXPECT_EQ(host.camera().count("put_eSize"), 0u);
  EXPECT_EQ(IsDlgButtonChecked(host.dialog(), 1034), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(host.dialog(), 1035), BST_UNCHECKED);
  EXPECT_TRUE(PageHost::messages().empty());
  pin->Disconnect();
  sink->Pin()->Disconnect();
  sink->NonDelegatingRelease();
  host.click(1035);  // unconnected, the size is taken
  EXPECT_EQ(host.page()->Apply(), S_OK);
  EXPECT_EQ(host.camera().last("put_eSize"), Args{1});
  EXPECT_EQ(IsDlgButtonChecked(host.dialog(), 1035), BST_CHECKED);
}

TEST(SizePage, EightSizesLabelAllSixteenRadios) {
  PageHost host(PageRowId::Size88, Sizes(8, 8));
  ASSERT_TRUE(host.ready());
  for (int group = 0; group < 2; ++group) {
    for (int i = 0; i < 8; ++i) {
      wchar_t want[48];
      std::swprintf(want, 48, L"%d * %d", 2048 >> i, 1536 >> i);
      EXPECT_EQ(host.text((group ? 1461 : 1451) + i), want) << group << " " << i;
    }
  }
}

// With one still resolution the second capture choice is never usable, whichever preview size
// is chosen, and Apply never asks for it.
TEST(SizePage, TwoSizePageWithOneStillNeverOffersTheSecondStill) {
  for (const uint32_t preview : {0u, 1u}) {
    PageHost host(PageRowId::Size22, Sizes(2, 1));
    ASSERT_TRUE(host.ready());
    EXPECT_FALSE(IsWindowEnabled(host.item(1039)));
    for (int click : {1035, 1034, 1035}) {
      host.click(click);
      EXPECT_FALSE(IsWindowEnabled(host.item(1039))) << click;
    }
    host.click(preview ? 1035 : 1034);
    EXPECT_EQ(IsDlgButtonChecked(host.dialog(), 1038), BST_CHECKED);
    EXPECT_EQ(host.page()->Apply(), S_OK);
    EXPECT_EQ(host.camera().last("put_eStillSize"), Args{0});
  }
}

}  // namespace
