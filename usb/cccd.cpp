// CCcd: the register-write mode query.
#include "usb/cccd.h"

uint8_t CCcd::queryWriteForm() {
  regWriteMode = bGetRegWriteMode();
  longFormWrites = regWriteMode == 1 ? 1 : 0;
  return regWriteMode;
}
