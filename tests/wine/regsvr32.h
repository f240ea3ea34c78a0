// Registers or unregisters a COM module through the system's regsvr32, as an installer would.
#pragma once

#include <windows.h>

#include <string>

// Runs "regsvr32 /s [/u] module" and waits at most timeoutMs; the exit code, or -1 when it
// could not be started or did not finish in time (then it is killed).
int RunRegsvr32(const std::wstring& modulePath, bool unregister, DWORD timeoutMs = 30000);

// A file next to the running executable.
std::wstring BesideExecutable(const wchar_t* fileName);
