// Win32 GUIDs: CoCreateGuid, looked up in "Ole32.dll" at run time on each call.
#include <windows.h>

#include <cstring>

#include "platform/dynlib.h"
#include "platform/identity.h"

namespace platform {

bool OsNewGuid(Guid& out) {
  using CreateGuid = HRESULT(WINAPI*)(GUID*);
  DynamicLibrary ole;
  if (!ole.open(L"Ole32.dll")) return false;
  auto create = reinterpret_cast<CreateGuid>(ole.symbol("CoCreateGuid"));
  GUID g{};
  if (!create || FAILED(create(&g))) return false;
  out.data1 = g.Data1;
  out.data2 = g.Data2;
  out.data3 = g.Data3;
  std::memcpy(out.data4, g.Data4, sizeof out.data4);
  return true;
}

}  // namespace platform
