// Run-time loading of system libraries (WinUSB, HID, User32, Ole32).
#pragma once

#include "platform/types.h"

namespace platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool open(const WCHAR16* name);
  void close();
  bool isOpen() const { return handle_ != nullptr; }
  void* symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace platform
