// The class ids of the property pages built into the module, and the page lists handed to hosts.
#include "pages/page_class_ids.h"

#include <objbase.h>

namespace {

// Each page registers its class id here when it joins the module; until then a host is offered
// no page it could not create.
const CLSID* const kFilterPages[static_cast<size_t>(FilterPage::Count)] = {};
const CLSID* const kSizePages[static_cast<size_t>(SizePage::Count)] = {};

}  // namespace

const CLSID* FilterPageClassId(FilterPage page) {
  const size_t i = static_cast<size_t>(page);
  return i < static_cast<size_t>(FilterPage::Count) ? kFilterPages[i] : nullptr;
}

const CLSID* SizePageClassId(SizePage page) {
  const size_t i = static_cast<size_t>(page);
  return i < static_cast<size_t>(SizePage::Count) ? kSizePages[i] : nullptr;
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
