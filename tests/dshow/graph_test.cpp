// The test source filter in wine's own DirectShow: regsvr32, the device enumerator, a capture
// graph.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <cstdio>

#include "tests/dshow/support/capture_graph.h"
#include "tests/dshow/testsource/testsource.h"
#include "tests/wine/regsvr32.h"

namespace {

const wchar_t kModule[] = L"zx_testsource.dll";
const wchar_t kClsid[] = L"{6C1F3B52-1E0A-4C6B-9D3E-2A7B40C8E911}";

class WineGraphTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(RunRegsvr32(BesideExecutable(kModule), false), 0) << "regsvr32 failed";
  }
  static void TearDownTestSuite() { RunRegsvr32(BesideExecutable(kModule), true); }
  ComScope com_;
};

TEST_F(WineGraphTest, DeviceEnumeratorListsTheSourceOnce) {
  ASSERT_EQ(RunRegsvr32(BesideExecutable(kModule), false), 0);  // a second registration
  const std::vector<std::wstring> listed = ListedVideoInputs(kTestSourceName);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], kClsid);
}

TEST_F(WineGraphTest, CaptureGraphStreamsThirtySamples) {
  CaptureGraph g;
  FrameLog log;
  {
    // Through COM and the registry, as a host creates it.
    ComPtr<IBaseFilter> source;
    ASSERT_EQ(CoCreateInstance(CLSID_ZxTestSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               source.outVoid()),
              S_OK);
    ASSERT_EQ(g.begin(source.get()), S_OK);
  }
  ASSERT_EQ(g.render(log), S_OK);
  ASSERT_TRUE(SUCCEEDED(g.control->Run()));
  const bool arrived = log.reaches(30, 10000);
  EXPECT_EQ(g.control->Stop(), S_OK);
  ASSERT_TRUE(arrived) << "only " << log.seen() << " samples arrived";

  const long imageSize = kTestWidth * kTestHeight * 3;
  const std::vector<long> lengths = log.lengths();
  const std::vector<REFERENCE_TIME> starts = log.starts();
  for (size_t i = 0; i < lengths.size(); ++i) {
    EXPECT_EQ(lengths[i], imageSize) << "sample " << i;
    if (i > 0) {
      EXPECT_GT(starts[i], starts[i - 1]) << "sample " << i;
    }
  }
  printf(
      "[graph] the test source streamed %zu samples of %ld bytes through wine's filter graph "
      "(capture graph builder, sample grabber, null renderer), times %lld..%lld\n",
      lengths.size(), imageSize, static_cast<long long>(starts.front()),
      static_cast<long long>(starts.back()));

  // Tearing the graph down releases every object of the module.
  g.release();
  HMODULE module = GetModuleHandleW(kModule);
  ASSERT_NE(module, nullptr);
  auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_OK);
}

// Last: the suite's own tear-down unregisters again, which must be harmless.
TEST_F(WineGraphTest, UnregisterRemovesTheEntry) {
  ASSERT_EQ(ListedVideoInputs(kTestSourceName).size(), 1u);
  ASSERT_EQ(RunRegsvr32(BesideExecutable(kModule), true), 0);
  EXPECT_TRUE(ListedVideoInputs(kTestSourceName).empty());
  HKEY key = nullptr;
  const std::wstring path = std::wstring(L"CLSID\\") + kClsid;
  EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  if (key) RegCloseKey(key);
}

}  // namespace
