// The CCD class base: CUsb plus the register-write mode the camera last reported. Register writes
// take the long form when CUsb::longFormWrites is set, else the short one.
#pragma once

#include "usb/cusb.h"

class CCcd : public CUsb {
 public:
  using CUsb::CUsb;

  // Asks the camera for its register-write mode and takes the form from it: 1 is the long form;
  // anything else, a failed query included, the short one. Returns the mode.
  uint8_t queryWriteForm();

  uint8_t regWriteMode = 0;  // the last mode the camera reported
};
