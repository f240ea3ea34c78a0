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

  uint32_t(WINAPI* enumCameras)() = nullptr;
  IUnknown*(WINAPI* openCamera)(uint32_t index) = nullptr;
  HRESULT(WINAPI* canUnloadNow)() = nullptr;
  // Exported by ordinal only.
  void(WINAPI* pageSpacings)(int32_t* small, int32_t* large) = nullptr;

 private:
  HMODULE module_ = nullptr;
};

// The number of simulated cameras the prefix was set up with (ZX_SIM_CAMERA_COUNT), if any.
std::optional<uint32_t> SimCameraCount();
// Whether this process runs as the host that shares one filter.
bool RunningAsFireCapture();
