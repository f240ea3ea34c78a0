// The module's 22 property pages, each created as its own page class.
#include "pages/page_table.h"

#include <new>

#include "pages/cg_page.h"
#include "pages/colour_page.h"
#include "pages/cooling_page.h"
#include "pages/exposure_page.h"
#include "pages/histogram_page.h"
#include "pages/misc_page.h"
#include "pages/page_controls.h"
#include "pages/preset_page.h"
#include "pages/roi_page.h"
#include "pages/size_page.h"
#include "resources/resource_ids.h"

namespace {

// The page made by make, or E_OUTOFMEMORY; the dialogs' control classes are registered first.
template <class Make>
CUnknown* CreateWith(HRESULT* phr, Make make) {
  EnsureCommonControls();
  CUnknown* page = make();
  if (!page && phr) *phr = E_OUTOFMEMORY;
  return page;
}

// Creates row Row's page of class Page.
template <class Page, PageRowId Row>
CUnknown* CreatePage(IUnknown* outer, HRESULT* phr) {
  const PageRow& row = PageRowOf(Row);
  return CreateWith(phr, [&]() -> CUnknown* {
    return new (std::nothrow) Page(row.objectName, outer, row.dialogId, row.titleId);
  });
}

// What each Misc dialog offers: colour/grey, bin/skip, power frequency, contrast/gamma.
struct MiscRow {
  PageRowId row;
  MiscFeatures features;
};
constexpr MiscRow kMiscRows[] = {
    {PageRowId::Misc2, {0, 0, 0, 1}}, {PageRowId::Misc2BitDepth, {0, 0, 0, 1}},
    {PageRowId::Misc3, {1, 0, 0, 0}}, {PageRowId::Misc3BitDepth, {1, 0, 0, 0}},
    {PageRowId::Misc4, {1, 0, 1, 0}}, {PageRowId::Misc4BitDepth, {1, 0, 1, 0}},
    {PageRowId::Misc5, {1, 1, 1, 0}}, {PageRowId::Misc5BitDepth, {1, 1, 1, 0}},
};

constexpr MiscFeatures MiscFeaturesOf(PageRowId id) {
  for (const MiscRow& r : kMiscRows)
    if (r.row == id) return r.features;
  return {};
}

template <PageRowId Row>
CUnknown* CreateMiscPage(IUnknown* outer, HRESULT* phr) {
  const PageRow& row = PageRowOf(Row);
  return CreateWith(phr, [&]() -> CUnknown* {
    return new (std::nothrow)
        CMiscPropertyPage(row.objectName, outer, row.dialogId, row.titleId, MiscFeaturesOf(Row));
  });
}

constexpr CLSID Clsid(uint32_t a, uint16_t b, uint16_t c, uint64_t d) {
  CLSID id = {a, b, c, {}};
  for (int i = 0; i < 8; ++i) id.Data4[i] = static_cast<unsigned char>(d >> (56 - 8 * i));
  return id;
}

using R = PageRowId;
constexpr PageCamera kLumorix = PageCamera::Lumorix;
constexpr PageCamera kStill = PageCamera::LumorixAndStill;
constexpr PageApply kDirty = PageApply::WhenDirty;
constexpr PageApply kAlways = PageApply::Always;

}  // namespace

