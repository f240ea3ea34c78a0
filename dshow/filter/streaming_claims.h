// Which devices the filters of this process stream from: a second filter opened on a device may
// not start it under the stream of the first.
#pragma once

#include "platform/com_types.h"

namespace streaming_claims {

// True when no filter streams from device id and the caller now does; ids are the enumeration's.
bool Claim(const WCHAR16* id);
// Gives back a claim the caller holds.
void Release(const WCHAR16* id);

}  // namespace streaming_claims
