// The module's creatable COM classes: the capture filter first.
#include <windows.h>
#include <dshow.h>

#include "dshow/base/cfactorytemplate.h"
#include "dshow/filter/cdcm.h"
#include "dshow/filter_setup.h"

CFactoryTemplate g_Templates[] = {
    {kFilterName, &CLSID_Zerithal, CDcm::CreateInstance, nullptr, &kFilterSetup},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);
