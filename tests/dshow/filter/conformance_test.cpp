// What hosts rely on, checked against the shipped module and the simulated USB3 3.1 MP camera
// (camera 0 of its prefix; camera 1 a USB2 mono one): registration, binding through the device
// enumerator, interfaces, states, stills, errors, two cameras, the replays of OBS, AMCap, OpenCV
// and FFmpeg, a host's unload and exit, and "[compat]" lines for what hosts may look for beyond
// that.
#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/lumorix.h"
#include "dshow/base/mediatypes.h"
#include "tests/dshow/filter/module_graph.h"
#include "tests/dshow/filter/module_support.h"
#include "tests/dshow/support/testsink.h"
#include "tests/wine/regsvr32.h"

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490);
constexpr const wchar_t* kFriendlyName = L"Zerithal";
// The filter's class, as hosts that create it through the module's class factory name it.
constexpr CLSID kFilterClass = {
    0xEA6387A5, 0x60C7, 0x41D3, {0xB0, 0x58, 0x8D, 0x90, 0x58, 0x0A, 0x7B, 0xE1}};

DWORD ProcessHandles() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

// Every key and value below root\path, one line each, in the registry's order.
void ExportKey(HKEY root, const std::wstring& path, std::wstring* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  *out += path + L"\n";
  // Sized from the key itself, so that no long name or value ends the listing early.
  DWORD maxChild = 0, maxName = 0, maxData = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxChild, nullptr, nullptr, &maxName,
                   &maxData, nullptr, nullptr);
  std::vector<wchar_t> name(std::max(maxName, maxChild) + 1);
  std::vector<BYTE> data(maxData + sizeof(wchar_t));
  for (DWORD i = 0;; ++i) {
    DWORD nameChars = DWORD(name.size()), size = DWORD(data.size()), type = 0;
    const LSTATUS rc =
        RegEnumValueW(key, i, name.data(), &nameChars, nullptr, &type, data.data(), &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    *out += L"  " + std::wstring(name.data(), nameChars) + L"=" + std::to_wstring(type) + L":" +
            std::to_wstring(size) + L":";
    if (rc == ERROR_SUCCESS) {
      *out += std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    } else {
      *out += L"<unreadable " + std::to_wstring(rc) + L">";
    }
    *out += L"\n";
  }
  std::vector<std::wstring> children;
  for (DWORD i = 0;; ++i) {
    DWORD nameChars = DWORD(name.size());
    if (RegEnumKeyExW(key, i, name.data(), &nameChars, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    children.emplace_back(name.data(), nameChars);
  }
  RegCloseKey(key);
  for (const std::wstring& child : children) ExportKey(root, path + L"\\" + child, out);
}

// What registering may touch: the classes with the categories' instances, the machine's and the
// user's classes, and the module's own keys.
std::wstring RegistryExport() {
  std::wstring out;
  ExportKey(HKEY_CLASSES_ROOT, L"CLSID", &out);
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    ExportKey(root, L"Software\\Classes", &out);
    ExportKey(root, L"Software\\Harrowdenmarket", &out);
  }
  return out;
}

std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* value) {
  wchar_t text[MAX_PATH] = {};
  DWORD size = sizeof text;
  if (RegGetValueW(root, path.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return L"<none>";
  return text;
}

// The class ids under HKCR\CLSID whose InprocServer32 names module.
std::vector<std::wstring> ClassesOf(const std::wstring& module) {
  std::vector<std::wstring> classes;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return classes;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD chars = 256;
    if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    const std::wstring server = ReadString(key, std::wstring(name) + L"\\InprocServer32", nullptr);
    if (_wcsicmp(server.c_str(), module.c_str()) == 0) classes.push_back(name);
  }
  RegCloseKey(key);
  return classes;
}

// The device enumerator's monikers of the video input category listed as Zerithal, each passed
// to visit while the enumeration is open, as OBS binds.
template <class Visit>
void EachZerithalMoniker(Visit visit) {
  ComPtr<ICreateDevEnum> devices;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ICreateDevEnum, devices.outVoid()),
            S_OK);
  ComPtr<IEnumMoniker> monikers;
  ASSERT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.out(), 0),
            S_OK);
  for (ComPtr<IMoniker> moniker; monikers->Next(1, moniker.out(), nullptr) == S_OK;) {
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.outVoid()), S_OK);
    VARIANT name;
    VariantInit(&name);
    const bool ours = bag->Read(L"FriendlyName", &name, nullptr) == S_OK && name.vt == VT_BSTR &&
                      wcscmp(name.bstrVal, kFriendlyName) == 0;
    VariantClear(&name);
    if (ours) visit(moniker.get());
  }
}

HRESULT ModuleCanUnloadNow() {
  HMODULE module = GetModuleHandleW(L"zerithal.ax");
  if (!module) return S_OK;
  auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return canUnload ? canUnload() : E_FAIL;
}

