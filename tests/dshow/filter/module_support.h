// The shipped module loaded beside the test, and the driver shim's simulated cameras under wine.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <cstdint>
#include <optional>
#include <string>

#include "sim/wine/shim_client.h"

// zerithal.ax loaded from beside the test executable, with its exports looked up.
class LoadedModule {
 public:
  LoadedModule();
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  bool loaded() const { return module_ && enumCameras && openCamera && canUnloadNow; }
  // Unloads and loads the module again, so its start-up reads the registry afresh; only while
  // this is its only holder.
  void reload();

  uint32_t(WINAPI* enumCameras)() = nullptr;
  IUnknown*(WINAPI* openCamera)(uint32_t index) = nullptr;
  HRESULT(WINAPI* canUnloadNow)() = nullptr;
  int(WINAPI* guideConnect)(int connect) = nullptr;
  int(WINAPI* guidePulse)(unsigned direction, unsigned ms) = nullptr;
  int(WINAPI* guideState)() = nullptr;
  // Exported by ordinal only.
  void(WINAPI* pageSpacings)(int32_t* small, int32_t* large) = nullptr;

 private:
  HMODULE module_ = nullptr;
};

// The lines this process sends to the debugger output while it lives (wine raises each as an
// exception, which a vectored handler sees first).
class DebugLines {
 public:
  DebugLines();
  ~DebugLines();
  DebugLines(const DebugLines&) = delete;
  DebugLines& operator=(const DebugLines&) = delete;
  size_t count(const std::string& line) const;

 private:
  void* handler_ = nullptr;
};

// The threads of this process.
size_t ProcessThreads();

// The number of simulated cameras the prefix was set up with (ZX_SIM_CAMERA_COUNT), if any.
std::optional<uint32_t> SimCameraCount();

// A DWORD under HKEY_CURRENT_USER set for a test; the old value (or its absence) comes back on
// restore() or destruction.
class UserDword {
 public:
  UserDword(const wchar_t* key, const wchar_t* name, DWORD value);
  ~UserDword() { restore(); }
  UserDword(const UserDword&) = delete;
  UserDword& operator=(const UserDword&) = delete;
  bool set() const { return set_; }
  void restore();

 private:
  bool write(DWORD value);
  const wchar_t* name_;
  HKEY key_ = nullptr;
  std::optional<DWORD> old_;
  bool set_ = false;
};
