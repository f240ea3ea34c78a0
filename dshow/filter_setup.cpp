// The filter's registration data: its factory-template setup and its filter-mapper record.
#include "dshow/filter_setup.h"

#include "dshow/base/dllsetup.h"
#include "dshow/filter/cdcm.h"

namespace {

const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
const AMOVIESETUP_PIN kSetupPins[] = {{const_cast<LPWSTR>(L"Preview"), FALSE, TRUE, FALSE, FALSE,
                                       &CLSID_NULL, nullptr, 1, kPinTypes}};

}  // namespace

const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_Zerithal, kFilterName, kFilterMerit, 1, kSetupPins};

HRESULT RegisterFilterInCategory(bool registering) {
  return RegisterVideoInputSource(CLSID_Zerithal, kFilterName, kFilterMerit, registering);
}
