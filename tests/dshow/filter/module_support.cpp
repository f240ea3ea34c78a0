// The shipped module loaded beside the test, and the driver shim's simulated cameras under wine.
#include "tests/dshow/filter/module_support.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
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

LoadedModule::LoadedModule() {
  reload();
}

void LoadedModule::reload() {
  if (module_) FreeLibrary(module_);
  module_ = LoadLibraryW(BesideExecutable(L"zerithal.ax").c_str());
  if (!module_) return;
  find(module_, "DshowEnumCamera", enumCameras);
  find(module_, "DshowOpenCamera", openCamera);
  find(module_, "DllCanUnloadNow", canUnloadNow);
  find(module_, "AscomST4Connect", guideConnect);
  find(module_, "AscomST4PlusGuide", guidePulse);
  find(module_, "AscomST4PlusGuideState", guideState);
  find(module_, MAKEINTRESOURCEA(kPageSpacingsOrdinal), pageSpacings);
}

LoadedModule::~LoadedModule() {
  if (module_) FreeLibrary(module_);
}

namespace {

constexpr DWORD kDebugPrintException = 0x40010006;  // DBG_PRINTEXCEPTION_C: {length, text}

std::mutex debugLinesLock;
std::vector<std::string> debugLines;

LONG CALLBACK CollectDebugLine(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode == kDebugPrintException && record->NumberParameters >= 2) {
    const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    std::lock_guard<std::mutex> guard(debugLinesLock);
    if (text) debugLines.emplace_back(text);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

DebugLines::DebugLines() {
  {
    std::lock_guard<std::mutex> guard(debugLinesLock);
    debugLines.clear();
  }
  handler_ = AddVectoredExceptionHandler(1, CollectDebugLine);
}

DebugLines::~DebugLines() {
  if (handler_) RemoveVectoredExceptionHandler(handler_);
}

size_t DebugLines::count(const std::string& line) const {
  std::lock_guard<std::mutex> guard(debugLinesLock);
  return size_t(std::count(debugLines.begin(), debugLines.end(), line));
}

size_t ProcessThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  size_t count = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
  CloseHandle(snapshot);
  return count;
}

std::optional<uint32_t> SimCameraCount() {
  const char* count = std::getenv("ZX_SIM_CAMERA_COUNT");
  if (!count || !*count) return std::nullopt;
  return static_cast<uint32_t>(std::strtoul(count, nullptr, 10));
}

UserDword::UserDword(const wchar_t* key, const wchar_t* name, DWORD value) : name_(name) {
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                      nullptr) != ERROR_SUCCESS) {
    key_ = nullptr;
    return;
  }
  DWORD old = 0;
  DWORD size = sizeof(old);
  if (RegQueryValueExW(key_, name_, nullptr, nullptr, reinterpret_cast<BYTE*>(&old), &size) ==
      ERROR_SUCCESS) {
    old_ = old;
  }
  set_ = write(value);
}

void UserDword::restore() {
  if (!key_) return;
  if (old_) {
    write(*old_);
  } else {
    RegDeleteValueW(key_, name_);
  }
  RegCloseKey(key_);
  key_ = nullptr;
}

bool UserDword::write(DWORD value) {
  return RegSetValueExW(key_, name_, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value)) == ERROR_SUCCESS;
}
