// The standard camera properties of a video input device, printed as a table.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <string>

// One line per property the device answers: name, range, step, default, value and flags.
// False with a reason when the device has neither property interface.
bool PrintProperties(IBaseFilter* source, std::string* error);
