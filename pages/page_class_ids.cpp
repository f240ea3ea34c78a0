// The class ids of the property pages built into the module, and the page lists handed to hosts.
#include "pages/page_class_ids.h"

#include <objbase.h>

#include "pages/page_table.h"

namespace {

// The page-table row of each filter page and each size page (None has no page).
constexpr PageRowId kFilterRows[static_cast<size_t>(FilterPage::Count)] = {
    PageRowId::Exposure,      PageRowId::Roi,           PageRowId::Colour,
    PageRowId::Histogram,     PageRowId::Cooling,       PageRowId::Cg,
    PageRowId::Misc2,         PageRowId::Misc2BitDepth, PageRowId::Misc3,
    PageRowId::Misc3BitDepth, PageRowId::Misc4,         PageRowId::Misc4BitDepth,
    PageRowId::Misc5,         PageRowId::Misc5BitDepth, PageRowId::Preset,
};
constexpr PageRowId kSizeRows[static_cast<size_t>(SizePage::Count)] = {
    PageRowId::Count,  PageRowId::Size10, PageRowId::Size20, PageRowId::Size30,
    PageRowId::Size40, PageRowId::Size22, PageRowId::Size33, PageRowId::Size88,
};

const CLSID* RowClassId(PageRowId row) {
  return row < PageRowId::Count ? &PageRowOf(row).clsid : nullptr;
}

}  // namespace

const CLSID* FilterPageClassId(FilterPage page) {
  const size_t i = static_cast<size_t>(page);
  return i < static_cast<size_t>(FilterPage::Count) ? RowClassId(kFilterRows[i]) : nullptr;
}

const CLSID* SizePageClassId(SizePage page) {
  const size_t i = static_cast<size_t>(page);
  return i < static_cast<size_t>(SizePage::Count) ? RowClassId(kSizeRows[i]) : nullptr;
}

HRESULT FillPageList(CAUUID* list, const CLSID* const* ids, size_t count) {
  list->cElems = 0;
  list->pElems = nullptr;
  size_t carried = 0;
  for (size_t i = 0; i < count; ++i) carried += ids[i] ? 1 : 0;
  if (carried == 0) return S_OK;
  list->pElems = static_cast<GUID*>(CoTaskMemAlloc(carried * sizeof(GUID)));
  if (!list->pElems) return E_OUTOFMEMORY;
  for (size_t i = 0; i < count; ++i) {
    if (ids[i]) list->pElems[list->cElems++] = *ids[i];
  }
  return S_OK;
}
