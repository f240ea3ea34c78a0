// The shipped module loaded beside the test, and the driver shim's simulated cameras under wine.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <cstdint>
#include <optional>
#include <string>

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
// Starts the shim's service unless it runs, and waits (at most 10 s) for its control link,
// which it makes after every camera's link.
bool ShimRunning();
// One simctl command ("unplug 0 1"); its reply, or "no shim".
std::string ShimCommand(const std::string& command);
// Whether this process runs as the host that shares one filter.
bool RunningAsFireCapture();
