// The shipped module's property pages: registered with regsvr32 and created by class id, handed
// a recording camera (or, with simulated cameras, the real filter and its pins).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <dshow.h>
#include <ocidl.h>
#include <olectl.h>
#include <prsht.h>
#include <commctrl.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/lumorix.h"
#include "core/testing/recording_lumorix.h"
#include "pipeline/preset_record.h"
#include "pages/rules/exposure_scale.h"
#include "platform/com_ptr.h"
#include "tests/dshow/filter/module_graph.h"
#include "tests/dshow/filter/module_support.h"
#include "sim/wine/shim_client.h"
#include "tests/dshow/support/page_host.h"
#include "tests/wine/client_pixels.h"
#include "tests/wine/regsvr32.h"

namespace {

// Objects that are not cameras: one answers no interface, one answers success with nothing.
struct NotACamera : IUnknown {
  explicit NotACamera(HRESULT answer) : answer_(answer) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return answer_;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT answer_;
};

struct PageRowCase {
  const wchar_t* clsid;
  const wchar_t* germanTitle;
  bool presetOnly;  // asks for ILumorixPreset instead of ILumorix
};

const PageRowCase kRows[] = {
    {L"{FF24C393-90B8-4B93-902F-26ED543F4D08}", L"Größe", false},
    {L"{4DB58A7B-0CBA-4AEB-8B41-996493B80B26}", L"Größe", false},
    {L"{5713FF49-45A6-4DF9-BE88-045D93819ACF}", L"Größe", false},
    {L"{A07DAC99-B80A-4A95-98D4-E86ABCCC7B0E}", L"Größe", false},
    {L"{8C046962-37C8-4639-8940-94C572522CF5}", L"Größe", false},
    {L"{87501857-1F69-43FE-819E-1A8871C60706}", L"Größe", false},
    {L"{017B6921-A8FD-4AE5-BD63-17A683B87B11}", L"Größe", false},
    {L"{2AAD6264-9EC8-4FB5-9DC5-028A67FFFD0F}", L"Histogramm", false},
    {L"{437833AF-61D9-436C-BA69-B81F2BEEE6F8}", L"Belichtung", false},
    {L"{087A83A3-EEBF-450D-872C-0F93905D38B9}", L"Sonstiges", false},
    {L"{5EA85CBD-CC97-4398-A428-AB3815E89229}", L"Sonstiges", false},
    {L"{09FF28C0-F5C6-4534-9FFA-8B4A7401D947}", L"Sonstiges", false},
    {L"{258A7368-51C1-4155-B090-930F1E3265DD}", L"Sonstiges", false},
    {L"{C8B25F5E-240C-4B57-BDB9-6F260E113A93}", L"Farbe", false},
    {L"{60E1F271-1A67-41AD-9824-A7F0AA8C5657}", L"Sonstiges", false},
    {L"{64D4DE96-A455-41E4-B863-A1376B8ADC90}", L"Sonstiges", false},
    {L"{5B4F4408-0958-471A-801B-3CC471E584AB}", L"Sonstiges", false},
    {L"{07FCA0CC-7787-464D-916D-CD5971312224}", L"Sonstiges", false},
    {L"{FE543156-66DD-4B2B-827E-DFFEC7350AE7}", L"Wandlungsverstärkung", false},
    {L"{CBF28142-805A-4C2A-9768-3904066BB15E}", L"ROI", false},
    {L"{E9C04D68-B085-4711-A831-F382868E3BB6}", L"Kühlung", false},
    {L"{6B3453CB-F2BD-4EF9-8236-4733E08CC3FF}", L"Voreinstellung", true},
};

HRESULT ModuleCanUnloadNow() {
  HMODULE module = GetModuleHandleW(L"zerithal.ax");
  if (!module) return S_OK;  // already unloaded
  auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return canUnload ? canUnload() : E_FAIL;
}

// The shipped module registered for one suite's tests and unregistered after them.
struct ModuleRegistration {
  static void Register() { registered = RunRegsvr32(BesideExecutable(L"zerithal.ax"), false) == 0; }
  static void Unregister() {
    if (registered) RunRegsvr32(BesideExecutable(L"zerithal.ax"), true);
  }
  static inline bool registered = false;
};

class RegisteredPages : public ::testing::TestWithParam<PageRowCase> {
 protected:
  static void SetUpTestSuite() { ModuleRegistration::Register(); }
  static void TearDownTestSuite() { ModuleRegistration::Unregister(); }
  void SetUp() override {
    ASSERT_TRUE(ModuleRegistration::registered);
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    CLSID clsid;
    ASSERT_EQ(CLSIDFromString(GetParam().clsid, &clsid), S_OK);
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page_.outVoid()),
        S_OK);
  }
  void TearDown() override {
    page_.reset();
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK) << "a page object is still alive";
    EXPECT_EQ(site_.refs, 1u) << "the page kept its site";
    OleUninitialize();
  }
  ComPtr<IPropertyPage> page_;
  TestSite site_{0x0407};
};

