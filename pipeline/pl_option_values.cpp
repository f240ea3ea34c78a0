// The helper values the camera's numbered options set.
#include "pipeline/pl_option_values.h"

#include "pipeline/pl_start.h"

void PL_UseColorMatrix(PLHlperBase& h, bool on) {
  if (h.hasColourMatrix == uint8_t(on)) return;
  h.hasColourMatrix = on;
  PL_SetColorMatrix(h);
}

void PL_UseWbGainBase(PLHlperBase& h, bool on) {
  if (h.hasWbGainBase == uint8_t(on)) return;
  h.hasWbGainBase = on;
  PL_SetWbGainBase(h);
}

void PL_SetWorkersAllowed(PLHlperBase& h, bool on) {
  h.workersAllowed = on;
}

void PL_SetRowOrder(PLHlperBase& h, bool bottomUp) {
  h.rowOrder = bottomUp;
}

void PL_SetOutputFormat(PLHlperBase& h, uint32_t layout) {
  h.outputFormat = layout;
}