class Conformance : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SimCameraCount()) GTEST_SKIP() << "runs in the conformance prefix";
    ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
    ASSERT_TRUE(module_.loaded());
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Harrowdenmarket\\dshow");
    ready_ = true;
  }
  void TearDown() override {
    if (!ready_) return;
    Within(kStopMs, "releasing the graphs", [&] {
      g_.release();
      second_.release();
    });
    ShimCommand("unplug 0 0");
    EXPECT_EQ(module_.canUnloadNow(), S_OK);
  }

  // A graph around a new filter for camera `index`, its capture pin at 1024 x 770.
  void build(CaptureGraph& g, FrameLog& log, uint32_t index = 0) {
    ComPtr<IUnknown> camera;
    *camera.out() = module_.openCamera(index);
    ASSERT_TRUE(camera) << "camera " << index << " did not open";
    ComPtr<IBaseFilter> source = camera.as<IBaseFilter>(IID_IBaseFilter);
    ASSERT_EQ(g.begin(source.get()), S_OK);
    ASSERT_NO_FATAL_FAILURE(ChooseSize(g, 1024, 770));
    ASSERT_EQ(g.render(log), S_OK);
  }
  HRESULT run(CaptureGraph& g) { return RunGraph(g); }
  HRESULT stop(CaptureGraph& g) { return StopGraph(g); }
  void pin(CaptureGraph& g, const GUID& category, ComPtr<IPin>* out) {
    FindOutputPin(g, category, out);
  }
  uint32_t framesSent(uint32_t camera = 0) {
    return uint32_t(
        std::strtoul(ShimCommand("frames " + std::to_string(camera)).c_str(), nullptr, 10));
  }

  ComScope com_;
  LoadedModule module_;
  bool ready_ = false;
  FrameLog log_, log2_, stills_;
  CaptureGraph g_, second_;
};

// The module registered for the test's length, as an installer leaves it.
struct Registered {
  Registered() : module(BesideExecutable(L"zerithal.ax")) { ok = RunRegsvr32(module, false) == 0; }
  ~Registered() { RunRegsvr32(module, true); }
  std::wstring module;
  bool ok;
};

// The video input category's instance list, below HKCR.
constexpr const wchar_t* kInstances = L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance";

// The category instance listed as Zerithal, below HKCR.
std::wstring ZerithalInstanceKey() {
  const std::wstring instances = kInstances;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, instances.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return L"<none>";
  std::wstring found = L"<none>";
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD chars = 256;
    if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    if (ReadString(key, name, L"FriendlyName") == kFriendlyName) found = instances + L"\\" + name;
  }
  RegCloseKey(key);
  return found;
}

// The lines of a that b lacks, for the failure message.
std::string Missing(const std::wstring& a, const std::wstring& b) {
  std::string out;
  size_t start = 0;
  for (size_t end; (end = a.find(L'\n', start)) != std::wstring::npos && out.size() < 2000;
       start = end + 1) {
    const std::wstring line = a.substr(start, end - start + 1);
    if (b.find(line) == std::wstring::npos) out += std::string(line.begin(), line.end());
  }
  return out;
}

TEST_F(Conformance, RegistrationIsOneEntryAndUnregisteringLeavesTheRegistryAsItWas) {
  const std::wstring module = BesideExecutable(L"zerithal.ax");
  ASSERT_EQ(RunRegsvr32(module, true), 0);  // whatever an earlier run left
  ListedVideoInputs(kFriendlyName);         // the system's enumerator writes its own keys once
  // Windows ships the category's instance list; a new Wine prefix gets it from the first filter
  // the system's mapper lists there and keeps it, empty, when the last goes. It is the system's,
  // so it is there before, as on Windows; whatever is left below it still counts.
  HKEY instances = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kInstances, 0, nullptr, 0, KEY_READ, nullptr,
                            &instances, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(instances);
  const std::wstring before = RegistryExport();
  for (int round = 0; round < 2; ++round) ASSERT_EQ(RunRegsvr32(module, false), 0) << round;
  const std::vector<std::wstring> listed = ListedVideoInputs(kFriendlyName);
  EXPECT_EQ(listed.size(), 1u) << "registered twice, listed once";
  const std::wstring instance = ZerithalInstanceKey();
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, instance, L"FriendlyName"), kFriendlyName);
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, instance, L"CLSID"), listed.empty() ? L"" : listed[0]);
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, instance, L"DevicePath"), L"<none>");
  const std::vector<std::wstring> classes = ClassesOf(module);
  EXPECT_EQ(classes.size(), 23u);
  for (const std::wstring& clsid : classes) {
    EXPECT_EQ(
        ReadString(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel"),
        L"Both");
  }
  ASSERT_EQ(RunRegsvr32(module, true), 0);
  EXPECT_TRUE(ListedVideoInputs(kFriendlyName).empty());
  const std::wstring after = RegistryExport();
  EXPECT_TRUE(after == before) << "unregistering left the registry changed:\n- "
                               << Missing(before, after) << "\n+ " << Missing(after, before);
}

