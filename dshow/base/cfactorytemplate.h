// One creatable COM class of the module; the module defines the table g_Templates.
#pragma once

#include <windows.h>

#include "dshow/base/amoviesetup.h"
#include "dshow/base/cunknown.h"

using LPFNNewCOMObject = CUnknown* (*)(IUnknown* outer, HRESULT* phr);
using LPFNInitRoutine = void (*)(BOOL loading, const CLSID* clsid);

class CFactoryTemplate {
 public:
  const WCHAR* m_Name;
  const CLSID* m_ClsID;
  LPFNNewCOMObject m_lpfnNew;
  LPFNInitRoutine m_lpfnInit;  // run at module load (TRUE) and unload (FALSE); may be null
  const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

  bool IsClassID(REFCLSID clsid) const { return m_ClsID && IsEqualCLSID(*m_ClsID, clsid); }
  CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr) const { return m_lpfnNew(outer, phr); }
};

// Supplied by the module that links this layer.
extern CFactoryTemplate g_Templates[];
extern int g_cTemplates;