// The title comes in the site's language; the page fits a page dialog's size.
TEST_P(RegisteredPages, TitleInTheSiteLanguage) {
  ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
  PROPPAGEINFO info = {};
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  ASSERT_NE(info.pszTitle, nullptr);
  EXPECT_STREQ(info.pszTitle, GetParam().germanTitle);
  EXPECT_GT(info.size.cx, 200);
  EXPECT_GT(info.size.cy, 100);
  CoTaskMemFree(info.pszTitle);
  EXPECT_EQ(page_->SetPageSite(nullptr), S_OK);
}

// What the page is handed decides: nothing, no camera, a camera that answers nothing, a camera.
TEST_P(RegisteredPages, ConnectsOnlyToACamera) {
  ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
  IUnknown* none = nullptr;
  EXPECT_EQ(page_->SetObjects(1, &none), static_cast<HRESULT>(0x80004003));
  NotACamera noInterface(E_NOINTERFACE);
  IUnknown* object = &noInterface;
  EXPECT_EQ(page_->SetObjects(1, &object), static_cast<HRESULT>(0x80004002));
  NotACamera nullAnswer(S_OK);
  object = &nullAnswer;
  EXPECT_EQ(page_->SetObjects(1, &object), static_cast<HRESULT>(0x80004005));

  RecordingLumorix camera;
  object = static_cast<ILumorix*>(&camera);
  EXPECT_EQ(page_->SetObjects(1, &object), S_OK);
  Frame frame;
  RECT rect = {0, 0, 400, 300};
  ASSERT_EQ(page_->Activate(frame.container, &rect, FALSE), S_OK);
  HWND dialog = GetWindow(frame.container, GW_CHILD);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetAncestor(dialog, GA_PARENT), frame.container);
  EXPECT_EQ(page_->Deactivate(), S_OK);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(page_->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(page_->SetPageSite(nullptr), S_OK);
  EXPECT_EQ(site_.statusChanges, 0);
}

