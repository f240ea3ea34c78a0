// simctl: sends one command to the simulated cameras' driver shim and prints its reply.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/wine/lumorix_sim_api.h"

namespace {

// The shim stops with the last process of the prefix; a command starts it again and waits for it.
HANDLE openShim() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE h = CreateFileW(L"\\\\.\\" LSIM_CONTROL_LINK, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE || attempt == 99) return h;
    if (attempt == 0) {
      SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
      SC_HANDLE service = scm ? OpenServiceW(scm, L"lumorixsim", SERVICE_START) : nullptr;
      if (service) {
        StartServiceW(service, 0, nullptr);
        CloseServiceHandle(service);
      }
      if (scm) CloseServiceHandle(scm);
    }
    Sleep(50);
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: simctl <command> <camera> [value] [times]\n"
                 "  configure: unplug 0|1, genfail 0|1, period ms, scene order (4: pattern),\n"
                 "             chart [reference exposure us], abortdelay ms\n"
                 "  inject:    readerror code [times], stall frame\n"
                 "  observe:   log, clear, outstanding, frames\n");
    return 2;
  }
  std::string command;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command += ' ';
    command += argv[i];
  }
  HANDLE h = openShim();
  if (h == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "simctl: no driver shim (%lu)\n", GetLastError());
    return 1;
  }
  std::vector<char> reply(1 << 20);
  DWORD n = 0;
  const BOOL ok = DeviceIoControl(h, LSIM_IOCTL_COMMAND, command.data(), static_cast<DWORD>(command.size()),
                                  reply.data(), static_cast<DWORD>(reply.size()), &n, nullptr);
  CloseHandle(h);
  if (!ok) return std::fprintf(stderr, "simctl: %lu\n", GetLastError()), 1;
  std::fputs(n ? reply.data() : "", stdout);
  std::fputs("\n", stdout);
  return 0;
}
