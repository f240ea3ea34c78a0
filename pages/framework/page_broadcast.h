// Tells every page of the frame (and their controls) something, with both parameters 0.
#pragma once

#include <windows.h>

// Posts message to every descendant of the page's grandparent, the property frame. Nothing is
// posted when the page has no grandparent or the grandparent lies above the page's top window,
// so a host that embeds the page more shallowly never hears it on its other windows.
void BroadcastToFrame(HWND page, UINT message);