TEST_F(Conformance, EnumerateAndBindCyclesLeaveNothingBehind) {
  Registered registered;
  ASSERT_TRUE(registered.ok);
  const auto bindOnce = [&] {
    EachZerithalMoniker([&](IMoniker* moniker) {
      ComPtr<IBaseFilter> filter;
      EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.outVoid()), S_OK);
    });
  };
  bindOnce();  // the first loads what stays loaded
  const size_t threads = ProcessThreads();
  const DWORD handles = ProcessHandles();
  for (int cycle = 0; cycle < 20; ++cycle) bindOnce();
  EXPECT_LE(ProcessThreads(), threads);
  EXPECT_LE(ProcessHandles(), handles);
  EXPECT_EQ(ShimCommand("outstanding 0"), "0");
  EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
  EachZerithalMoniker([&](IMoniker* moniker) {
    EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, nullptr), E_POINTER);
    ComPtr<IBaseFilter> a, b;
    EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, a.outVoid()), S_OK);
    EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, b.outVoid()), S_OK);
    EXPECT_NE(a.get(), b.get()) << "two binds, two filters";
  });
}

TEST_F(Conformance, InterfacesHostsAskFor) {
  ASSERT_NO_FATAL_FAILURE(build(g_, log_));
  const IID* filterFaces[] = {&IID_IAMFilterMiscFlags, &IID_IAMVideoControl, &IID_IAMVideoProcAmp,
                              &IID_IAMCameraControl, &IID_ISpecifyPropertyPages};
  ComPtr<IUnknown> identity = g_.source.as<IUnknown>(IID_IUnknown);
  for (const IID* iid : filterFaces) {
    ComPtr<IUnknown> face;
    ASSERT_EQ(g_.source->QueryInterface(*iid, face.outVoid()), S_OK);
    EXPECT_EQ(face.as<IUnknown>(IID_IUnknown).get(), identity.get()) << "one IUnknown";
  }
  ComPtr<IAMFilterMiscFlags> flags = g_.source.as<IAMFilterMiscFlags>(IID_IAMFilterMiscFlags);
  EXPECT_EQ(flags->GetMiscFlags(), ULONG(AM_FILTER_MISC_FLAGS_IS_SOURCE));
  struct PinCase {
    const GUID* category;
    bool found;
  } const pins[] = {
      {&PIN_CATEGORY_CAPTURE, true}, {&PIN_CATEGORY_STILL, true}, {&PIN_CATEGORY_PREVIEW, false}};
  for (const PinCase& c : pins) {
    ComPtr<IPin> pin;
    const HRESULT hr = g_.builder->FindPin(g_.source.get(), PINDIR_OUTPUT, c.category, nullptr,
                                           FALSE, 0, pin.out());
    EXPECT_EQ(SUCCEEDED(hr), c.found);
    if (!pin) continue;
    const IID* pinFaces[] = {&IID_IAMStreamConfig, &IID_IKsPropertySet, &IID_ISpecifyPropertyPages,
                             &IID_IQualityControl};
    for (const IID* iid : pinFaces) {
      ComPtr<IUnknown> face;
      EXPECT_EQ(pin->QueryInterface(*iid, face.outVoid()), S_OK);
    }
    ComPtr<IKsPropertySet> ks = pin.as<IKsPropertySet>(IID_IKsPropertySet);
    GUID category = GUID_NULL;
    DWORD returned = 0;
    EXPECT_EQ(ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                      sizeof category, &returned),
              S_OK);
    EXPECT_EQ(category, *c.category);
    EXPECT_EQ(returned, DWORD(sizeof category));
    EXPECT_EQ(
        ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 1, &returned),
        E_UNEXPECTED);
    EXPECT_EQ(
        ks->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category),
        E_NOTIMPL);
    DWORD support = 0;
    EXPECT_EQ(ks->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
    EXPECT_EQ(support, DWORD(KSPROPERTY_SUPPORT_GET));
    EXPECT_EQ(pin->QueryAccept(nullptr), E_POINTER);
  }
}

