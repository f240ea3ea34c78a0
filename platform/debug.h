// Debugger output: OutputDebugStringA on Windows, stderr on Linux.
#pragma once

namespace platform {

void DebugOutput(const char* line);

}  // namespace platform
