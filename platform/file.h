// Files by UTF-16 path through the C runtime.
#pragma once

#include <cstdio>
#include <memory>

#include "platform/types.h"

namespace platform {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// mode as for fopen ("rb", "wb"); null when the file cannot be opened.
FilePtr OpenFile(const WCHAR16* path, const char* mode);

}  // namespace platform
