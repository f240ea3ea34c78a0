// The host's own tables held by a state: the camera's tone curve and the user's output table.
#include "pipeline/pl_user_tables.h"

#include <memory>
#include <mutex>

#include "pipeline/pl_tables.h"

namespace {

template <typename Sample>
std::shared_ptr<const ToneTableSet<Sample>> copyOf(const PLContextT<Sample>& ctx,
                                                   const Sample* table) {
  if (!table) return nullptr;
  auto set = std::make_shared<ToneTableSet<Sample>>();
  set->lut.assign(table, table + (size_t{1} << ctx.bitDepth));
  return set;
}

}  // namespace

template <typename Sample>
void PL_SetCameraToneTable(PLContextT<Sample>* ctx, const Sample* table) {
  if (!ctx) return;
  std::lock_guard<platform::RecursiveLock> hold(*ctx->mtxSettings);  // the curve's inputs' lock
  PublishTables(*ctx, &PLTableSets<Sample>::cameraTone, copyOf(*ctx, table));
  // A processor that applies the curve itself is handed the curve the tone choice now makes.
  if (ctx->hasIsp && !ctx->hwToneBypass) PL_UpdateToneCurve(ctx);
}

template <typename Sample>
void PL_SetOutputTable(PLContextT<Sample>* ctx, const Sample* table) {
  if (!ctx) return;
  PublishTables(*ctx, &PLTableSets<Sample>::output, copyOf(*ctx, table));
}

template void PL_SetCameraToneTable<uint8_t>(PLContext*, const uint8_t*);
template void PL_SetCameraToneTable<uint16_t>(PLContext16*, const uint16_t*);
template void PL_SetOutputTable<uint8_t>(PLContext*, const uint8_t*);
template void PL_SetOutputTable<uint16_t>(PLContext16*, const uint16_t*);