TEST_F(Conformance, StateCyclesAndAnUnconnectedFilter) {
  {
    ComPtr<IUnknown> camera;
    *camera.out() = module_.openCamera(0);
    ComPtr<IMediaFilter> filter = camera.as<IMediaFilter>(IID_IMediaFilter);
    ASSERT_TRUE(filter);
    const uint32_t sent = framesSent();
    EXPECT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(filter->Run(0), S_OK);
    Sleep(200);
    EXPECT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(framesSent(), sent) << "an unconnected filter started its camera";
  }
  ASSERT_NO_FATAL_FAILURE(build(g_, log_));
  for (int cycle = 0; cycle < 20; ++cycle) {
    SCOPED_TRACE(testing::Message() << "cycle " << cycle);
    log_.reset();
    HRESULT hr = E_FAIL;
    Within(kStartMs, "Pause", [&] { hr = g_.control->Pause(); });
    EXPECT_TRUE(hr == S_FALSE || hr == VFW_S_CANT_CUE) << std::hex << hr;
    OAFilterState state = State_Stopped;
    EXPECT_EQ(g_.control->GetState(1000, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(log_.seen(), 0u) << "samples while paused";
    ASSERT_TRUE(SUCCEEDED(run(g_)));
    if (cycle % 5 == 0) {
      EXPECT_TRUE(log_.reaches(2, 30000));
    }
    Within(kStopMs, "Pause", [&] { hr = g_.control->Pause(); });
    ASSERT_TRUE(SUCCEEDED(run(g_)));
    EXPECT_EQ(stop(g_), S_OK);  // samples may be in flight
  }
  EXPECT_EQ(ShimCommand("outstanding 0"), "0");
  ComPtr<IPin> capture;
  ASSERT_NO_FATAL_FAILURE(pin(g_, PIN_CATEGORY_CAPTURE, &capture));
  EXPECT_EQ(g_.graph->Disconnect(capture.get()), S_OK);
  EXPECT_EQ(g_.graph->Disconnect(capture.get()), S_FALSE);
}

TEST_F(Conformance, StillsAsHostsTriggerThem) {
  ASSERT_NO_FATAL_FAILURE(build(g_, log_));
  stills_.reset();
  ASSERT_EQ(g_.renderStill(stills_), S_OK);
  Format still;
  ASSERT_NO_FATAL_FAILURE(ReadConnectedFormat(g_.stillGrabber.get(), &still));
  ComPtr<IAMVideoControl> video = g_.source.as<IAMVideoControl>(IID_IAMVideoControl);
  ComPtr<IPin> stillPin, previewPin;
  ASSERT_NO_FATAL_FAILURE(pin(g_, PIN_CATEGORY_STILL, &stillPin));
  ASSERT_NO_FATAL_FAILURE(pin(g_, PIN_CATEGORY_CAPTURE, &previewPin));
  ASSERT_TRUE(SUCCEEDED(run(g_)));
  ASSERT_TRUE(log_.reaches(5, 30000));
  EXPECT_EQ(video->SetMode(stillPin.get(), 0), S_OK);
  EXPECT_EQ(video->SetMode(previewPin.get(), VideoControlFlag_Trigger), E_FAIL);
  Sleep(500);
  EXPECT_EQ(stills_.seen(), 0u);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(video->SetMode(stillPin.get(), VideoControlFlag_Trigger), S_OK);
  EXPECT_TRUE(stills_.reaches(1, 30000));
  Sleep(1000);
  EXPECT_LE(stills_.seen(), 2u) << "three quick triggers";
  for (const long length : stills_.lengths()) EXPECT_EQ(length, long(still.sizeImage));
  // The connected still keeps its size, so a later trigger fills exactly the connected sample.
  ComPtr<ILumorixStillImage> images =
      g_.source.as<ILumorixStillImage>(LumorixTraits<ILumorixStillImage>::iid);
  ASSERT_TRUE(images);
  EXPECT_EQ(images->put_eStillSize(1), E_UNEXPECTED);
  const size_t before = stills_.seen();
  EXPECT_EQ(video->SetMode(stillPin.get(), VideoControlFlag_Trigger), S_OK);
  EXPECT_TRUE(stills_.reaches(before + 1, 30000));
  EXPECT_EQ(stills_.lengths().back(), long(still.sizeImage));
  // A stop while the still pin waits for a trigger returns at once.
  const DWORD begin = GetTickCount();
  EXPECT_EQ(stop(g_), S_OK);
  EXPECT_LT(GetTickCount() - begin, 2000u);
}

// A camera gone before Run: Run fails, or the stream ends at once with EC_ERRORABORT; either way
// no thread is left and the filter runs again once the camera is back.
TEST_F(Conformance, ACameraGoneAtRunEndsCleanly) {
  ASSERT_NO_FATAL_FAILURE(build(g_, log_));
  ASSERT_TRUE(SUCCEEDED(run(g_)));
  ASSERT_TRUE(log_.reaches(3, 30000));
  EXPECT_EQ(stop(g_), S_OK);
  const size_t threads = ProcessThreads();  // as a filter that has run keeps them
  ASSERT_EQ(ShimCommand("unplug 0 1"), "ok");
  log_.reset();
  const HRESULT ran = run(g_);
  LONG_PTR reason = 0;
  if (SUCCEEDED(ran)) {
    EXPECT_TRUE(AwaitEvent(g_.events.get(), EC_ERRORABORT, &reason, 5000)) << "Run hid the loss";
  }
  std::printf("[compat] Run with the camera gone: 0x%08lX\n", static_cast<unsigned long>(ran));
  EXPECT_EQ(stop(g_), S_OK);
  ASSERT_EQ(ShimCommand("unplug 0 0"), "ok");
  size_t left = ProcessThreads();
  for (int i = 0; i < 50 && left > threads; ++i, Sleep(40)) left = ProcessThreads();
  EXPECT_LE(left, threads);
  Within(kStopMs, "releasing the graph", [&] { g_.release(); });
  ASSERT_NO_FATAL_FAILURE(build(g_, log_));
  log_.reset();
  ASSERT_TRUE(SUCCEEDED(run(g_))) << "runs once the camera is back";
  EXPECT_TRUE(log_.reaches(3, 30000));
  EXPECT_EQ(stop(g_), S_OK);
}

// A sink failing one Receive: the source stops delivering (the graph hears of it), and a Stop
// and Run bring the stream back.
TEST_F(Conformance, ASinkFailingReceiveStopsDeliveryUntilStopAndRun) {
  ComPtr<IUnknown> camera;
  *camera.out() = module_.openCamera(0);
  ComPtr<IBaseFilter> source = camera.as<IBaseFilter>(IID_IBaseFilter);
  ASSERT_EQ(g_.begin(source.get()), S_OK);
  HRESULT hr = S_OK;
  TestSinkFilter* sink = new TestSinkFilter(&hr);
  sink->NonDelegatingAddRef();
  struct Drop {
    TestSinkFilter* sink;
    ~Drop() { sink->NonDelegatingRelease(); }
  } const drop{sink};
  ASSERT_EQ(g_.graph->AddFilter(sink, L"Failing sink"), S_OK);
  ComPtr<IPin> capture;
  ASSERT_NO_FATAL_FAILURE(pin(g_, PIN_CATEGORY_CAPTURE, &capture));
  ASSERT_EQ(g_.graph->ConnectDirect(capture.get(), sink->Pin(), nullptr), S_OK);
  ComPtr<IMediaFilter> timing = g_.graph.as<IMediaFilter>(IID_IMediaFilter);
  ASSERT_EQ(timing->SetSyncSource(nullptr), S_OK);
  ASSERT_EQ(g_.graph->QueryInterface(IID_IMediaControl, g_.control.outVoid()), S_OK);
  const auto samplesReach = [&](int count) {
    for (int i = 0; i < 1500 && sink->Pin()->samples.load() < count; ++i) Sleep(20);
    return sink->Pin()->samples.load() >= count;
  };
  ASSERT_TRUE(SUCCEEDED(run(g_)));
  ASSERT_TRUE(samplesReach(3));
  sink->Pin()->failReceives = true;
  Sleep(1000);
  const int afterFailure = sink->Pin()->samples.load();
  Sleep(500);
  EXPECT_EQ(sink->Pin()->samples.load(), afterFailure) << "delivery went on after the failure";
  EXPECT_EQ(stop(g_), S_OK);
  ASSERT_TRUE(SUCCEEDED(run(g_)));
  EXPECT_TRUE(samplesReach(afterFailure + 3)) << "Stop and Run bring the stream back";
  EXPECT_EQ(stop(g_), S_OK);
  g_.graph->Disconnect(capture.get());
  g_.graph->Disconnect(sink->Pin());
  g_.graph->RemoveFilter(sink);
}

TEST_F(Conformance, TheSameCameraTwiceFailsCleanlyAndTheFirstGoesOn) {
  ASSERT_NO_FATAL_FAILURE(build(g_, log_));
  ASSERT_TRUE(SUCCEEDED(run(g_)));
  ASSERT_TRUE(log_.reaches(3, 30000));
  ComPtr<IUnknown> again;
  *again.out() = module_.openCamera(0);
  if (again) {
    ComPtr<IBaseFilter> source = again.as<IBaseFilter>(IID_IBaseFilter);
    if (second_.begin(source.get()) == S_OK && second_.render(log2_) == S_OK) {
      // Refused: Run fails (Wine's graph reports S_FALSE for a filter that failed to pause), and
      // the second graph gets nothing.
      const HRESULT ran = run(second_);
      Sleep(1000);
      EXPECT_EQ(log2_.seen(), 0u) << "one camera streams to one graph";
      std::printf("[compat] Run of a second graph on a streaming camera: 0x%08lX\n",
                  static_cast<unsigned long>(ran));
      stop(second_);
    }
  }
  const size_t seen = log_.seen();
  EXPECT_TRUE(log_.reaches(seen + 5, 30000)) << "the first graph goes on";
  EXPECT_EQ(stop(g_), S_OK);
}

TEST_F(Conformance, TwoCamerasStreamTogether) {
  if (module_.enumCameras() < 2) GTEST_SKIP() << "one camera listed";
  ComPtr<IUnknown> mono;
  *mono.out() = module_.openCamera(1);
  if (!mono) GTEST_SKIP() << "the USB2 mono camera's class opens no camera yet";
  mono.reset();
  ASSERT_NO_FATAL_FAILURE(build(g_, log_));
  ComPtr<IUnknown> camera;
  *camera.out() = module_.openCamera(1);
  ComPtr<IBaseFilter> source = camera.as<IBaseFilter>(IID_IBaseFilter);
  ASSERT_EQ(second_.begin(source.get()), S_OK);
  ASSERT_EQ(second_.render(log2_), S_OK);
  ASSERT_TRUE(SUCCEEDED(run(g_)));
  ASSERT_TRUE(SUCCEEDED(run(second_)));
  EXPECT_TRUE(log_.reaches(10, 30000));
  EXPECT_TRUE(log2_.reaches(10, 30000));
  EXPECT_EQ(stop(g_), S_OK);
  const size_t seen = log2_.seen();
  EXPECT_TRUE(log2_.reaches(seen + 5, 30000)) << "the other camera goes on";
  EXPECT_EQ(stop(second_), S_OK);
}

// --- Host replays.

// A cap's size and intervals, as hosts match them.
struct Cap {
  int index;
  LONG width, height;
  REFERENCE_TIME minInterval, maxInterval;
};
std::vector<Cap> Caps(IAMStreamConfig* config) {
  std::vector<Cap> caps;
  int count = 0, size = 0;
  config->GetNumberOfCapabilities(&count, &size);
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS c = {};
    if (config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&c)) != S_OK) continue;
    caps.push_back(
        {i, c.MaxOutputSize.cx, c.MaxOutputSize.cy, c.MinFrameInterval, c.MaxFrameInterval});
    DeleteMediaType(mt);
  }
  return caps;
}

