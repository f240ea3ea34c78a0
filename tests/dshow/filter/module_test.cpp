// The shipped module under wine: its exports, registration with regsvr32 and the device
// enumerator, the camera functions with no camera installed, and the spacings it measures.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/dshow/filter/module_support.h"
#include "tests/dshow/support/capture_graph.h"
#include "tests/wine/regsvr32.h"

namespace {

const wchar_t kModule[] = L"zerithal.ax";
const wchar_t kClsid[] = L"{EA6387A5-60C7-41D3-B058-8D90580A7BE1}";

bool ClassKeyExists() {
  HKEY key = nullptr;
  const std::wstring path = std::wstring(L"CLSID\\") + kClsid;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

TEST(Module, RegistersOnceInTheVideoInputCategoryAndUnregisters) {
  ComScope com;
  const std::wstring module = BesideExecutable(kModule);
  ASSERT_EQ(RunRegsvr32(module, false), 0);
  ASSERT_EQ(RunRegsvr32(module, false), 0);
  const std::vector<std::wstring> listed = ListedVideoInputs(L"Zerithal");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], kClsid);
  EXPECT_TRUE(ClassKeyExists());

  for (int round = 0; round < 2; ++round) {  // unregistering what is gone succeeds
    ASSERT_EQ(RunRegsvr32(module, true), 0) << round;
    EXPECT_TRUE(ListedVideoInputs(L"Zerithal").empty());
    EXPECT_FALSE(ClassKeyExists());
  }
}

TEST(Module, CameraExportsWithoutCameras) {
  LoadedModule module;
  ASSERT_TRUE(module.loaded());
  const HMODULE loaded = GetModuleHandleW(kModule);
  for (const char* name : {"DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"}) {
    EXPECT_TRUE(GetProcAddress(loaded, name)) << name;
  }
  EXPECT_EQ(module.enumCameras(), 0u);
  for (uint32_t index : {0u, 3u, 16u, 0xFFFFFFFFu}) {
    EXPECT_EQ(module.openCamera(index), nullptr) << index;
  }
  EXPECT_EQ(module.canUnloadNow(), S_OK);
}

// This executable again, running only ModuleSpacing.MeasuredWhenLoaded with the spacings it
// must find: a process reads the screen's dots per inch once, when it starts. Its exit code.
int RunSpacingChild(const wchar_t* expected) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = std::wstring(L"\"") + exe +
                         L"\" --gtest_brief=1 --gtest_filter=ModuleSpacing.MeasuredWhenLoaded";
  SetEnvironmentVariableW(L"ZX_EXPECT_SPACINGS", expected);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &process);
  SetEnvironmentVariableW(L"ZX_EXPECT_SPACINGS", nullptr);
  if (!started) return -1;
  DWORD code = static_cast<DWORD>(-2);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

TEST(ModuleSpacing, FollowTheScreensDotsPerInch) {
  struct Case {
    DWORD dpi;
    const wchar_t* spacings;
  } cases[] = {{96, L"2 4"}, {144, L"3 6"}};
  for (const Case& c : cases) {
    // The dots per inch wine gives new processes.
    UserDword setting(L"Control Panel\\Desktop", L"LogPixels", c.dpi);
    ASSERT_TRUE(setting.set());
    EXPECT_EQ(RunSpacingChild(c.spacings), 0) << c.dpi << " dots per inch";
  }
}

// Only as the child of the test above.
TEST(ModuleSpacing, MeasuredWhenLoaded) {
  const char* expected = std::getenv("ZX_EXPECT_SPACINGS");
  if (!expected) GTEST_SKIP() << "run by ModuleSpacing.FollowTheScreensDotsPerInch";
  int small = 0;
  int large = 0;
  ASSERT_EQ(std::sscanf(expected, "%d %d", &small, &large), 2);
  LoadedModule module;
  ASSERT_TRUE(module.loaded());
  ASSERT_NE(module.pageSpacings, nullptr) << "exported by ordinal";
  int32_t measuredSmall = 0;
  int32_t measuredLarge = 0;
  module.pageSpacings(&measuredSmall, &measuredLarge);
  EXPECT_EQ(measuredSmall, small);
  EXPECT_EQ(measuredLarge, large);
}

}  // namespace
