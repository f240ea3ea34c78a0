// What the filter needs of an opened camera: its interface family and pull-mode streaming.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/lumorix.h"

class FilterCamera {
 public:
  // Deleting an opened camera stops it and frees the camera object.
  virtual ~FilterCamera() = default;

  // The camera object's ILumorix face; its reference counting is inert, it lives as long as this.
  virtual ILumorix* lumorix() = 0;
  // Streams into the pull interface: no callbacks, no event sink, no window, not paused.
  virtual HRESULT start() = 0;
  virtual HRESULT stop() = 0;
  // One RGB24 frame into buffer (at most size bytes): 0 written, 1 no frame this time (cancelEvent
  // or a stop ended the wait), a failure otherwise.
  virtual HRESULT PullFrameForPin(uint8_t* buffer, uint32_t size, HANDLE cancelEvent) = 0;
  // One RGB24 still at the current still size into buffer (at most size bytes), the preview held
  // meanwhile: 0 taken, 1 none this time (cancelEvent, a stop, a failed grab), a failure
  // otherwise (the camera was not streaming).
  virtual HRESULT SnapForPin(uint8_t* buffer, uint32_t size, HANDLE cancelEvent) = 0;
};

// A companion interface of the camera object, or null. Nothing to release: the camera object
// does not count references.
template <class I>
I* CameraCompanion(ILumorix* camera) {
  void* found = nullptr;
  if (!camera || FAILED(camera->QueryInterface(LumorixTraits<I>::iid, &found))) return nullptr;
  return static_cast<I*>(found);
}
