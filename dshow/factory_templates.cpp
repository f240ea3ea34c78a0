// The module's creatable COM classes: the capture filter first, then the 22 property pages.
#include <windows.h>
#include <dshow.h>

#include "dshow/base/cfactorytemplate.h"
#include "dshow/filter/cdcm.h"
#include "dshow/filter_setup.h"
#include "pages/page_table.h"

CFactoryTemplate g_Templates[1 + kPageRowCount] = {
    {kFilterName, &CLSID_Zerithal, CDcm::CreateInstance, nullptr, &kFilterSetup},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

namespace {

// Pages have no initialisation routine and no filter-setup record.
const bool kPagesListed = [] {
  for (size_t i = 0; i < kPageRowCount; ++i) {
    const PageRow& row = kPageRows[i];
    g_Templates[1 + i] = {row.templateName, &row.clsid, row.create, nullptr, nullptr};
  }
  return true;
}();

}  // namespace
