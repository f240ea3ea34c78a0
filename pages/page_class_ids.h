// The class ids of the property pages built into the module, and the page lists handed to hosts.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <cstddef>

#include "pages/page_choice.h"

// Null for a page the module does not carry.
const CLSID* FilterPageClassId(FilterPage page);
const CLSID* SizePageClassId(SizePage page);

// Hands out the pages the module carries, in order; E_OUTOFMEMORY when the list cannot be made.
HRESULT FillPageList(CAUUID* list, const CLSID* const* ids, size_t count);
