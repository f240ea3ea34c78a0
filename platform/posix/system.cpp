// POSIX processor count, debugger output, dynamic libraries and files.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

#include "platform/cpu.h"
#include "platform/debug.h"
#include "platform/dynlib.h"
#include "platform/file.h"
#include "platform/utf16.h"

namespace platform {

uint32_t ProcessorCount() {
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<uint32_t>(n) : 1u;
}

void DebugOutput(const char* line) {
  std::fputs(line, stderr);
  std::fflush(stderr);
}

DynamicLibrary::~DynamicLibrary() {
  close();
}

bool DynamicLibrary::open(const WCHAR16* name) {
  close();
  handle_ = dlopen(WideToUtf8(name).c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void DynamicLibrary::close() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

void* DynamicLibrary::symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

FilePtr OpenFile(const WCHAR16* path, const char* mode) {
  if (!path || !mode) return nullptr;
  return FilePtr(std::fopen(WideToUtf8(path).c_str(), mode));
}

}  // namespace platform