// Sets cap `index` with the interval asked for, as OBS and FFmpeg do.
HRESULT SetCap(IAMStreamConfig* config, int index, REFERENCE_TIME interval) {
  AM_MEDIA_TYPE* mt = nullptr;
  VIDEO_STREAM_CONFIG_CAPS c = {};
  HRESULT hr = config->GetStreamCaps(index, &mt, reinterpret_cast<BYTE*>(&c));
  if (hr != S_OK) return hr;
  reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat)->AvgTimePerFrame = interval;
  hr = config->SetFormat(mt);
  DeleteMediaType(mt);
  return hr;
}

struct Replay {
  const char* name;
  const char* host;
  LONG width, height;
  REFERENCE_TIME interval;  // asked for; 0: the cap's own
  bool previewCategory;     // renders PIN_CATEGORY_PREVIEW, as OpenCV does
};
const Replay kReplays[] = {
    {"OBS", "OBS", 1024, 770, 333333, false},
    {"AMCap", "AMCap", 2048, 1534, 666667, false},
    {"OpenCV", "OpenCV", 1024, 770, 0, true},
    {"FFmpeg", "FFmpeg -video_size 1024x770 -framerate 10", 1024, 770, 1000000, false},
};

class HostReplay : public Conformance, public ::testing::WithParamInterface<Replay> {};

