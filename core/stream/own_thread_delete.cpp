// The mark of a camera thread whose camera was deleted by its own callback.
#include "core/stream/own_thread_delete.h"

namespace {

thread_local bool cameraDeleted = false;

}  // namespace

void OwnThreadDelete::markThisThread() {
  cameraDeleted = true;
}

void OwnThreadDelete::leaveIfDeleted() {
  if (cameraDeleted) throw Leave{};
}

bool OwnThreadDelete::deletedHere() {
  return cameraDeleted;
}
