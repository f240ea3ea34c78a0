// The filter's registration data: its factory-template setup and its filter-mapper record.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "dshow/base/amoviesetup.h"

inline constexpr DWORD kFilterMerit = 0x200000;

extern const AMOVIESETUP_FILTER kFilterSetup;

// Registers the filter in the video input device category, or removes it from there.
HRESULT RegisterFilterInCategory(bool registering);