// A host may activate a page that holds no camera: never handed one, handed several, handed
// something else, or handed a camera and then something else. The page shows, takes the frame's
// refill and auto-exposure messages, and closes.
TEST_P(RegisteredPages, ActivatesWithoutACamera) {
  enum class Before { Nothing, TwoObjects, NotACamera, CameraThenNullAnswer };
  for (const Before before :
       {Before::Nothing, Before::TwoObjects, Before::NotACamera, Before::CameraThenNullAnswer}) {
    ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
    RecordingLumorix camera;
    NotACamera noInterface(E_NOINTERFACE);
    NotACamera nullAnswer(S_OK);
    IUnknown* objects[2] = {static_cast<ILumorix*>(&camera), &noInterface};
    if (before == Before::TwoObjects) {
      EXPECT_TRUE(FAILED(page_->SetObjects(2, objects)));
    }
    if (before == Before::NotACamera) {
      EXPECT_TRUE(FAILED(page_->SetObjects(1, &objects[1])));
    }
    if (before == Before::CameraThenNullAnswer) {
      EXPECT_EQ(page_->SetObjects(1, &objects[0]), S_OK);
      IUnknown* other = &nullAnswer;
      EXPECT_TRUE(FAILED(page_->SetObjects(1, &other)));
    }
    Frame frame;
    RECT rect = {0, 0, 400, 300};
    ASSERT_EQ(page_->Activate(frame.container, &rect, FALSE), S_OK) << int(before);
    HWND dialog = GetWindow(frame.container, GW_CHILD);
    ASSERT_NE(dialog, nullptr) << int(before);
    for (UINT message : {42840u, 42839u}) SendMessageW(dialog, message, 0, 0);
    EXPECT_EQ(page_->Deactivate(), S_OK);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(page_->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(page_->SetPageSite(nullptr), S_OK);
  }
}

INSTANTIATE_TEST_SUITE_P(AllPages, RegisteredPages, ::testing::ValuesIn(kRows));

// A Japanese user (LANG=ja_JP.UTF-8 under wine) whose frame reports no locale gets Japanese
// titles. A process keeps the first language its pages load, so this runs in a process of its own
// (pages_module_ja_test, which sets ZX_JAPANESE_USER) and is skipped elsewhere.
class JapaneseUserPages : public RegisteredPages {};

TEST_P(JapaneseUserPages, TitleInTheUserLanguage) {
  const bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
  if (!japanese) {
    ASSERT_EQ(std::getenv("ZX_JAPANESE_USER"), nullptr)
        << "wine did not take the user's language from LANG (is ja_JP.UTF-8 generated?)";
    GTEST_SKIP() << "runs as a Japanese user in pages_module_ja_test";
  }
  const std::map<std::wstring, std::wstring> japaneseOf = {{L"Größe", L"サイズ"},
                                                           {L"Histogramm", L"ヒストグラム"},
                                                           {L"Belichtung", L"露出"},
                                                           {L"Sonstiges", L"その他"},
                                                           {L"Farbe", L"カラー"},
                                                           {L"Wandlungsverstärkung", L"変換ゲイン"},
                                                           {L"ROI", L"ROI"},
                                                           {L"Kühlung", L"冷却"},
                                                           {L"Voreinstellung", L"プリセット"}};
  TestSite noLocale(0);
  ASSERT_EQ(page_->SetPageSite(&noLocale), S_OK);
  PROPPAGEINFO info = {};
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  ASSERT_NE(info.pszTitle, nullptr);
  EXPECT_EQ(std::wstring(info.pszTitle), japaneseOf.at(GetParam().germanTitle));
  CoTaskMemFree(info.pszTitle);
  EXPECT_EQ(page_->SetPageSite(nullptr), S_OK);
}

INSTANTIATE_TEST_SUITE_P(AllPages, JapaneseUserPages, ::testing::ValuesIn(kRows));

// Drives a modal property frame from a helper thread: finds it among the owner thread's windows,
// selects each tab in turn, records its title and whether the page's dialog shows, and closes
// the frame. Every wait is bounded; whatever happens, the frame is closed at the end.
class FrameDriver {
 public:
  explicit FrameDriver(DWORD ownerThread) : ownerThread_(ownerThread) {}
  void run() {
    for (int i = 0; i < 400 && !frame_; ++i) {  // up to 20 s for the frame to open
      EnumThreadWindows(ownerThread_, FindFrame, reinterpret_cast<LPARAM>(this));
      if (!frame_) Sleep(50);
    }
    if (frame_) visitTabs();
    closeAll();
  }
  std::vector<std::wstring> titles;
  std::vector<bool> shown;
  bool found() const { return frame_ != nullptr; }

 private:
  static BOOL CALLBACK FindFrame(HWND window, LPARAM self) {
    auto* driver = reinterpret_cast<FrameDriver*>(self);
    if (!IsWindowVisible(window) || !SendBounded(window, PSM_GETTABCONTROL, 0, 0)) return TRUE;
    driver->frame_ = window;
    return FALSE;
  }
  static LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
      return 0;
    return static_cast<LRESULT>(result);
  }
  void visitTabs() {
    auto tabs = reinterpret_cast<HWND>(SendBounded(frame_, PSM_GETTABCONTROL, 0, 0));
    const auto count = static_cast<int>(SendBounded(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      SendBounded(frame_, PSM_SETCURSEL, static_cast<WPARAM>(i), 0);
      auto page = reinterpret_cast<HWND>(SendBounded(frame_, PSM_GETCURRENTPAGEHWND, 0, 0));
      HWND dialog = page ? GetWindow(page, GW_CHILD) : nullptr;
      shown.push_back(dialog && IsWindowVisible(dialog));
      wchar_t text[64] = {};
      TCITEMW item = {};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = 64;
      SendBounded(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      titles.push_back(text);
    }
  }
  void closeAll() {
    if (frame_) SendBounded(frame_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    for (int i = 0; i < 100 && frame_ && IsWindow(frame_); ++i) Sleep(50);
    // A frame that would not close, or one that opened too late, is told to go.
    EnumThreadWindows(
        ownerThread_,
        [](HWND window, LPARAM) {
          PostMessageW(window, WM_CLOSE, 0, 0);
          return TRUE;
        },
        0);
  }
  DWORD ownerThread_;
  HWND frame_ = nullptr;
};

class PropertyFrame : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ModuleRegistration::Register(); }
  static void TearDownTestSuite() { ModuleRegistration::Unregister(); }
};

// The 22 pages as the tabs of one frame in German: each tab activates its page and shows its
// dialog, and the frame closes with every page released.
TEST_F(PropertyFrame, AllPagesAsTabsShowAndClose) {
  ASSERT_TRUE(ModuleRegistration::registered);
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  std::vector<CLSID> clsids;
  for (const PageRowCase& row : kRows) {
    clsids.emplace_back();
    ASSERT_EQ(CLSIDFromString(row.clsid, &clsids.back()), S_OK);
  }
  RecordingLumorix camera;
  // A camera without presets: the recording's default answer would be read as a count.
  camera.script(LumorixInterface::ILumorixPreset, LumorixTraits<ILumorixPreset>::get_PresetCount,
                0);
  IUnknown* object = static_cast<ILumorix*>(&camera);
  FrameDriver driver(GetCurrentThreadId());
  HANDLE helper = CreateThread(
      nullptr, 0,
      [](void* d) -> DWORD {
        static_cast<FrameDriver*>(d)->run();
        return 0;
      },
      &driver, 0, nullptr);
  ASSERT_NE(helper, nullptr);
  const HRESULT hr =
      OleCreatePropertyFrame(nullptr, 0, 0, L"Camera", 1, &object,
                             static_cast<ULONG>(clsids.size()), clsids.data(), 0x0407, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(helper, 30000), WAIT_OBJECT_0) << "the helper hangs";
  CloseHandle(helper);
  EXPECT_EQ(hr, S_OK);
  ASSERT_TRUE(driver.found()) << "no frame opened";
  ASSERT_EQ(driver.titles.size(), std::size(kRows));
  for (size_t i = 0; i < std::size(kRows); ++i) {
    EXPECT_EQ(driver.titles[i], kRows[i].germanTitle) << i;
    EXPECT_TRUE(driver.shown[i]) << "tab " << i << " shows no page dialog";
  }
  EXPECT_EQ(ModuleCanUnloadNow(), S_OK) << "a page outlived its frame";
  OleUninitialize();
}

// With simulated cameras: every page the real filter and its pins offer creates from the module,
// connects to what offered it, activates, and leaves no reference behind.
class SimulatedCameraPages : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SimCameraCount()) GTEST_SKIP() << "runs in a prefix set up with simulated cameras";
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ASSERT_TRUE(module_.loaded());
  }
  void TearDown() override {
    if (!SimCameraCount()) return;
    EXPECT_EQ(module_.canUnloadNow(), S_OK);
    OleUninitialize();
  }
  LoadedModule module_;
};

