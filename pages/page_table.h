// The module's 22 property pages: factory template name, class id, dialog, title and creation.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <new>

#include "dshow/base/cfactorytemplate.h"
#include "pages/framework/cmuipropertypage.h"

// The rows in factory-template order (templates 1 to 22; template 0 is the filter).
enum class PageRowId : uint8_t {
  Size10,
  Size20,
  Size30,
  Size40,
  Size22,
  Size33,
  Size88,
  Histogram,
  Exposure,
  Misc3,
  Misc3BitDepth,
  Misc2,
  Misc2BitDepth,
  Colour,
  Misc4,
  Misc4BitDepth,
  Misc5,
  Misc5BitDepth,
  Cg,
  Roi,
  Cooling,
  Preset,
  Count
};

struct PageRow {
  const WCHAR* templateName;
  const WCHAR* objectName;
  CLSID clsid;
  int dialogId;
  int titleId;
  PageCamera camera;  // the interfaces the page asks for
  PageApply apply;
  LPFNNewCOMObject create;
};

inline constexpr size_t kPageRowCount = static_cast<size_t>(PageRowId::Count);
extern const PageRow kPageRows[kPageRowCount];

inline const PageRow& PageRowOf(PageRowId id) {
  return kPageRows[static_cast<size_t>(id)];
}

// Creates page class T for row Row: T is constructed from the row and the outer unknown.
template <class T, PageRowId Row>
CUnknown* CreatePageOf(IUnknown* outer, HRESULT* phr) {
  auto* page = new (std::nothrow) T(PageRowOf(Row), outer);
  if (!page && phr) *phr = E_OUTOFMEMORY;
  return page;
}
