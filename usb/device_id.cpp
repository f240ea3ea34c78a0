// Id parsing without scanf: ids are UTF-16 and the forms are small.
#include "usb/device_id.h"

namespace usb {
namespace {

int hexDigit(WCHAR16 c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Up to four hex digits at `pos`; at least one.
std::optional<uint16_t> hex16(WStringView s, size_t& pos) {
  uint32_t v = 0;
  size_t n = 0;
  while (pos < s.size() && n < 4 && hexDigit(s[pos]) >= 0) v = v * 16 + hexDigit(s[pos++]), ++n;
  if (!n) return std::nullopt;
  return static_cast<uint16_t>(v);
}

bool startsWith(WStringView s, size_t pos, const char* text) {
  for (; *text; ++text, ++pos)
    if (pos >= s.size() || s[pos] != static_cast<WCHAR16>(*text)) return false;
  return true;
}

std::optional<InterfacePathId> parsePath(WStringView id, const char* vidPrefix,
                                         const char* pidPrefix) {
  if (!startsWith(id, 0, vidPrefix)) return std::nullopt;
  size_t pos = std::char_traits<char>::length(vidPrefix);
  const auto vid = hex16(id, pos);
  if (!vid || !startsWith(id, pos, pidPrefix)) return std::nullopt;
  pos += std::char_traits<char>::length(pidPrefix);
  const auto pid = hex16(id, pos);
  if (!pid) return std::nullopt;
  return InterfacePathId{*vid, *pid};
}

WString concat(const char* prefix, WStringView rest, const char* suffix) {
  WString out;
  for (const char* p = prefix; *p; ++p) out.push_back(static_cast<WCHAR16>(*p));
  out.append(rest);
  for (const char* p = suffix; *p; ++p) out.push_back(static_cast<WCHAR16>(*p));
  return out;
}

}  // namespace

std::optional<KernelId> ParseKernelId(WStringView id) {
  size_t pos = 0;
  uint64_t instance = 0;
  while (pos < id.size() && id[pos] >= '0' && id[pos] <= '9' && instance <= 0xFFFFFFFFu)
    instance = instance * 10 + (id[pos++] - '0');
  if (pos == 0 || instance > 0xFFFFFFFFu || pos >= id.size() || id[pos] != '-') return std::nullopt;
  ++pos;
  const auto pid = hex16(id, pos);
  if (!pid || pos != id.size()) return std::nullopt;
  return KernelId{static_cast<uint32_t>(instance), *pid};
}

std::optional<InterfacePathId> ParseInterfacePath(WStringView id) {
  if (auto lower = parsePath(id, "\\\\?\\usb#vid_", "&pid_")) return lower;
  return parsePath(id, "\\\\?\\USB#VID_", "&PID_");
}

WString KernelDevicePath(WStringView id) {
  return concat("\\\\.\\lumorix-", id, "");
}

WString WinUsbDevicePath(WStringView id) {
  return concat("", id, "#{05476310-0000-0000-0000-000000000000}");
}

}  // namespace usb
