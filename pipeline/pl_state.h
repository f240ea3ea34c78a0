// Creation and destruction of a pipeline state, and the checks on a settings block handed in.
#pragma once

#include <memory>

#include "pipeline/pl_context.h"
#include "pipeline/pl_init_params.h"

// Null when the frame or processing size is 0 (or absurdly large) or memory runs out;
// nothing stays allocated then.
PLContext* PL_Init(const PLInitParams* params);
PLContext16* PL_Init16(const PLInitParams* params);

// Stops the workers, saves the settings and frees the state; null does nothing.
void PL_Fini(PLContext* ctx);
void PL_Fini16(PLContext16* ctx);
// The same without the save, for a state whose settings were saved when its owner went.
void PL_FiniSaved(PLContext* ctx);
void PL_FiniSaved16(PLContext16* ctx);

struct PLContextFini {
  void operator()(PLContext* ctx) const { PL_Fini(ctx); }
  void operator()(PLContext16* ctx) const { PL_Fini16(ctx); }
};
using PLContextPtr = std::unique_ptr<PLContext, PLContextFini>;
using PLContext16Ptr = std::unique_ptr<PLContext16, PLContextFini>;

struct PLContextFiniSaved {
  void operator()(PLContext* ctx) const { PL_FiniSaved(ctx); }
  void operator()(PLContext16* ctx) const { PL_FiniSaved16(ctx); }
};

// Brings a block from outside (caller, preset) into the ranges this state accepts.
template <typename Sample>
void ClampSettingsBlock(const PLContextT<Sample>& ctx, PLSettings& block);

// Clamps and copies a block into the state under its settings lock. The state keeps its own
// worker bits (stepBits 6 and 7); exposure in force follows the block and AE restarts.
template <typename Sample>
void CopySettingsBlock(PLContextT<Sample>& ctx, const PLSettings& block);
