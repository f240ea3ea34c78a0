// The capture host's command line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct Options {
  std::wstring device = L"Zerithal";
  int frames = 30;
  LONG width = 0;  // 0: the size the pin offers first
  LONG height = 0;
  std::wstring outDir;  // empty: no pictures are written
  int saveEvery = 0;    // 0: the first and the last frame only
  int timeoutSeconds = 30;
  bool properties = false;  // print the standard camera properties instead of capturing
  bool still = false;       // also take one still through the device's still pin
  bool help = false;
};

extern const char kUsage[];

// The options after the program name; false with a reason for anything it cannot use.
bool ParseOptions(const std::vector<std::wstring>& args, Options* options, std::string* error);
