// The video input devices the system device enumerator lists.
#pragma once

#include <dshow.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tools/capture_host/com.h"

struct VideoInput {
  std::wstring friendlyName;
  ComPtr<IMoniker> moniker;
};

// Every device of the video input category; false with a reason when the enumerator fails.
bool ListVideoInputs(std::vector<VideoInput>* devices, std::string* error);

// The filter of the device named name, created through its moniker as any host creates it.
bool BindVideoInput(const std::vector<VideoInput>& devices, const std::wstring& name,
                    ComPtr<IBaseFilter>* filter, std::string* error);
