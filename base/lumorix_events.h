// The event codes the camera hands the host's event callback or window message.
#pragma once

#include <cstdint>

enum LumorixEvent : uint32_t {
  kEventExposure = 1,           // the applied exposure or gain changed
  kEventWhiteBalance = 2,       // one-push white balance finished
  kEventChrome = 3,             // colour/monochrome switched
  kEventImage = 4,              // a video frame is ready
  kEventStillImage = 5,         // a still is ready
  kEventAwbInit = 6,            // white-balance initialisation finished
  kEventBlackBalance = 8,       // one-push black balance finished
  kEventFlatFieldDone = 9,      // flat-field calibration finished
  kEventDarkFieldDone = 10,     // dark-field calibration finished
  kEventRegion = 11,            // the sensor window changed
  kEventError = 128,            // the stream ended on a failure
  kEventDisconnected = 129,     // the stream ended: the device went away
  kEventNoFrameTimeout = 130,   // the stream ended: no frame within the limit
  kEventFocusPosition = 132,    // the focus motor moved
  kEventNoPacketTimeout = 133,  // a frame's transfers stopped arriving; grabbing goes on
  kEventFactoryReset = 0x8001,  // settings went back to the factory values
};
