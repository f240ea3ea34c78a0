// The backslash sequences of a table value: backslash-r, -n and -t become CR, LF and TAB.
#pragma once

#include "platform/types.h"

WString UnescapeMuiText(WStringView text);
