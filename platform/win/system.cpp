// Win32 processor count, debugger output, dynamic libraries and files.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/cpu.h"
#include "platform/debug.h"
#include "platform/dynlib.h"
#include "platform/file.h"

namespace platform {

uint32_t ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors;
}

void DebugOutput(const char* line) {
  OutputDebugStringA(line);
}

DynamicLibrary::~DynamicLibrary() {
  close();
}

bool DynamicLibrary::open(const WCHAR16* name) {
  close();
  handle_ = LoadLibraryW(name);
  return handle_ != nullptr;
}

void DynamicLibrary::close() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

void* DynamicLibrary::symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name))
                 : nullptr;
}

FilePtr OpenFile(const WCHAR16* path, const char* mode) {
  if (!path || !mode) return nullptr;
  const std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
  return FilePtr(_wfopen(path, wmode.c_str()));
}

}  // namespace platform