// The host's cap matching finds a cap of the size whose intervals admit the one asked for, sets
// it, and gets whole timed frames soon after Run.
TEST_P(HostReplay, MatchesACapAndStreams) {
  const Replay& r = GetParam();
  Registered registered;
  ASSERT_TRUE(registered.ok);
  ComPtr<IBaseFilter> source;
  EachZerithalMoniker([&](IMoniker* moniker) {
    if (!source) {
      EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, source.outVoid()), S_OK);
    }
  });
  ASSERT_TRUE(source);
  ASSERT_EQ(g_.begin(source.get()), S_OK);
  ComPtr<IAMStreamConfig> config;
  ASSERT_EQ(g_.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source.get(),
                                      IID_IAMStreamConfig, config.outVoid()),
            S_OK);
  AM_MEDIA_TYPE* current = nullptr;
  ASSERT_EQ(config->GetFormat(&current), S_OK);
  DeleteMediaType(current);
  int match = -1;
  for (const Cap& c : Caps(config.get())) {
    const bool rate = !r.interval || (c.minInterval <= r.interval && r.interval <= c.maxInterval);
    if (c.width == r.width && c.height == r.height && rate) match = c.index;
  }
  ASSERT_GE(match, 0) << r.host << " finds no cap";
  REFERENCE_TIME interval = r.interval;
  if (!interval) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS c = {};
    ASSERT_EQ(config->GetStreamCaps(match, &mt, reinterpret_cast<BYTE*>(&c)), S_OK);
    interval = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat)->AvgTimePerFrame;
    DeleteMediaType(mt);
  }
  EXPECT_EQ(SetCap(config.get(), match, interval), S_OK);
  // A preview rendered from the capture pin through a Smart Tee says so: VFW_S_NOPREVIEWPIN.
  const HRESULT rendered =
      g_.render(log_, r.previewCategory ? PIN_CATEGORY_PREVIEW : PIN_CATEGORY_CAPTURE);
  EXPECT_EQ(rendered, r.previewCategory ? VFW_S_NOPREVIEWPIN : S_OK);
  ASSERT_TRUE(SUCCEEDED(rendered));
  if (r.previewCategory) {
    ComPtr<IEnumFilters> filters;
    ASSERT_EQ(g_.graph->EnumFilters(filters.out()), S_OK);
    bool tee = false;
    for (ComPtr<IBaseFilter> f; filters->Next(1, f.out(), nullptr) == S_OK;) {
      CLSID clsid = GUID_NULL;
      tee = tee || (f->GetClassID(&clsid) == S_OK && clsid == CLSID_SmartTee);
    }
    EXPECT_TRUE(tee) << "no Smart Tee before the preview";
  }
  ASSERT_TRUE(SUCCEEDED(run(g_)));
  EXPECT_TRUE(log_.reaches(5, 10000)) << "first buffers within 10 s";
  EXPECT_EQ(stop(g_), S_OK);
  // The Smart Tee's preview output carries no times by design; the capture pin's samples do.
  for (const REFERENCE_TIME start : log_.starts()) {
    if (!r.previewCategory) {
      EXPECT_GE(start, 0) << "an untimed sample, dropped by OBS's sink";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostReplay, ::testing::ValuesIn(kReplays),
                         [](const testing::TestParamInfo<Replay>& replay) {
                           return std::string(replay.param.name);
                         });

// --- What hosts may look for beyond what the module offers: reported, never failing.

void Report(const char* what, HRESULT hr) {
  std::printf("[compat] %s: %s (0x%08lX)\n", what, hr == S_OK ? "yes" : "no",
              static_cast<unsigned long>(hr));
  std::fflush(stdout);
}

TEST_F(Conformance, CompatProbes) {
  ASSERT_NO_FATAL_FAILURE(build(g_, log_));
  ComPtr<IPin> capture;
  ASSERT_NO_FATAL_FAILURE(pin(g_, PIN_CATEGORY_CAPTURE, &capture));
  struct Probe {
    const char* name;
    const IID* iid;
    bool onPin;
  } const probes[] = {{"IAMStreamControl on the capture pin", &IID_IAMStreamControl, true},
                      {"IAMDroppedFrames on the capture pin", &IID_IAMDroppedFrames, true},
                      {"IAMBufferNegotiation on the capture pin", &IID_IAMBufferNegotiation, true},
                      {"IAMDeviceRemoval on the filter", &IID_IAMDeviceRemoval, false},
                      {"IPersistPropertyBag on the filter", &IID_IPersistPropertyBag, false}};
  for (const Probe& p : probes) {
    ComPtr<IUnknown> face;
    IUnknown* object = p.onPin ? static_cast<IUnknown*>(capture.get()) : g_.source.get();
    Report(p.name, object->QueryInterface(*p.iid, face.outVoid()));
  }
  ComPtr<IAMVideoControl> video = g_.source.as<IAMVideoControl>(IID_IAMVideoControl);
  LONGLONG* rates = nullptr;
  LONG count = 0;
  SIZE size = {1024, 770};
  const HRESULT listed = video->GetFrameRateList(capture.get(), 0, size, &count, &rates);
  Report("IAMVideoControl::GetFrameRateList", listed);
  if (SUCCEEDED(listed)) CoTaskMemFree(rates);
  ComPtr<IAMStreamConfig> config = capture.as<IAMStreamConfig>(IID_IAMStreamConfig);
  AM_MEDIA_TYPE* other = nullptr;
  VIDEO_STREAM_CONFIG_CAPS caps = {};
  if (config && config->GetStreamCaps(0, &other, reinterpret_cast<BYTE*>(&caps)) == S_OK) {
    Report("QueryAccept of another offered size while connected", capture->QueryAccept(other));
    DeleteMediaType(other);
  }
  REFERENCE_TIME start = 0;
  Report("ICaptureGraphBuilder2::ControlStream",
         g_.builder->ControlStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, g_.source.get(), &start,
                                   nullptr, 0, 0));
}

