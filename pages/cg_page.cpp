// The conversion-gain page: three radios over option 25.
#include "pages/cg_page.h"

#include "base/lumorix_flags.h"
#include "core/lumorix_options.h"
#include "core/model_catalogue.h"
#include "pages/framework/page_messages.h"
#include "pages/radio_group.h"
#include "platform/com_ptr.h"

namespace {

constexpr int32_t kHcg = 1, kLcg = 0, kHdr = 2;
constexpr int kHdrRadio = 1036;
constexpr RadioChoice kCgRadios[] = {{1034, kHcg}, {1035, kLcg}, {kHdrRadio, kHdr}};

}  // namespace

CCgPropertyPage::CCgPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId)
    : CMuiPropertyPage(name, outer, dialogId, titleId) {}

bool CCgPropertyPage::ModelOffersHdr() const {
  ComPtr<ILumorixInternalInternal> internal;
  if (FAILED(m_lumorix->QueryInterface(IID_ILumorixInternalInternal, internal.outVoid())) ||
      !internal)
    return false;
  const ModelInfo* info = nullptr;
  if (FAILED(internal->get_ModelInfo(&info)) || !info) return false;
  return (info->flags & LUMORIX_FLAG_CG3) != 0;
}

void CCgPropertyPage::RefreshCgPage() {
  int32_t value = 0;
  m_lumorix->get_Option(LUMORIX_OPTION_CG, &value);
  CheckRadioOf(m_Dlg, kCgRadios, value);
}

HRESULT CCgPropertyPage::OnActivate() {
  TranslatePage();
  if (m_lumorix) {
    RefreshCgPage();
    if (!ModelOffersHdr()) EnableWindow(GetDlgItem(m_Dlg, kHdrRadio), FALSE);
  }
  m_active = 1;
  return S_OK;
}

INT_PTR CCgPropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    const RadioChoice* choice = RadioOf(kCgRadios, LOWORD(wParam));
    if (isActive() && m_lumorix && HIWORD(wParam) == BN_CLICKED && choice &&
        (choice->value != kHdr || ModelOffersHdr()))
      m_lumorix->put_Option(LUMORIX_OPTION_CG, choice->value);
    return 1;
  }
  if (message == kMsgSettingsChanged && m_lumorix) RefreshCgPage();
  return CMuiPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}
