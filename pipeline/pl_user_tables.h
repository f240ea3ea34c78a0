// The host's own tables held by a state: the camera's tone curve and the user's output table.
#pragma once

#include "pipeline/pl_context.h"

// Each copies 2^bitDepth entries at the call and publishes them; the caller may free its array
// at once. A null table removes the state's. A null state does nothing.
template <typename Sample>
void PL_SetCameraToneTable(PLContextT<Sample>* ctx, const Sample* table);
template <typename Sample>
void PL_SetOutputTable(PLContextT<Sample>* ctx, const Sample* table);
