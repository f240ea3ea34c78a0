// The base of every page: the site's locale, the translated title, the camera interfaces and the
// lifecycle all pages share.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <cstdint>

#include "core/lumorix.h"
#include "dshow/base/cbasepropertypage.h"
#include "pages/framework/cmuilangid.h"
#include "platform/com_ptr.h"

// The camera interfaces a page asks the object it is handed for.
enum class PageCamera : uint8_t {
  Lumorix,          // ILumorix
  LumorixAndStill,  // ILumorix and ILumorixStillImage (still image-size pages)
  Preset,           // ILumorixPreset
};

// How the frame's Apply reaches OnApplyChanges.
enum class PageApply : uint8_t {
  WhenDirty,  // the base behaviour: only when the page marked itself dirty
  Always,     // whenever a site is set (pages whose choice is applied, never typed)
};

class CMuiPropertyPage : public CBasePropertyPage, public CMuiLangID {
 public:
  CMuiPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId,
                   PageCamera camera = PageCamera::Lumorix, PageApply apply = PageApply::WhenDirty);

  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE Apply() override;

  // Asks for the page's interfaces: E_POINTER without an object, E_NOINTERFACE when a query
  // fails, E_FAIL when it answers null. Pages with reads of their own call this first.
  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnDisconnect() override;
  // Re-texts the dialog in the page's language, then marks the page active.
  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  HRESULT OnApplyChanges() override;

 protected:
  // Re-texts every child of the page dialog when a translation is loaded.
  void TranslatePage();
  // Marks the page dirty and tells the site, once per change.
  void MarkDirty();
  bool isActive() const { return m_active != 0; }

  ComPtr<ILumorix> m_lumorix;
  ComPtr<ILumorixStillImage> m_still;
  ComPtr<ILumorixPreset> m_preset;
  uint32_t m_active = 0;  // command and scroll messages are ignored while 0

 private:
  PageCamera m_camera;
  PageApply m_apply;
};