TEST_F(SimulatedCameraPages, EveryOfferedPageCreatesAndActivates) {
  ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
  ASSERT_GE(module_.enumCameras(), 1u);
  ComPtr<IUnknown> filter;
  *filter.out() = module_.openCamera(0);
  ASSERT_TRUE(filter);
  size_t pages = 0;
  DrivePagesOf(filter.get(), &pages);
  EXPECT_GE(pages, 5u) << "the filter offers five pages at least";
  ComPtr<IBaseFilter> base = filter.as<IBaseFilter>(IID_IBaseFilter);
  ASSERT_TRUE(base);
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(base->EnumPins(pins.out()), S_OK);
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.out(), nullptr) == S_OK) DrivePagesOf(pin.get(), &pages);
}

// A page of the module on the simulated camera's filter, shown in a frame.
class SettingsModulePage {
 public:
  SettingsModulePage(const wchar_t* clsid, IUnknown* object, Frame& frame) {
    CLSID id;
    CLSIDFromString(clsid, &id);
    auto getClassObject =
        reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"zerithal.ax"), "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    if (!getClassObject) return;
    EXPECT_EQ(getClassObject(id, IID_IClassFactory, factory.outVoid()), S_OK);
    if (!factory) return;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, page_.outVoid()), S_OK);
    if (!page_) return;
    EXPECT_EQ(page_->SetPageSite(&site_), S_OK);
    EXPECT_EQ(page_->SetObjects(1, &object), S_OK);
    RECT rect = {0, 0, 700, 500};
    EXPECT_EQ(page_->Activate(frame.container, &rect, FALSE), S_OK);
    dialog_ = GetWindow(frame.container, GW_CHILD);
  }
  ~SettingsModulePage() {
    if (!page_) return;
    page_->Deactivate();
    page_->SetObjects(0, nullptr);
    page_->SetPageSite(nullptr);
  }
  HWND dialog() const { return dialog_; }
  // A click as the dialog manager reports it; a check box is toggled first.
  void click(int id) {
    HWND button = GetDlgItem(dialog_, id);
    if ((GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
      CheckDlgButton(dialog_, id, IsDlgButtonChecked(dialog_, id) ? BST_UNCHECKED : BST_CHECKED);
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  void select(int listId, int row) {
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendDlgItemMessageW(dialog_, listId, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
  IPropertyPage* page() const { return page_.get(); }

 private:
  ComPtr<IPropertyPage> page_;
  TestSite site_{0x0409};
  HWND dialog_ = nullptr;
};

// On the simulated camera: the Misc page's flip, the ROI page's drag and window mark, and the
// Preset page's Load reach the camera and read back.
TEST_F(SimulatedCameraPages, SettingsPagesReachTheCamera) {
  ASSERT_GE(module_.enumCameras(), 1u);
  ComPtr<IUnknown> filter;
  *filter.out() = module_.openCamera(0);
  ASSERT_TRUE(filter);
  ComPtr<ILumorix> camera = filter.as<ILumorix>(IID_ILumorix);
  ComPtr<ILumorixPreset> presets = filter.as<ILumorixPreset>(IID_ILumorixPreset);
  ASSERT_TRUE(camera && presets);
  Frame frame;
  {
    SettingsModulePage misc(L"{5B4F4408-0958-471A-801B-3CC471E584AB}", filter.get(), frame);
    ASSERT_NE(misc.dialog(), nullptr);
    misc.click(1222);
    uint32_t on = 0;
    EXPECT_EQ(camera->get_HFlip(&on), S_OK);
    EXPECT_EQ(on, 1u);
    misc.click(1222);
    EXPECT_EQ(camera->get_HFlip(&on), S_OK);
    EXPECT_EQ(on, 0u);
  }
  {
    SettingsModulePage roi(L"{CBF28142-805A-4C2A-9768-3904066BB15E}", filter.get(), frame);
    ASSERT_NE(roi.dialog(), nullptr);
    uint32_t mark = 0;
    EXPECT_EQ(camera->get_AeWindowMark(&mark), S_OK);
    EXPECT_EQ(mark, 1u);
    const RECT start = {200, 200, 600, 400};
    ASSERT_EQ(camera->put_Rect(&start), S_OK);
    RECT before = {};
    ASSERT_EQ(camera->get_Rect(&before), S_OK);
    // A press at the picture's centre (outside the window) dragged down and right draws a new
    // window there.
    HWND surface = GetDlgItem(roi.dialog(), 1041);
    RECT client;
    GetClientRect(surface, &client);
    const int x = client.right / 2, y = client.bottom / 2;
    SendMessageW(surface, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(surface, WM_LBUTTONUP, 0, MAKELPARAM(x + 20, y + 10));
    RECT after = {};
    ASSERT_EQ(camera->get_Rect(&after), S_OK);
    EXPECT_TRUE(after.left != before.left || after.top != before.top ||
                after.right != before.right || after.bottom != before.bottom)
        << "the drag reached the camera";
    roi.page()->Deactivate();
    EXPECT_EQ(camera->get_AeWindowMark(&mark), S_OK);
    EXPECT_EQ(mark, 0u);
  }
  {
    uint32_t savedUs = 0;
    ASSERT_EQ(camera->get_ExpoTime(&savedUs), S_OK);
    const uint32_t count = presets->get_PresetCount();
    std::vector<PresetRecord> kept(count);
    for (uint32_t i = 0; i < count; ++i) presets->get_Preset(i, &kept[i]);
    ASSERT_EQ(presets->AddPreset(L"i34 page test"), S_OK);
    ASSERT_EQ(camera->put_ExpoTime(savedUs * 2), S_OK);
    SettingsModulePage preset(L"{6B3453CB-F2BD-4EF9-8236-4733E08CC3FF}", filter.get(), frame);
    ASSERT_NE(preset.dialog(), nullptr);
    preset.select(1005, static_cast<int>(count) + 1);
    preset.click(1113);
    uint32_t loadedUs = 0;
    EXPECT_EQ(camera->get_ExpoTime(&loadedUs), S_OK);
    EXPECT_EQ(loadedUs, savedUs);
    presets->put_Presets(kept.data(), count);
  }
}

// One page of the module, by class id, on owner, activated in a frame; the dialog for driving it.
class ModulePage {
 public:
  ModulePage(IUnknown* owner, const wchar_t* clsidText) {
    CLSID clsid;
    if (CLSIDFromString(clsidText, &clsid) != S_OK) return;
    auto getClassObject =
        reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"zerithal.ax"), "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    if (!getClassObject || getClassObject(clsid, IID_IClassFactory, factory.outVoid()) != S_OK)
      return;
    if (factory->CreateInstance(nullptr, IID_IPropertyPage, page_.outVoid()) != S_OK) return;
    page_->SetPageSite(&site_);
    if (page_->SetObjects(1, &owner) != S_OK) return;
    RECT rect = {0, 0, 600, 500};
    if (page_->Activate(frame_.container, &rect, FALSE) != S_OK) return;
    dialog_ = GetWindow(frame_.container, GW_CHILD);
  }
  ~ModulePage() {
    if (!page_) return;
    page_->Deactivate();
    page_->SetObjects(0, nullptr);
    page_->SetPageSite(nullptr);
  }
  bool ready() const { return dialog_ != nullptr; }
  IPropertyPage* page() { return page_.get(); }
  HWND item(int id) const { return GetDlgItem(dialog_, id); }
  void scrollTo(int id, int pos) {
    SendMessageW(item(id), TBM_SETPOS, TRUE, pos);
    SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos),
                 reinterpret_cast<LPARAM>(item(id)));
  }
  void send(UINT message) { SendMessageW(dialog_, message, 0, 0); }

 private:
  TestSite site_{0x0409};
  Frame frame_;
  ComPtr<IPropertyPage> page_;
  HWND dialog_ = nullptr;
};

constexpr wchar_t kExposurePage[] = L"{437833AF-61D9-436C-BA69-B81F2BEEE6F8}";
constexpr wchar_t kHistogramPage[] = L"{2AAD6264-9EC8-4FB5-9DC5-028A67FFFD0F}";
constexpr wchar_t kColourPage[] = L"{C8B25F5E-240C-4B57-BDB9-6F260E113A93}";

// The pages' controls reach the simulated camera through the real filter: the exposure trackbar
// sets the mapped time, the saturation trackbar the saturation, typed levels the level range.
TEST_F(SimulatedCameraPages, ControlsReachTheCameraThroughTheFilter) {
  ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
  ASSERT_GE(module_.enumCameras(), 1u);
  ComPtr<IUnknown> filter;
  *filter.out() = module_.openCamera(0);
  ASSERT_TRUE(filter);
  ComPtr<ILumorix> camera = filter.as<ILumorix>(IID_ILumorix);
  ASSERT_TRUE(camera);
  {
    uint32_t minUs = 0, maxUs = 0, defaultUs = 0;
    ASSERT_EQ(camera->get_ExpTimeRange(&minUs, &maxUs, &defaultUs), S_OK);
    ASSERT_EQ(camera->put_AutoExpoEnable(0), S_OK);
    ModulePage page(filter.get(), kExposurePage);
    ASSERT_TRUE(page.ready());
    const ExposureScale scale = ExposureScaleOf(minUs, maxUs);
    const uint32_t pos = (scale.minPos + scale.maxPos) / 3;
    page.scrollTo(1051, int(pos));
    uint32_t us = 0;
    ASSERT_EQ(camera->get_ExpoTime(&us), S_OK);
    EXPECT_EQ(us, SliderPosToExposureTime(pos, minUs, maxUs));
  }
  if (camera->get_IsColor()) {
    ModulePage page(filter.get(), kColourPage);
    ASSERT_TRUE(page.ready());
    page.scrollTo(1076, 0);
    uint32_t saturation = 1;
    ASSERT_EQ(camera->get_Saturation(&saturation), S_OK);
    EXPECT_EQ(saturation, 0u);
  }
  {
    ModulePage page(filter.get(), kHistogramPage);
    ASSERT_TRUE(page.ready());
    SetWindowTextW(page.item(1044), L"40");
    page.send(1034);  // Return in "Left:"
    uint16_t low[4] = {};
    uint16_t high[4] = {};
    ASSERT_EQ(camera->get_LevelRange(low, high), S_OK);
    if (camera->get_IsColor()) {
      for (int c = 0; c < 3; ++c) EXPECT_EQ(low[c], 40) << c;
    } else {
      EXPECT_EQ(low[3], 40);
    }
  }
}

// The size page the preview pin offers: choosing its second size and applying while stopped makes
// the next connection that size; while the graph runs the camera refuses and nothing changes.
TEST_F(SimulatedCameraPages, SizePageAppliesWhileStoppedOnly) {
  ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
  struct SizePage {
    const wchar_t* clsid;
    int secondRadio;
  };
  const SizePage kSizePages[] = {{L"{4DB58A7B-0CBA-4AEB-8B41-996493B80B26}", 1035},
                                 {L"{5713FF49-45A6-4DF9-BE88-045D93819ACF}", 1035},
                                 {L"{A07DAC99-B80A-4A95-98D4-E86ABCCC7B0E}", 1035},
                                 {L"{8C046962-37C8-4639-8940-94C572522CF5}", 1035},
                                 {L"{87501857-1F69-43FE-819E-1A8871C60706}", 1035},
                                 {L"{017B6921-A8FD-4AE5-BD63-17A683B87B11}", 1452}};
  {
    ComScope com;
    ComPtr<IUnknown> filter;
    *filter.out() = module_.openCamera(0);
    ASSERT_TRUE(filter);
    ComPtr<ILumorix> camera = filter.as<ILumorix>(IID_ILumorix);
    ComPtr<IBaseFilter> base = filter.as<IBaseFilter>(IID_IBaseFilter);
    ASSERT_TRUE(camera && base);
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(base->EnumPins(pins.out()), S_OK);
    ComPtr<IPin> preview;
    ASSERT_EQ(pins->Next(1, preview.out(), nullptr), S_OK);
    ComPtr<ISpecifyPropertyPages> specify =
        preview.as<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    ASSERT_TRUE(specify);
    CAUUID ids = {};
    ASSERT_EQ(specify->GetPages(&ids), S_OK);
    const SizePage* offered = nullptr;
    for (const SizePage& page : kSizePages) {
      CLSID clsid;
      CLSIDFromString(page.clsid, &clsid);
      for (ULONG i = 0; i < ids.cElems; ++i)
        if (IsEqualCLSID(ids.pElems[i], clsid)) offered = &page;
    }
    CoTaskMemFree(ids.pElems);
    ASSERT_NE(offered, nullptr) << "the preview pin offers a size page of two or more sizes";
    int32_t width = 0, height = 0;
    ASSERT_EQ(camera->get_Resolution(1, &width, &height), S_OK);
    {
      ModulePage page(preview.get(), offered->clsid);
      ASSERT_TRUE(page.ready());
      SendMessageW(page.item(offered->secondRadio), BM_CLICK, 0, 0);
      EXPECT_EQ(page.page()->Apply(), S_OK);
    }
    uint32_t index = 0;
    ASSERT_EQ(camera->get_eSize(&index), S_OK);
    EXPECT_EQ(index, 1u);
    CaptureGraph graph;
    FrameLog log;
    ASSERT_EQ(graph.begin(base.get()), S_OK);
    ASSERT_EQ(graph.render(log), S_OK);
    Format format;
    ASSERT_NO_FATAL_FAILURE(ReadConnectedFormat(graph.grabber.get(), &format));
    EXPECT_EQ(format.width, width);
    EXPECT_EQ(std::abs(format.height), height);
    HRESULT hr = E_FAIL;
    Within(kStartMs, "IMediaControl::Run", [&] { hr = graph.control->Run(); });
    ASSERT_TRUE(SUCCEEDED(hr));
    {
      ModulePage page(preview.get(), offered->clsid);
      ASSERT_TRUE(page.ready());
      SendMessageW(page.item(1034), BM_CLICK, 0, 0);
      EXPECT_EQ(page.page()->Apply(), S_OK) << "the refusal is not reported";
    }
    ASSERT_EQ(camera->get_eSize(&index), S_OK);
    EXPECT_EQ(index, 1u) << "a streaming camera keeps its size";
    Within(kStopMs, "IMediaControl::Stop", [&] { graph.control->Stop(); });
    graph.release();
    EXPECT_EQ(camera->put_eSize(0), S_OK);
  }
  // The camera stores its settings as it closes: the next test starts from the defaults.
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Harrowdenmarket\\dshow\\ZMS-RX7-3");
}

// Dispatches this thread's messages until done() holds or ms pass.
template <class Done>
bool PumpUntil(DWORD ms, Done done) {
  const DWORD end = GetTickCount() + ms;
  while (!done()) {
    if (GetTickCount() > end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
  return true;
}

// The source rendered into a grabber and running until log has seen three frames.
void StartStreaming(CaptureGraph& graph, IBaseFilter* base, FrameLog& log) {
  ASSERT_EQ(graph.begin(base), S_OK);
  ASSERT_EQ(graph.render(log), S_OK);
  ASSERT_TRUE(SUCCEEDED(RunGraph(graph)));
  EXPECT_TRUE(log.reaches(3, 60000)) << log.seen() << " frames";
}

// Pixels of the upper half of the histogram graph in a colour curve's pen (blue, green or red):
// a curve that rises. The whole width counts, since a bright or dark picture piles its curves
// against either end.
size_t CurvePixels(HWND graph) {
  const ClientPixels pixels = PrintClientPixels(graph);
  size_t n = 0;
  // Only the curves draw in these colours: the frame and the labels are black, the markers magenta.
  for (LONG y = 0; y < pixels.height / 2; ++y)
    for (LONG x = 0; x < pixels.width; ++x) {
      const uint32_t p = pixels.at(x, y);
      n += p == 0x0000FF || p == 0x00FF00 || p == 0xFF0000;
    }
  return n;
}

// On a streaming graph: the exposure trackbar sets the camera's time, the histogram page draws
// the live histogram, and one push ends in the camera's result moving both white-balance
// trackbars.
TEST_F(SimulatedCameraPages, PagesFollowAStreamingCamera) {
  ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
  {
    ComScope com;
    ComPtr<IUnknown> filter;
    *filter.out() = module_.openCamera(0);
    ASSERT_TRUE(filter);
    ComPtr<ILumorix> camera = filter.as<ILumorix>(IID_ILumorix);
    ComPtr<IBaseFilter> base = filter.as<IBaseFilter>(IID_IBaseFilter);
    ASSERT_TRUE(camera && base);
    CaptureGraph graph;
    FrameLog log;
    ASSERT_NO_FATAL_FAILURE(StartStreaming(graph, base.get(), log));
    {
      ASSERT_EQ(camera->put_AutoExpoEnable(0), S_OK);
      uint32_t minUs = 0, maxUs = 0, defaultUs = 0;
      ASSERT_EQ(camera->get_ExpTimeRange(&minUs, &maxUs, &defaultUs), S_OK);
      ModulePage page(filter.get(), kExposurePage);
      ASSERT_TRUE(page.ready());
      const ExposureScale scale = ExposureScaleOf(minUs, maxUs);
      const uint32_t pos = scale.minPos + (scale.maxPos - scale.minPos) / 4;
      page.scrollTo(1051, int(pos));
      uint32_t us = 0;
      ASSERT_EQ(camera->get_ExpoTime(&us), S_OK);
      EXPECT_EQ(us, SliderPosToExposureTime(pos, minUs, maxUs));
    }
    {
      ModulePage page(filter.get(), kHistogramPage);
      ASSERT_TRUE(page.ready());
      HWND graphWindow = page.item(1021);
      // The one request the page makes as it opens is answered by the next frame.
      const size_t framesBefore = log.seen();
      EXPECT_TRUE(PumpUntil(20000, [&] { return CurvePixels(graphWindow) > 50; }))
          << "no live histogram drawn; frames meanwhile: " << log.seen() - framesBefore;
    }
    if (camera->get_IsColor()) {
      ModulePage page(filter.get(), kColourPage);
      ASSERT_TRUE(page.ready());
      ASSERT_EQ(camera->put_TempTint(3000, 500), S_OK);
      page.send(42840);  // refill from the camera
      const LRESULT before = SendMessageW(page.item(1062), TBM_GETPOS, 0, 0);
      SendMessageW(page.item(1055), BM_CLICK, 0, 0);
      EXPECT_TRUE(PumpUntil(30000, [&] {
        return SendMessageW(page.item(1062), TBM_GETPOS, 0, 0) != before;
      })) << "one push never reported";
      int32_t temperature = 0, tint = 0;
      ASSERT_EQ(camera->get_TempTint(&temperature, &tint), S_OK);
      EXPECT_EQ(SendMessageW(page.item(1062), TBM_GETPOS, 0, 0), temperature);
      EXPECT_EQ(SendMessageW(page.item(1066), TBM_GETPOS, 0, 0), tint);
    }
    Within(kStopMs, "IMediaControl::Stop", [&] { graph.control->Stop(); });
    graph.release();
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Harrowdenmarket\\dshow\\ZMS-RX7-3");
}

// Runs call on this thread, which owns the page's windows as the dialog manager's would; a call
// that has not returned in ms ends the process at once rather than hanging the run.
template <class Call>
void OnThisThreadWithin(DWORD ms, const char* what, Call&& call) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread watchdog([&] {
    if (WaitForSingleObject(done, ms) == WAIT_OBJECT_0) return;
    std::fprintf(stderr, "FAILED: %s did not return within %lu ms\n", what, ms);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  });
  call();
  SetEvent(done);
  watchdog.join();
  CloseHandle(done);
}

// The Misc page's anti-flicker radios on the simulated camera, with the graph stopped or
// streaming: each click sets the camera's mode and returns, and the exposure page beside it takes
// the refresh the click broadcasts and the camera's exposure notice.
class SimulatedLightFrequency : public SimulatedCameraPages,
                                public ::testing::WithParamInterface<bool> {};

TEST_P(SimulatedLightFrequency, RadiosSetTheModeAndReturn) {
  ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
  const bool streaming = GetParam();
  {
    ComScope com;
    ComPtr<IUnknown> filter;
    *filter.out() = module_.openCamera(0);
    ASSERT_TRUE(filter);
    ComPtr<ILumorix> camera = filter.as<ILumorix>(IID_ILumorix);
    ComPtr<IBaseFilter> base = filter.as<IBaseFilter>(IID_IBaseFilter);
    ASSERT_TRUE(camera && base);
    CaptureGraph graph;
    FrameLog log;
    if (streaming) {
      ASSERT_NO_FATAL_FAILURE(StartStreaming(graph, base.get(), log));
    }
    // A manual time: a new mode moves it to whole periods and raises the exposure notice.
    ASSERT_EQ(camera->put_AutoExpoEnable(0), S_OK);
    uint32_t minUs = 0, maxUs = 0, defaultUs = 0;
    ASSERT_EQ(camera->get_ExpTimeRange(&minUs, &maxUs, &defaultUs), S_OK);
    ASSERT_EQ(camera->put_ExpoTime(std::min(maxUs, std::max(minUs, 33333u))), S_OK);
    Frame frame;
    // The Misc page first: its dialog is then the container's only child when it is looked up.
    SettingsModulePage misc(L"{5B4F4408-0958-471A-801B-3CC471E584AB}", filter.get(), frame);
    ASSERT_NE(misc.dialog(), nullptr);
    SettingsModulePage exposure(kExposurePage, filter.get(), frame);
    ASSERT_NE(exposure.page(), nullptr);
    struct Choice {
      int radio;
      uint32_t mode;
    };
    const Choice kChoices[] = {{1045, 2}, {1046, 1}, {1047, 0}, {1045, 2}};  // DC, 50, 60 Hz, DC
    for (const Choice& choice : kChoices) {
      OnThisThreadWithin(5000, "the anti-flicker click", [&] {
        CheckRadioButton(misc.dialog(), 1045, 1047, choice.radio);
        misc.click(choice.radio);
      });
      uint32_t mode = 9;
      EXPECT_EQ(camera->get_LightFrequency(&mode), S_OK);
      EXPECT_EQ(mode, choice.mode) << "radio " << choice.radio;
      // The broadcast and the notice are posted: the frame's pages take them and go on.
      OnThisThreadWithin(5000, "the pages taking the broadcast", [&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      });
    }
    if (streaming) {
      EXPECT_TRUE(log.reaches(log.seen() + 2, 60000)) << "frames stop after the clicks";
      Within(kStopMs, "IMediaControl::Stop", [&] { graph.control->Stop(); });
      graph.release();
    }
  }
  // The camera stores its settings as it closes: the next test starts from the defaults.
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Harrowdenmarket\\dshow\\ZMS-RX7-3");
}

INSTANTIATE_TEST_SUITE_P(StoppedAndStreaming, SimulatedLightFrequency, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return std::string(param.param ? "Streaming" : "Stopped");
                         });

}  // namespace
