// The helper values the camera's numbered options set.
#include "pipeline/pl_option_values.h"

#include <mutex>

#include "pipeline/pl_start.h"

// The switches sit beside the values they choose, under the lock the value setters take.
void PL_UseColorMatrix(PLHlperBase& h, bool on) {
  std::shared_lock<PLStateLock> state(h.stateLock());
  std::lock_guard<platform::RecursiveLock> hold(h.sensorLock());
  if (h.hasColourMatrix == uint8_t(on)) return;
  h.hasColourMatrix = on;
  PL_SetColorMatrix(h);
}

void PL_UseWbGainBase(PLHlperBase& h, bool on) {
  std::shared_lock<PLStateLock> state(h.stateLock());
  std::lock_guard<platform::RecursiveLock> hold(h.sensorLock());
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
