// The capture host's command line.
#include "tools/capture_host/options.h"

#include <cwchar>

#include "tools/capture_host/com.h"

const char kUsage[] =
    "usage: capture_host [--device NAME] [--frames N] [--size WxH] [--out DIR]\n"
    "                    [--save-every K] [--timeout SECONDS] [--still] [--properties]\n"
    "  Lists the video input devices, captures N frames (default 30) of RGB24 video from the\n"
    "  one named NAME (default Zerithal) and prints a line per frame. With --out, the first and\n"
    "  the last frame (and every K-th with --save-every) are written there as BMP files.\n"
    "  --still also renders the still pin, triggers one still once the frames are in and\n"
    "  writes it as still.bmp beside them.\n"
    "  --properties prints each standard camera property's range, value and flags instead.\n"
    "  Exit code: 0 all well, 1 capture failed, 2 bad usage, 3 frames broke a check.\n";

namespace {

bool PositiveNumber(const std::wstring& text, int* value) {
  if (text.empty() || text.size() > 9) return false;
  int n = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    n = n * 10 + (c - L'0');
  }
  *value = n;
  return n > 0;
}

bool ParseSize(const std::wstring& text, LONG* width, LONG* height) {
  const size_t x = text.find_first_of(L"xX");
  int w = 0, h = 0;
  if (x == std::wstring::npos || !PositiveNumber(text.substr(0, x), &w) ||
      !PositiveNumber(text.substr(x + 1), &h)) {
    return false;
  }
  *width = w;
  *height = h;
  return true;
}

// Applies one option that takes a value; false when the value does not fit it.
bool ApplyValue(const std::wstring& name, const std::wstring& value, Options* o) {
  if (name == L"--device" || name == L"--out") {
    (name == L"--device" ? o->device : o->outDir) = value;
    return !value.empty();
  }
  if (name == L"--size") return ParseSize(value, &o->width, &o->height);
  if (name == L"--frames") return PositiveNumber(value, &o->frames);
  if (name == L"--save-every") return PositiveNumber(value, &o->saveEvery);
  return PositiveNumber(value, &o->timeoutSeconds);  // --timeout
}

}  // namespace

bool ParseOptions(const std::vector<std::wstring>& args, Options* options, std::string* error) {
  static const wchar_t* const kValued[] = {L"--device", L"--frames",     L"--size",
                                           L"--out",    L"--save-every", L"--timeout"};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& name = args[i];
    if (name == L"--help" || name == L"-h" || name == L"--properties" || name == L"--still") {
      (name == L"--properties" ? options->properties
       : name == L"--still"    ? options->still
                               : options->help) = true;
      continue;
    }
    bool known = false;
    for (const wchar_t* valued : kValued) known = known || name == valued;
    if (!known) {
      *error = "unknown option " + Utf8(name);
      return false;
    }
    if (i + 1 == args.size()) {
      *error = Utf8(name) + " needs a value";
      return false;
    }
    if (!ApplyValue(name, args[++i], options)) {
      *error = "bad value for " + Utf8(name) + ": " + Utf8(args[i]);
      return false;
    }
  }
  return true;
}
