// The bytes the C runtime's heap holds in use, for tests that count blocks freed or lost.
#pragma once

#include <malloc.h>

#include <cstddef>

inline size_t HeapInUse() {
  size_t used = 0;
  _HEAPINFO entry = {};
  while (_heapwalk(&entry) == _HEAPOK)
    if (entry._useflag == _USEDENTRY) used += entry._size;
  return used;
}
