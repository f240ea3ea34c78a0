// The CMOS sensor class base: CUsb plus the request codes of sensor register reads and writes.
#pragma once

#include "usb/cusb.h"

class CCmos : public CUsb, public CmosRequestHooks {
 public:
  using CUsb::CUsb;

  // One sensor register; a status other than "done" is a failure here, unlike FPGA writes.
  HRESULT bWriteSensor(uint16_t reg, uint16_t value);
};
