// Registers or unregisters a COM module through the system's regsvr32, as an installer would.
#include "tests/wine/regsvr32.h"

#include <vector>

namespace {

struct Handle {
  HANDLE h = nullptr;
  ~Handle() {
    if (h) CloseHandle(h);
  }
};

}  // namespace

int RunRegsvr32(const std::wstring& modulePath, bool unregister, DWORD timeoutMs) {
  std::wstring command = L"regsvr32.exe /s ";
  if (unregister) command += L"/u ";
  command += L"\"" + modulePath + L"\"";
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(L'\0');

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return -1;
  }
  Handle process{info.hProcess};
  Handle thread{info.hThread};
  if (WaitForSingleObject(process.h, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.h, 1);
    WaitForSingleObject(process.h, 5000);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.h, &code);
  return static_cast<int>(code);
}

std::wstring BesideExecutable(const wchar_t* fileName) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring result(path, length);
  const size_t slash = result.find_last_of(L"\\/");
  result.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return result + fileName;
}
