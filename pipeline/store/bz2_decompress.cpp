// One bzip2 stream unpacked buffer to buffer.
#include "pipeline/store/bz2_decompress.h"

#include <bzlib.h>

bool Bz2Decompress(uint8_t* dst, uint32_t dstLen, const uint8_t* src, uint32_t srcLen) {
  if (!dst || !src) return false;
  unsigned int written = dstLen;
  // small = 0, verbosity = 0; the library checks the stream's own CRCs.
  const int rc = BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(dst), &written,
                                            const_cast<char*>(reinterpret_cast<const char*>(src)),
                                            srcLen, 0, 0);
  return rc == BZ_OK && written == dstLen;
}