const PageRow kPageRows[kPageRowCount] = {
    {L"ZerithalSize10Page", L"ZerithalSize", Clsid(0xFF24C393, 0x90B8, 0x4B93, 0x902F26ED543F4D08),
     IDD_SIZE10, IDS_TITLE_SIZE, kLumorix, kAlways, CreatePageOf<CSize10PropertyPage, R::Size10>},
    {L"ZerithalSize20Page", L"ZerithalSize", Clsid(0x4DB58A7B, 0x0CBA, 0x4AEB, 0x8B41996493B80B26),
     IDD_SIZE20, IDS_TITLE_SIZE, kLumorix, kAlways, CreatePageOf<CSize20PropertyPage, R::Size20>},
    {L"ZerithalSize30Page", L"ZerithalSize", Clsid(0x5713FF49, 0x45A6, 0x4DF9, 0xBE88045D93819ACF),
     IDD_SIZE30, IDS_TITLE_SIZE, kLumorix, kAlways, CreatePageOf<CSize30PropertyPage, R::Size30>},
    {L"ZerithalSize40Page", L"ZerithalSize", Clsid(0xA07DAC99, 0xB80A, 0x4A95, 0x98D4E86ABCCC7B0E),
     IDD_SIZE40, IDS_TITLE_SIZE, kLumorix, kAlways, CreatePageOf<CSize40PropertyPage, R::Size40>},
    {L"ZerithalSize22Page", L"ZerithalSize", Clsid(0x8C046962, 0x37C8, 0x4639, 0x894094C572522CF5),
     IDD_SIZE22, IDS_TITLE_SIZE, kStill, kAlways, CreatePageOf<CSize22PropertyPage, R::Size22>},
    {L"ZerithalSize33Page", L"ZerithalSize", Clsid(0x87501857, 0x1F69, 0x43FE, 0x819E1A8871C60706),
     IDD_SIZE33, IDS_TITLE_SIZE, kStill, kAlways, CreatePageOf<CSize33PropertyPage, R::Size33>},
    {L"ZerithalSize88Page", L"ZerithalSize", Clsid(0x017B6921, 0xA8FD, 0x4AE5, 0xBD6317A683B87B11),
     IDD_SIZE88, IDS_TITLE_SIZE, kStill, kAlways, CreatePageOf<CSize88PropertyPage, R::Size88>},
    {L"ZerithalHistogramPage", L"ZerithalHistogram",
     Clsid(0x2AAD6264, 0x9EC8, 0x4FB5, 0x9DC5028A67FFFD0F), IDD_HISTOGRAM, IDS_TITLE_HISTOGRAM,
     kLumorix, kDirty, CreatePageOf<CHistogramPropertyPage, R::Histogram>},
    {L"ZerithalExposurePage", L"ZerithalExposure",
     Clsid(0x437833AF, 0x61D9, 0x436C, 0xBA69B81F2BEEE6F8), IDD_EXPOSURE, IDS_TITLE_EXPOSURE,
     kLumorix, kDirty, CreatePageOf<CExposurePropertyPage, R::Exposure>},
    {L"ZerithalMisc3Page", L"ZerithalMisc", Clsid(0x087A83A3, 0xEEBF, 0x450D, 0x872C0F93905D38B9),
     IDD_MISC3, IDS_TITLE_MISC, kLumorix, kDirty, CreateMiscPage<R::Misc3>},
    {L"ZerithalMisc3BitDepthPage", L"ZerithalMisc",
     Clsid(0x5EA85CBD, 0xCC97, 0x4398, 0xA428AB3815E89229), IDD_MISC3_BITDEPTH, IDS_TITLE_MISC,
     kLumorix, kDirty, CreateMiscPage<R::Misc3BitDepth>},
    {L"ZerithalMisc2Page", L"ZerithalMisc", Clsid(0x09FF28C0, 0xF5C6, 0x4534, 0x9FFA8B4A7401D947),
     IDD_MISC2, IDS_TITLE_MISC, kLumorix, kDirty, CreateMiscPage<R::Misc2>},
    {L"ZerithalMisc2BitDepthPage", L"ZerithalMisc",
     Clsid(0x258A7368, 0x51C1, 0x4155, 0xB090930F1E3265DD), IDD_MISC2_BITDEPTH, IDS_TITLE_MISC,
     kLumorix, kDirty, CreateMiscPage<R::Misc2BitDepth>},
    {L"ZerithalColorPage", L"ZerithalColor", Clsid(0xC8B25F5E, 0x240C, 0x4B57, 0xBDB96F260E113A93),
     IDD_COLOR, IDS_TITLE_COLOR, kLumorix, kDirty, CreatePageOf<CColorPropertyPage, R::Colour>},
    {L"ZerithalMisc4Page", L"ZerithalMisc", Clsid(0x60E1F271, 0x1A67, 0x41AD, 0x9824A7F0AA8C5657),
     IDD_MISC4, IDS_TITLE_MISC, kLumorix, kDirty, CreateMiscPage<R::Misc4>},
    {L"ZerithalMisc4BitDepthPage", L"ZerithalMisc",
     Clsid(0x64D4DE96, 0xA455, 0x41E4, 0xB863A1376B8ADC90), IDD_MISC4_BITDEPTH, IDS_TITLE_MISC,
     kLumorix, kDirty, CreateMiscPage<R::Misc4BitDepth>},
    {L"ZerithalMisc5Page", L"ZerithalMisc", Clsid(0x5B4F4408, 0x0958, 0x471A, 0x801B3CC471E584AB),
     IDD_MISC5, IDS_TITLE_MISC, kLumorix, kDirty, CreateMiscPage<R::Misc5>},
    {L"ZerithalMisc5BitDepthPage", L"ZerithalMisc",
     Clsid(0x07FCA0CC, 0x7787, 0x464D, 0x916DCD5971312224), IDD_MISC5_BITDEPTH, IDS_TITLE_MISC,
     kLumorix, kDirty, CreateMiscPage<R::Misc5BitDepth>},
    {L"ZerithalCgPage", L"ZerithalCg", Clsid(0xFE543156, 0x66DD, 0x4B2B, 0x827EDFFEC7350AE7),
     IDD_CG, IDS_TITLE_CG, kLumorix, kDirty, CreatePage<CCgPropertyPage, R::Cg>},
    {L"ZerithalROIPage", L"ZerithalROI", Clsid(0xCBF28142, 0x805A, 0x4C2A, 0x97683904066BB15E),
     IDD_ROI, IDS_TITLE_ROI, kLumorix, kDirty, CreatePage<CRectPropertyPage, R::Roi>},
    {L"ZerithalCoolingPage", L"ZerithalCooling",
     Clsid(0xE9C04D68, 0xB085, 0x4711, 0xA831F382868E3BB6), IDD_COOLING, IDS_TITLE_COOLING,
     kLumorix, kDirty, CreatePage<CCoolingPropertyPage, R::Cooling>},
    {L"ZerithalPresetPage", L"ZerithalPreset",
     Clsid(0x6B3453CB, 0xF2BD, 0x4EF9, 0x82364733E08CC3FF), IDD_PRESET, IDS_TITLE_PRESET,
     PageCamera::Preset, kDirty, CreatePage<CPresetPropertyPage, R::Preset>},
};
