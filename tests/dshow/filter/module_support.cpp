// The shipped module loaded beside the test, and the driver shim's simulated cameras under wine.
#include "tests/dshow/filter/module_support.h"

#include <cstdlib>
#include <cwchar>
#include <vector>

#include "sim/wine/lumorix_sim_api.h"
#include "tests/wine/regsvr32.h"

namespace {

template <class Fn>
void find(HMODULE module, const char* name, Fn*& out) {
  out = reinterpret_cast<Fn*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

constexpr WORD kPageSpacingsOrdinal = 8;  // as zerithal.def numbers it

}  // namespace

LoadedModule::LoadedModule() : module_(LoadLibraryW(BesideExecutable(L"zerithal.ax").c_str())) {
  if (!module_) return;
  find(module_, "DshowEnumCamera", enumCameras);
  find(module_, "DshowOpenCamera", openCamera);
  find(module_, "DllCanUnloadNow", canUnloadNow);
  find(module_, MAKEINTRESOURCEA(kPageSpacingsOrdinal), pageSpacings);
}

LoadedModule::~LoadedModule() {
  if (module_) FreeLibrary(module_);
}

std::optional<uint32_t> SimCameraCount() {
  const char* count = std::getenv("ZX_SIM_CAMERA_COUNT");
  if (!count || !*count) return std::nullopt;
  return static_cast<uint32_t>(std::strtoul(count, nullptr, 10));
}

bool ShimRunning() {
  wchar_t target[512];
  if (QueryDosDeviceW(L"" LSIM_CONTROL_LINK, target, 512)) return true;
  // The service stops with the last process of the prefix; each test process starts it again.
  if (SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)) {
    if (SC_HANDLE service = OpenServiceW(scm, L"lumorixsim", SERVICE_START)) {
      StartServiceW(service, 0, nullptr);
      CloseServiceHandle(service);
    }
    CloseServiceHandle(scm);
  }
  for (int i = 0; i < 200; ++i) {
    if (QueryDosDeviceW(L"" LSIM_CONTROL_LINK, target, 512)) return true;
    Sleep(50);
  }
  return false;
}

std::string ShimCommand(const std::string& command) {
  HANDLE h = CreateFileW(L"\\\\.\\" LSIM_CONTROL_LINK, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "no shim";
  std::vector<char> reply(1 << 16);
  DWORD n = 0;
  const BOOL ok = DeviceIoControl(h, LSIM_IOCTL_COMMAND, const_cast<char*>(command.data()),
                                  static_cast<DWORD>(command.size()), reply.data(),
                                  static_cast<DWORD>(reply.size()), &n, nullptr);
  CloseHandle(h);
  return ok && n ? std::string(reply.data()) : "failed";
}

bool RunningAsFireCapture() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const wchar_t* name = wcsrchr(path, L'\\');
  return wcscmp(name ? name + 1 : path, L"FireCapture.exe") == 0;
}
