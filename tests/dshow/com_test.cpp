// COM plumbing: aggregation, class factories, unloading and registration keys.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <new>
#include <string>

#include "dshow/base/cclassfactory.h"
#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/cunknown.h"
#include "dshow/base/dllentry.h"
#include "dshow/base/dllsetup.h"
#include "dshow/base/moduleinstance.h"
#include "tests/dshow/support/comptr.h"

namespace {

// This test's class ids, {0B6E2F4n-8A3C-4D57-9E12-5F4C3A2B1D60}, told apart by their first word.
constexpr CLSID TestClsid(unsigned long first) {
  return {first, 0x8A3C, 0x4D57, {0x9E, 0x12, 0x5F, 0x4C, 0x3A, 0x2B, 0x1D, 0x60}};
}
constexpr CLSID kPersistClsid = TestClsid(0x0B6E2F41);
constexpr CLSID kFailingClsid = TestClsid(0x0B6E2F42);
constexpr CLSID kUnknownClsid = TestClsid(0x0B6E2F43);

class PersistObject : public CUnknown, public IPersist {
 public:
  explicit PersistObject(IUnknown* outer) : CUnknown(L"PersistObject", outer) {}
  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = kPersistClsid;
    return S_OK;
  }
  static CUnknown* Create(IUnknown* outer, HRESULT* phr) {
    return new (std::nothrow) PersistObject(outer);
  }
};

// Made, then reports that construction failed (a filter without a camera does so).
CUnknown* CreateFailing(IUnknown* outer, HRESULT* phr) {
  *phr = E_ACCESSDENIED;
  return new (std::nothrow) PersistObject(outer);
}

// An outer object that aggregates one inner object.
class Outer : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  std::atomic<ULONG> refs{1};
  IUnknown* inner = nullptr;
};

}  // namespace

CFactoryTemplate g_Templates[] = {
    {L"Persist Object", &kPersistClsid, PersistObject::Create, nullptr, nullptr},
    {L"Failing Object", &kFailingClsid, CreateFailing, nullptr, nullptr},
};
int g_cTemplates = 2;

namespace {

class ComTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(DllCanUnloadNow(), S_OK); }
  void TearDown() override { EXPECT_EQ(DllCanUnloadNow(), S_OK); }

  ComPtr<IClassFactory> Factory(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(clsid, IID_IClassFactory, factory.outVoid()), S_OK);
    return factory;
  }
  ComScope com_;
};

TEST_F(ComTest, AggregationKeepsTheOuterIdentity) {
  auto factory = Factory(kPersistClsid);
  Outer outer;
  ComPtr<IUnknown> inner;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IPersist, inner.outVoid()), CLASS_E_NOAGGREGATION);
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.outVoid()), S_OK);
  outer.inner = inner.get();

  ComPtr<IPersist> persist;
  ASSERT_EQ(outer.QueryInterface(IID_IPersist, persist.outVoid()), S_OK);
  // Every interface of the inner object answers with the outer IUnknown and counts on it.
  ComPtr<IUnknown> identity;
  ASSERT_EQ(persist->QueryInterface(IID_IUnknown, identity.outVoid()), S_OK);
  EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
  EXPECT_NE(identity.get(), inner.get());
  const ULONG before = outer.refs;
  persist->AddRef();
  EXPECT_EQ(outer.refs, before + 1);
  persist->Release();
  identity.reset();
  persist.reset();
  outer.inner = nullptr;
  inner.reset();
  EXPECT_EQ(outer.refs.load(), 1u);
}

TEST_F(ComTest, UnloadsOnlyWhenNothingLives) {
  ComPtr<IClassFactory> factory = Factory(kPersistClsid);
  ComPtr<IPersist> object;
  ComPtr<IClassFactory> locker = Factory(kPersistClsid);
  locker->LockServer(TRUE);
  locker.reset();
  const struct {
    const char* state;
    std::function<void()> step;
    HRESULT canUnload;
  } steps[] = {
      {"factory held, server locked", [] {}, S_FALSE},
      {"object alive", [&] { factory->CreateInstance(nullptr, IID_IPersist, object.outVoid()); },
       S_FALSE},
      {"factory released", [&] { factory.reset(); }, S_FALSE},
      {"object released, lock still held", [&] { object.reset(); }, S_FALSE},
      {"lock given back", [&] { Factory(kPersistClsid)->LockServer(FALSE); }, S_OK},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.state);
    s.step();
    EXPECT_EQ(DllCanUnloadNow(), s.canUnload);
  }
}

TEST_F(ComTest, ClassObjectArgumentsAndFailedConstruction) {
  ComPtr<IUnknown> out;
  EXPECT_EQ(DllGetClassObject(kUnknownClsid, IID_IClassFactory, out.outVoid()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_FALSE(out);
  EXPECT_EQ(DllGetClassObject(kPersistClsid, IID_IPersist, out.outVoid()), E_NOINTERFACE);
  EXPECT_EQ(DllGetClassObject(kPersistClsid, IID_IClassFactory, nullptr), E_POINTER);
  ASSERT_EQ(DllGetClassObject(kPersistClsid, IID_IUnknown, out.outVoid()), S_OK);
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(out->QueryInterface(IID_IClassFactory, factory.outVoid()), S_OK);
  // A failed construction leaves no object.
  factory = Factory(kFailingClsid);
  const LONG before = CUnknown::ObjectsActive();
  ComPtr<IUnknown> object;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.outVoid()), E_ACCESSDENIED);
  EXPECT_FALSE(object);
  EXPECT_EQ(CUnknown::ObjectsActive(), before);
}

std::wstring ReadString(const std::wstring& key, const wchar_t* value) {
  wchar_t data[MAX_PATH] = {};
  DWORD bytes = sizeof(data);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &bytes) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  return data;
}

TEST_F(ComTest, RegistersAndUnregistersServerKeys) {
  g_hInst = GetModuleHandleW(nullptr);
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::wstring persist = L"CLSID\\{0B6E2F41-8A3C-4D57-9E12-5F4C3A2B1D60}";
  const std::wstring failing = L"CLSID\\{0B6E2F42-8A3C-4D57-9E12-5F4C3A2B1D60}";
  for (int round = 0; round < 2; ++round) {  // registering twice is the same as once
    ASSERT_EQ(AMovieDllRegisterServer2(TRUE), S_OK);
    EXPECT_EQ(ReadString(persist, nullptr), L"Persist Object");
    EXPECT_EQ(ReadString(failing, nullptr), L"Failing Object");
    EXPECT_EQ(ReadString(persist + L"\\InprocServer32", nullptr), module);
    EXPECT_EQ(ReadString(persist + L"\\InprocServer32", L"ThreadingModel"), L"Both");
  }
  for (int round = 0; round < 2; ++round) {  // and unregistering what is gone succeeds
    ASSERT_EQ(AMovieDllRegisterServer2(FALSE), S_OK);
    EXPECT_EQ(ReadString(persist, nullptr), L"<missing>");
    EXPECT_EQ(ReadString(failing + L"\\InprocServer32", nullptr), L"<missing>");
  }
}

}  // namespace
