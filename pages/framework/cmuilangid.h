// The page's locale as its site reports it; 0 until it does.
#pragma once

#include <windows.h>

class CMuiLangID {
 public:
  LANGID langId() const { return LANGIDFROMLCID(m_lcid); }

 protected:
  LCID m_lcid = 0;
};