// --- A host that opens a camera and exits, run alone by the exit loop (exit_loop.sh), which times
// each process from the line printed as main returns to the process's end.

void SayMainReturned() {
  std::printf("[exit] main returned\n");
  std::fflush(stdout);
}

// What such a host does: the exports, camera 0 twice, the interfaces, the class factory, the
// getters that open the device, the guide exports, every reference released and the module
// unloaded.
void OpenTheCameraEveryWayAndRelease(LoadedModule& module) {
  const HMODULE loaded = GetModuleHandleW(L"zerithal.ax");
  for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                           "DllUnregisterServer", "DshowEnumCamera", "DshowOpenCamera",
                           "AscomST4Connect", "AscomST4PlusGuide", "AscomST4PlusGuideState"})
    ASSERT_TRUE(GetProcAddress(loaded, name)) << name;
  ComPtr<IUnknown> first, second;
  *first.out() = module.openCamera(0);
  *second.out() = module.openCamera(0);
  ASSERT_TRUE(first);
  for (const LumorixInterfaceInfo& face : kLumorixInterfaces) {
    ComPtr<IUnknown> asked;
    first->QueryInterface(*face.iid, asked.outVoid());
  }
  for (const IID* iid : {&IID_IBaseFilter, &IID_IAMVideoProcAmp, &IID_IAMCameraControl,
                         &IID_IAMVideoControl, &IID_ISpecifyPropertyPages}) {
    ComPtr<IUnknown> asked;
    EXPECT_EQ(first->QueryInterface(*iid, asked.outVoid()), S_OK);
  }
  auto getClass = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(loaded, "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClass(kFilterClass, IID_IClassFactory, factory.outVoid()), S_OK);
  ComPtr<IBaseFilter> made;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, made.outVoid()), S_OK);
  ComPtr<ILumorixSerialNumber> serial =
      first.as<ILumorixSerialNumber>(LumorixTraits<ILumorixSerialNumber>::iid);
  ComPtr<ILumorixVersion> version = first.as<ILumorixVersion>(LumorixTraits<ILumorixVersion>::iid);
  ComPtr<ILumorixST4> guide = first.as<ILumorixST4>(LumorixTraits<ILumorixST4>::iid);
  ASSERT_TRUE(serial && version && guide);
  char text[32] = {};
  EXPECT_EQ(serial->get_SerialNumber(text), S_OK);
  EXPECT_EQ(version->get_FwVersion(text), S_OK);
  EXPECT_EQ(version->get_HwVersion(text), S_OK);
  guide->ST4PlusGuideState();
  module.guideConnect(1);
  module.guidePulse(0, 10);
  module.guideState();
}

