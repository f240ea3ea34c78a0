// The camera object's sink for pipeline notifications; internal, so no IUnknown.
#pragma once

#include <cstdint>

class LumorixImplCallback {
 public:
  virtual void OnExposureChanged() = 0;
  virtual void OnWhiteBalanceDone(int32_t temperature, int32_t tint) = 0;
  virtual void OnAwbInitDone(int32_t result) = 0;
  virtual void OnChromeChanged() = 0;
  virtual void OnBlackBalanceDone(int32_t result) = 0;
  virtual void OnFfcDone() = 0;
  virtual void OnDfcDone() = 0;

 protected:
  ~LumorixImplCallback() = default;
};
