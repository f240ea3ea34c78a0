// Talking to the simulated cameras' driver shim: starting its service and sending it commands.
#include "sim/wine/shim_client.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "sim/wine/lumorix_sim_api.h"

namespace {

void startService() {
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!scm) return;
  if (SC_HANDLE service = OpenServiceW(scm, L"lumorixsim", SERVICE_START)) {
    StartServiceW(service, 0, nullptr);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(scm);
}

}  // namespace

bool ShimRunning(const wchar_t* deviceLink) {
  const wchar_t* link = deviceLink ? deviceLink : L"" LSIM_CONTROL_LINK;
  wchar_t target[512];
  if (QueryDosDeviceW(link, target, 512)) return true;
  startService();
  for (int i = 0; i < 200; ++i) {
    if (QueryDosDeviceW(link, target, 512)) return true;
    Sleep(50);
  }
  return false;
}

std::optional<std::string> ShimRequest(const std::string& command) {
  HANDLE h = CreateFileW(L"\\\\.\\" LSIM_CONTROL_LINK, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<char> reply(1 << 20);
  DWORD n = 0;
  const BOOL ok = DeviceIoControl(h, LSIM_IOCTL_COMMAND, const_cast<char*>(command.data()),
                                  static_cast<DWORD>(command.size()), reply.data(),
                                  static_cast<DWORD>(reply.size()), &n, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(h);
  if (!ok) {
    SetLastError(error);
    return std::nullopt;
  }
  return std::string(reply.data(), strnlen(reply.data(), n));
}