TEST(ConformanceExit, OpeningACameraAndUnloadingLetsTheProcessEnd) {
  if (!SimCameraCount()) GTEST_SKIP() << "runs in the conformance prefix";
  ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
  {
    ComScope com;
    LoadedModule module;
    ASSERT_TRUE(module.loaded());
    ASSERT_NO_FATAL_FAILURE(OpenTheCameraEveryWayAndRelease(module));
    EXPECT_EQ(module.canUnloadNow(), S_OK);
  }
  EXPECT_EQ(GetModuleHandleW(L"zerithal.ax"), nullptr) << "unloading left the module loaded";
  std::atexit(SayMainReturned);
}

// Without cameras (the plain prefix): binding the registered entry says so.
TEST(ConformanceNoCamera, BindingFailsUnexpected) {
  ComScope com;
  Registered registered;
  ASSERT_TRUE(registered.ok);
  int monikers = 0;
  EachZerithalMoniker([&](IMoniker* moniker) {
    ComPtr<IBaseFilter> none;
    EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, none.outVoid()),
              E_UNEXPECTED);
    ++monikers;
  });
  EXPECT_EQ(monikers, 1);
}

// The guide port's exports with no camera that has one and no adapter.
TEST(ConformanceNoCamera, GuideExportsAnswerZero) {
  LoadedModule module;
  ASSERT_TRUE(module.loaded());
  ASSERT_TRUE(module.guideConnect && module.guidePulse && module.guideState);
  EXPECT_EQ(module.guideConnect(1), 0);
  EXPECT_EQ(module.guidePulse(0, 10), 0);
  EXPECT_EQ(module.guideState(), 0);
  module.guideConnect(0);
}

// --- The soak (label soak, outside ./test): the 3.1 MP camera at its largest size and its highest
// frame rate for ZX_SOAK_SECONDS (600 by default); every frame the camera sent is delivered, and
// memory, handles and threads stay flat after the first minute.

struct Usage {
  size_t privateBytes;
  DWORD handles;
  size_t threads;
};
Usage MeasureUsage() {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                       sizeof memory);
  return {memory.PrivateUsage, ProcessHandles(), ProcessThreads()};
}

class Soak : public Conformance {};

TEST_F(Soak, LargestSizeAtTheHighestRateStaysFlat) {
  const char* seconds = std::getenv("ZX_SOAK_SECONDS");
  const DWORD runMs = 1000 * (seconds && *seconds ? std::strtoul(seconds, nullptr, 10) : 600);
  constexpr DWORD kSampleMs = 10000;
  constexpr DWORD kSettleMs = 60000;
  constexpr size_t kSlackBytes = 2 << 20;
  ComPtr<IUnknown> camera;
  *camera.out() = module_.openCamera(0);
  ASSERT_TRUE(camera);
  ComPtr<IBaseFilter> source = camera.as<IBaseFilter>(IID_IBaseFilter);
  ASSERT_EQ(g_.begin(source.get()), S_OK);
  ComPtr<IAMStreamConfig> config;
  ASSERT_EQ(g_.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source.get(),
                                      IID_IAMStreamConfig, config.outVoid()),
            S_OK);
  const std::vector<Cap> caps = Caps(config.get());
  ASSERT_FALSE(caps.empty());
  const Cap* largest = &caps[0];
  for (const Cap& c : caps)
    if (int64_t{c.width} * c.height > int64_t{largest->width} * largest->height) largest = &c;
  ASSERT_EQ(SetCap(config.get(), largest->index, largest->minInterval), S_OK);
  ASSERT_EQ(g_.render(log_), S_OK);
  const uint32_t sentBefore = framesSent();
  ASSERT_TRUE(SUCCEEDED(run(g_)));
  Usage settled = {};
  size_t worstBytes = 0;
  DWORD worstHandles = 0;
  size_t worstThreads = 0;
  const DWORD begin = GetTickCount();
  for (DWORD elapsed = 0; elapsed < runMs; elapsed = GetTickCount() - begin) {
    Sleep(std::min(kSampleMs, runMs - elapsed));
    const Usage now = MeasureUsage();
    if (GetTickCount() - begin < std::min(kSettleMs, runMs / 2)) {
      settled = now;
      continue;
    }
    worstBytes =
        std::max(worstBytes, now.privateBytes - std::min(now.privateBytes, settled.privateBytes));
    worstHandles = std::max(worstHandles, now.handles - std::min(now.handles, settled.handles));
    worstThreads = std::max(worstThreads, now.threads - std::min(now.threads, settled.threads));
  }
  EXPECT_EQ(stop(g_), S_OK);
  const uint32_t sent = framesSent() - sentBefore;
  const size_t delivered = log_.seen();
  std::printf(
      "[soak] %lu s at %ldx%ld, interval %lld: camera sent %u, delivered %zu; growth "
      "after settling: %zu bytes, %lu handles, %zu threads\n",
      static_cast<unsigned long>(runMs / 1000), largest->width, largest->height,
      static_cast<long long>(largest->minInterval), sent, delivered, worstBytes,
      static_cast<unsigned long>(worstHandles), worstThreads);
  EXPECT_LE(delivered, size_t{sent});
  EXPECT_GE(delivered + 1, size_t{sent}) << "frames the camera sent were not delivered";
  EXPECT_LE(worstBytes, kSlackBytes);
  EXPECT_EQ(worstHandles, 0u);
  EXPECT_EQ(worstThreads, 0u);
}

}  // namespace
