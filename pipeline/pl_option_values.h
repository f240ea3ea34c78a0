// The helper values the camera's numbered options set: colour matrix and base gains in use,
// stripe workers and row order for the next start.
#pragma once

#include "pipeline/pl_helper_base.h"

// On a change the model's matrix (or base gains) is reloaded into the state, or unity is.
void PL_UseColorMatrix(PLHlperBase& helper, bool on);
void PL_UseWbGainBase(PLHlperBase& helper, bool on);
// Read when the next state is built.
void PL_SetWorkersAllowed(PLHlperBase& helper, bool on);
void PL_SetRowOrder(PLHlperBase& helper, bool bottomUp);
// The output sample layout (0..4) the next state is built with.
void PL_SetOutputFormat(PLHlperBase& helper, uint32_t layout);
