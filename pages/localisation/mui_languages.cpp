// The language table; regional rows (Chinese scripts, Brazilian Portuguese, Nynorsk) come
// before the primary-language rows they refine.
#include "pages/localisation/mui_languages.h"

namespace {

constexpr uint16_t kPrimaryLanguageMask = 0x3FF;

constexpr MuiLanguageRow kRows[] = {
    {0x0804, "HANS"}, {0x1004, "HANS"}, {0x0C04, "HANT"}, {0x1404, "HANT"}, {0x0404, "HANT"},
    {0x0001, "AR"},   {0x0002, "BG"},   {0x0003, "CA"},   {0x0005, "CS"},   {0x0006, "DA"},
    {0x0007, "DE"},   {0x0008, "EL"},   {0x000A, "ES"},   {0x000B, "FI"},   {0x000C, "FR"},
    {0x000D, "HE"},   {0x000E, "HU"},   {0x000F, "IS"},   {0x0010, "IT"},   {0x0011, "JA"},
    {0x0012, "KO"},   {0x0013, "NL"},   {0x0814, "NN"},   {0x0014, "NO"},   {0x0015, "PL"},
    {0x0416, "PTBR"}, {0x0016, "PT"},   {0x0018, "RO"},   {0x0019, "RU"},   {0x001A, "HR"},
    {0x001B, "SK"},   {0x001C, "SQ"},   {0x001D, "SV"},   {0x001E, "TH"},   {0x001F, "TR"},
    {0x0021, "ID"},   {0x0022, "UK"},   {0x0023, "BE"},   {0x0024, "SL"},   {0x0025, "ET"},
    {0x0026, "LV"},   {0x0027, "LT"},   {0x0029, "FA"},   {0x002A, "VI"},   {0x002B, "HY"},
    {0x002C, "AZ"},   {0x002F, "MK"},   {0x0036, "AF"},   {0x0037, "KA"},   {0x0039, "HI"},
    {0x003E, "MS"},   {0x003F, "KK"},   {0x0043, "UZ"},   {0x0044, "TT"},   {0x0045, "BN"},
    {0x0047, "GU"},   {0x004E, "MR"},   {0x0050, "MN"},   {0x005B, "SI"},   {0x0061, "NE"},
    {0x0063, "PS"},
};
static_assert(std::size(kRows) == 61);

std::string_view find(uint16_t langId) {
  for (const auto& row : kRows)
    if (row.langId == langId) return row.code;
  return {};
}

}  // namespace

std::span<const MuiLanguageRow> MuiLanguageRows() {
  return kRows;
}

std::string_view MuiLanguageCode(uint16_t langId) {
  const std::string_view exact = find(langId);
  return exact.empty() ? find(langId & kPrimaryLanguageMask) : exact;
}
