// Byte table: chosen vector body, scalar finish.
#include "kernels/byte_table.h"

#include <algorithm>

#include "kernels/dispatch.h"
#include "kernels/raw_steps.h"

namespace kernels::bytes {
namespace {

using BodyFn = size_t (*)(const uint8_t*, uint8_t*, size_t, bool);

BodyFn choose(Isa isa) {
  return isa == Isa::Avx2 ? &lookupAvx2 : nullptr;
}
DispatchPointer<BodyFn> gBody{&choose};

}  // namespace

void Lookup(const uint8_t* table, uint8_t* data, size_t n, bool keepFourth) {
  const BodyFn body = gBody.get();
  size_t i = body ? body(table, data, n, keepFourth) : 0;
  if (keepFourth) {
    for (; i < n; ++i)
      if ((i & 3) != 3) data[i] = table[data[i]];
  } else {
    for (; i < n; ++i) data[i] = table[data[i]];
  }
}

}  // namespace kernels::bytes

namespace kernels {

void ApplyRawLut(const uint8_t* table, uint32_t count, int32_t w, int32_t h, uint8_t* raw) {
  if (!table || !count || !raw || w < 1 || h < 1) return;
  // Past the table's end reads the last entry: fold that into a full table once.
  uint8_t full[256];
  for (uint32_t v = 0; v < 256; ++v) full[v] = table[std::min(v, count - 1)];
  bytes::Lookup(full, raw, size_t(w) * size_t(h), false);
}

}  // namespace kernels
