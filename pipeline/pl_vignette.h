// Vignette correction tables: a radius per pixel and a gain per radius.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>

#include "pipeline/pl_context.h"

// R + 1 with R = trunc(sqrt((w/2)^2 + (h/2)^2) + 0.5): every radius of the frame indexes it,
// the corner of an even-sized frame lying at exactly R.
uint32_t VignetteGainCount(uint32_t width, uint32_t height);

// Builds a set for the size; the radius table of `previous` is shared when its size matches.
std::shared_ptr<const VignetteTableSet> BuildVignetteTables(
    uint32_t width, uint32_t height, double amount, double midpoint,
    const std::shared_ptr<const VignetteTableSet>& previous);

// Builds and publishes the state's vignette set for its processing size. Without the memory for
// it no set is published (the frames then skip the step, never reading a missing table): false.
template <typename Sample>
bool PL_BuildVignetteTable(PLContextT<Sample>* ctx) {
  if (!ctx) return false;
  std::shared_ptr<const VignetteTableSet> fresh;
  bool built = true;
  try {
    fresh = BuildVignetteTables(ctx->procWidth, ctx->procHeight, ctx->settings.vignetteAmount,
                                ctx->settings.vignetteMidpoint, SnapshotTables(*ctx).vignette);
  } catch (const std::exception&) {
    built = false;  // bad_alloc, or a size past what a vector holds
  }
  PublishTables(*ctx, &PLTableSets<Sample>::vignette, std::move(fresh));
  return built;
}
