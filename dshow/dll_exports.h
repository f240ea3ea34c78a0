// The module's plain exports for programs that are no COM hosts.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

extern "C" uint32_t WINAPI DshowEnumCamera();
extern "C" IUnknown* WINAPI DshowOpenCamera(uint32_t index);
extern "C" void WINAPI ZxPageSpacings(int32_t* small, int32_t* large);

// The ST4 guide port for guiding programs. Connect: 1 when connected (or, with 0, disconnected),
// 0 when no camera with a guide port and no guide adapter was found. PlusGuide: on a camera
// port the request's HRESULT (0 sent; 0x80070057 for a direction above 4 or more than
// 1966079 ms); on the adapter 1 when the report went out, else 0 (also above 4 or 65535 ms);
// nothing connected 0. PlusGuideState: 1 while a pulse runs, else 0.
extern "C" int WINAPI AscomST4Connect(int connect);
extern "C" int WINAPI AscomST4PlusGuide(unsigned direction, unsigned ms);
extern "C" int WINAPI AscomST4PlusGuideState();
