// The module's plain exports for programs that are no COM hosts.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

extern "C" uint32_t WINAPI DshowEnumCamera();
extern "C" IUnknown* WINAPI DshowOpenCamera(uint32_t index);
extern "C" void WINAPI ZxPageSpacings(int32_t* small, int32_t* large);
