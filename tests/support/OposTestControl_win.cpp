// A FiscalPrinter control for the OPOS channel's tests on Windows: an in-process COM server whose one
// class answers IDispatch by the members' standard names, checks each call's arguments for the types the
// control's interface declares (BSTR, long, CURRENCY, VARIANT_BOOL, and long and BSTR by reference), and
// passes the call to the tests' fake (tests/support/io/FakeFiscalPrinter.h). The tests register it under
// "OPOS.FiscalPrinter" (DllRegisterServer), script the fake through ZrOposTestState, and let the library
// find it as it finds a real control: by ProgID, then member by member by name.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <cwctype>
#include <string>

#include "support/FakeFiscalPrinter.h"

namespace {
// {5C2A4E71-93B8-4F06-A1D7-2E6B90C4F3A8}
const CLSID kClsid = {0x5c2a4e71, 0x93b8, 0x4f06, {0xa1, 0xd7, 0x2e, 0x6b, 0x90, 0xc4, 0xf3, 0xa8}};
constexpr const wchar_t* kClsidText = L"{5C2A4E71-93B8-4F06-A1D7-2E6B90C4F3A8}";
constexpr const wchar_t* kProgId = L"OPOS.FiscalPrinter";
constexpr HRESULT kRegisteredElsewhere = 0x80040201; // SELFREG_E_CLASS

HMODULE gModule = nullptr;
FakeState gState;

Text BstrText(BSTR aValue) {
    return aValue != nullptr ? Text(reinterpret_cast<const char16_t*>(aValue), SysStringLen(aValue)) : Text();
}

BSTR NewBstr(const Text& aText) {
    return SysAllocStringLen(reinterpret_cast<const wchar_t*>(aText.c_str()),
                             static_cast<UINT>(aText.size()));
}

bool SameName(const wchar_t* aName, const Text& aOther) {
    const std::wstring name(aName);
    if (name.size() != aOther.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::towlower(name[i]) != std::towlower(static_cast<wchar_t>(aOther[i]))) {
            return false;
        }
    }
    return true;
}

// Why a call cannot be made as asked; Invoke answers with the code (and the argument's position).
struct Refusal {
    HRESULT Code;
    UINT Position = 0;
};

// A call's arguments in the member's own order (IDispatch passes them last to first).
class Arguments {
public:
    Arguments(DISPPARAMS* aParams, UINT aCount) : p(aParams) {
        if (p->cArgs != aCount) {
            throw Refusal{DISP_E_BADPARAMCOUNT};
        }
    }
    Text String(UINT aIndex) { return BstrText(V_BSTR(&At(aIndex, VT_BSTR))); }
    std::int32_t Long(UINT aIndex) { return V_I4(&At(aIndex, VT_I4)); }
    bool Bool(UINT aIndex) { return V_BOOL(&At(aIndex, VT_BOOL)) != VARIANT_FALSE; }
    Currency Cy(UINT aIndex) { return Currency::FromRaw(V_CY(&At(aIndex, VT_CY)).int64); }
    LONG& LongRef(UINT aIndex) { return *V_I4REF(&At(aIndex, VT_BYREF | VT_I4)); }
    BSTR& StringRef(UINT aIndex) { return *V_BSTRREF(&At(aIndex, VT_BYREF | VT_BSTR)); }

private:
    VARIANT& At(UINT aIndex, VARTYPE aType) {
        const UINT slot = p->cArgs - 1 - aIndex;
        VARIANT& v = p->rgvarg[slot];
        if (V_VT(&v) != aType) {
            throw Refusal{DISP_E_TYPEMISMATCH, slot};
        }
        return v;
    }

    DISPPARAMS* p;
};

void Answer(VARIANT* aResult, std::int32_t aValue) {
    if (aResult != nullptr) {
        V_VT(aResult) = VT_I4;
        V_I4(aResult) = aValue;
    }
}
void Answer(VARIANT* aResult, bool aValue) {
    if (aResult != nullptr) {
        V_VT(aResult) = VT_BOOL;
        V_BOOL(aResult) = aValue ? VARIANT_TRUE : VARIANT_FALSE;
    }
}
void Answer(VARIANT* aResult, const Text& aValue) {
    if (aResult != nullptr) {
        V_VT(aResult) = VT_BSTR;
        V_BSTR(aResult) = NewBstr(aValue);
    }
}
void Replace(BSTR& aTarget, const Text& aValue) {
    SysFreeString(aTarget);
    aTarget = NewBstr(aValue);
}

// One call: the fake, how it was invoked, its arguments, where the answer goes.
struct Call {
    FakeFiscalPrinter& Fake;
    WORD Flags;
    DISPPARAMS* Params;
    VARIANT* Result;

    Arguments Method(UINT aCount) const {
        if ((Flags & DISPATCH_METHOD) == 0) {
            throw Refusal{DISP_E_MEMBERNOTFOUND};
        }
        return Arguments(Params, aCount);
    }
    bool Getting() const { return (Flags & DISPATCH_PROPERTYGET) != 0 && Params->cArgs == 0; }
    bool Putting() const {
        return (Flags & DISPATCH_PROPERTYPUT) != 0 && Params->cArgs == 1 && Params->cNamedArgs == 1 &&
               Params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    }
    Arguments Put() const { return Arguments(Params, 1); }
};

using Handler = void (*)(const Call&);
struct Member {
    const wchar_t* Name;
    Handler Run;
};

// Properties: read-only ones refuse a put, write-only ones a get.
template <typename Get> void ReadOnly(const Call& c, Get aGet) {
    if (!c.Getting()) {
        throw Refusal{DISP_E_MEMBERNOTFOUND};
    }
    Answer(c.Result, aGet());
}

const Member kMembers[] = {
    {L"Open",
     [](const Call& c) {
         auto a = c.Method(1);
         Answer(c.Result, c.Fake.Open(a.String(0)));
     }},
    {L"ClaimDevice",
     [](const Call& c) {
         auto a = c.Method(1);
         Answer(c.Result, c.Fake.ClaimDevice(a.Long(0)));
     }},
    {L"ReleaseDevice",
     [](const Call& c) {
         c.Method(0);
         Answer(c.Result, c.Fake.ReleaseDevice());
     }},
    {L"Close",
     [](const Call& c) {
         c.Method(0);
         Answer(c.Result, c.Fake.Close());
     }},
    {L"BeginFiscalReceipt",
     [](const Call& c) {
         auto a = c.Method(1);
         Answer(c.Result, c.Fake.BeginFiscalReceipt(a.Bool(0)));
     }},
    {L"EndFiscalReceipt",
     [](const Call& c) {
         auto a = c.Method(1);
         Answer(c.Result, c.Fake.EndFiscalReceipt(a.Bool(0)));
     }},
    {L"BeginNonFiscal",
     [](const Call& c) {
         c.Method(0);
         Answer(c.Result, c.Fake.BeginNonFiscal());
     }},
    {L"EndNonFiscal",
     [](const Call& c) {
         c.Method(0);
         Answer(c.Result, c.Fake.EndNonFiscal());
     }},
    {L"BeginTraining",
     [](const Call& c) {
         c.Method(0);
         Answer(c.Result, c.Fake.BeginTraining());
     }},
    {L"EndTraining",
     [](const Call& c) {
         c.Method(0);
         Answer(c.Result, c.Fake.EndTraining());
     }},
    {L"ResetPrinter",
     [](const Call& c) {
         c.Method(0);
         Answer(c.Result, c.Fake.ResetPrinter());
     }},
    {L"PrintZReport",
     [](const Call& c) {
         c.Method(0);
         Answer(c.Result, c.Fake.PrintZReport());
     }},
    {L"PrintXReport",
     [](const Call& c) {
         c.Method(0);
         Answer(c.Result, c.Fake.PrintXReport());
     }},
    {L"PrintNormal",
     [](const Call& c) {
         auto a = c.Method(2);
         Answer(c.Result, c.Fake.PrintNormal(a.Long(0), a.String(1)));
     }},
    {L"PrintRecMessage",
     [](const Call& c) {
         auto a = c.Method(1);
         Answer(c.Result, c.Fake.PrintRecMessage(a.String(0)));
     }},
    {L"PrintRecTaxID",
     [](const Call& c) {
         auto a = c.Method(1);
         Answer(c.Result, c.Fake.PrintRecTaxID(a.String(0)));
     }},
    {L"PrintRecItem",
     [](const Call& c) {
         auto a = c.Method(6);
         Answer(c.Result,
                c.Fake.PrintRecItem(a.String(0), a.Cy(1), a.Long(2), a.Long(3), a.Cy(4), a.String(5)));
     }},
    {L"PrintRecItemVoid",
     [](const Call& c) {
         auto a = c.Method(6);
         Answer(c.Result,
                c.Fake.PrintRecItemVoid(a.String(0), a.Cy(1), a.Long(2), a.Long(3), a.Cy(4), a.String(5)));
     }},
    {L"PrintRecRefund",
     [](const Call& c) {
         auto a = c.Method(3);
         Answer(c.Result, c.Fake.PrintRecRefund(a.String(0), a.Cy(1), a.Long(2)));
     }},
    {L"PrintRecItemAdjustment",
     [](const Call& c) {
         auto a = c.Method(4);
         Answer(c.Result, c.Fake.PrintRecItemAdjustment(a.Long(0), a.String(1), a.Cy(2), a.Long(3)));
     }},
    {L"PrintRecSubtotal",
     [](const Call& c) {
         auto a = c.Method(1);
         Answer(c.Result, c.Fake.PrintRecSubtotal(a.Cy(0)));
     }},
    {L"PrintRecSubtotalAdjustment",
     [](const Call& c) {
         auto a = c.Method(3);
         Answer(c.Result, c.Fake.PrintRecSubtotalAdjustment(a.Long(0), a.String(1), a.Cy(2)));
     }},
    {L"PrintRecTotal",
     [](const Call& c) {
         auto a = c.Method(3);
         Answer(c.Result, c.Fake.PrintRecTotal(a.Cy(0), a.Cy(1), a.String(2)));
     }},
    {L"PrintRecNotPaid",
     [](const Call& c) {
         auto a = c.Method(2);
         Answer(c.Result, c.Fake.PrintRecNotPaid(a.String(0), a.Cy(1)));
     }},
    {L"SetDate",
     [](const Call& c) {
         auto a = c.Method(1);
         Answer(c.Result, c.Fake.SetDate(a.String(0)));
     }},
    {L"GetDate",
     [](const Call& c) {
         auto a = c.Method(1);
         BSTR& date = a.StringRef(0);
         Text value = BstrText(date);
         const std::int32_t code = c.Fake.GetDate(value);
         Replace(date, value);
         Answer(c.Result, code);
     }},
    {L"GetData",
     [](const Call& c) {
         auto a = c.Method(3);
         LONG& options = a.LongRef(1);
         BSTR& data = a.StringRef(2);
         std::int32_t optionsValue = options;
         Text dataValue = BstrText(data);
         const std::int32_t code = c.Fake.GetData(a.Long(0), optionsValue, dataValue);
         options = optionsValue;
         Replace(data, dataValue);
         Answer(c.Result, code);
     }},
    {L"DirectIO",
     [](const Call& c) {
         auto a = c.Method(3);
         LONG& data = a.LongRef(1);
         BSTR& text = a.StringRef(2);
         std::int32_t dataValue = data;
         Text textValue = BstrText(text);
         const std::int32_t code = c.Fake.DirectIO(a.Long(0), dataValue, textValue);
         data = dataValue;
         Replace(text, textValue);
         Answer(c.Result, code);
     }},
    {L"DeviceEnabled",
     [](const Call& c) {
         if (c.Putting()) {
             c.Fake.SetDeviceEnabled(c.Put().Bool(0));
         } else {
             ReadOnly(c, [&] { return c.Fake.GetDeviceEnabled(); });
         }
     }},
    {L"ResultCodeExtended",
     [](const Call& c) { ReadOnly(c, [&] { return c.Fake.GetResultCodeExtended(); }); }},
    {L"ErrorString", [](const Call& c) { ReadOnly(c, [&] { return c.Fake.GetErrorString(); }); }},
    {L"CoverOpen", [](const Call& c) { ReadOnly(c, [&] { return c.Fake.GetCoverOpen(); }); }},
    {L"DayOpened", [](const Call& c) { ReadOnly(c, [&] { return c.Fake.GetDayOpened(); }); }},
    {L"RecEmpty", [](const Call& c) { ReadOnly(c, [&] { return c.Fake.GetRecEmpty(); }); }},
    {L"RecNearEnd", [](const Call& c) { ReadOnly(c, [&] { return c.Fake.GetRecNearEnd(); }); }},
    {L"TrainingModeActive",
     [](const Call& c) { ReadOnly(c, [&] { return c.Fake.GetTrainingModeActive(); }); }},
    {L"PrinterState", [](const Call& c) { ReadOnly(c, [&] { return c.Fake.GetPrinterState(); }); }},
    {L"RemainingFiscalMemory",
     [](const Call& c) { ReadOnly(c, [&] { return c.Fake.GetRemainingFiscalMemory(); }); }},
    {L"PreLine",
     [](const Call& c) {
         if (!c.Putting()) {
             throw Refusal{DISP_E_MEMBERNOTFOUND};
         }
         c.Fake.SetPreLine(c.Put().String(0));
     }},
    {L"FiscalReceiptType",
     [](const Call& c) {
         if (!c.Putting()) {
             throw Refusal{DISP_E_MEMBERNOTFOUND};
         }
         c.Fake.SetFiscalReceiptType(c.Put().Long(0));
     }},
    {L"AdditionalTrailer",
     [](const Call& c) {
         if (c.Putting()) {
             c.Fake.SetAdditionalTrailer(c.Put().String(0));
         } else {
             ReadOnly(c, [&] { return c.Fake.GetAdditionalTrailer(); });
         }
     }},
};
constexpr DISPID kMemberCount = static_cast<DISPID>(sizeof kMembers / sizeof kMembers[0]);

class Control final : public IDispatch {
public:
    Control() : fFake(std::shared_ptr<FakeState>(&gState, [](FakeState*) {})) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID aIid, void** aObject) override {
        if (aObject == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(aIid, IID_IUnknown) || IsEqualIID(aIid, IID_IDispatch)) {
            *aObject = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *aObject = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++fReferences; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --fReferences;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* aCount) override {
        *aCount = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* aNames, UINT aCount, LCID,
                                            DISPID* aIds) override {
        HRESULT result = S_OK;
        for (UINT n = 0; n < aCount; ++n) {
            aIds[n] = DISPID_UNKNOWN;
            if (SameName(aNames[n], gState.MissingMember)) {
                result = DISP_E_UNKNOWNNAME;
                continue;
            }
            for (DISPID i = 0; i < kMemberCount; ++i) {
                if (SameName(aNames[n], reinterpret_cast<const char16_t*>(kMembers[i].Name))) {
                    aIds[n] = i + 1;
                }
            }
            if (aIds[n] == DISPID_UNKNOWN) {
                result = DISP_E_UNKNOWNNAME;
            }
        }
        return result;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID aId, REFIID, LCID, WORD aFlags, DISPPARAMS* aParams,
                                     VARIANT* aResult, EXCEPINFO* aException, UINT* aArgumentError) override {
        if (aId < 1 || aId > kMemberCount) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (aResult != nullptr) {
            VariantInit(aResult);
        }
        try {
            kMembers[aId - 1].Run(Call{fFake, aFlags, aParams, aResult});
            return S_OK;
        } catch (const Refusal& refusal) {
            if (aArgumentError != nullptr) {
                *aArgumentError = refusal.Position;
            }
            return refusal.Code;
        } catch (const ZrError& e) {
            return Raise(aException, e.Message());
        } catch (const std::exception& e) {
            return Raise(aException, Utf8ToText(e.what()));
        }
    }

private:
    static HRESULT Raise(EXCEPINFO* aException, const Text& aDescription) {
        if (aException != nullptr) {
            *aException = EXCEPINFO{};
            aException->bstrSource = SysAllocString(kProgId);
            aException->bstrDescription = NewBstr(aDescription);
            aException->scode = E_FAIL;
        }
        return DISP_E_EXCEPTION;
    }

    std::atomic<ULONG> fReferences{1};
    FakeFiscalPrinter fFake;
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID aIid, void** aObject) override {
        if (IsEqualIID(aIid, IID_IUnknown) || IsEqualIID(aIid, IID_IClassFactory)) {
            *aObject = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *aObject = nullptr;
        return E_NOINTERFACE;
    }
    // One factory for the life of the DLL.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* aOuter, REFIID aIid, void** aObject) override {
        *aObject = nullptr;
        if (aOuter != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        Control* control = new Control();
        const HRESULT hr = control->QueryInterface(aIid, aObject);
        control->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
Factory gFactory;

HRESULT SetValue(const std::wstring& aKey, const wchar_t* aName, const std::wstring& aValue) {
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, aKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key, aName, 0, REG_SZ, reinterpret_cast<const BYTE*>(aValue.c_str()),
                                static_cast<DWORD>((aValue.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    return HRESULT_FROM_WIN32(status);
}

// The class a ProgID names now, or empty.
std::wstring RegisteredClass() {
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    const std::wstring key = std::wstring(kProgId) + L"\\CLSID";
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    return value;
}
} // namespace

BOOL WINAPI DllMain(HINSTANCE aModule, DWORD aReason, LPVOID) {
    if (aReason == DLL_PROCESS_ATTACH) {
        gModule = aModule;
    }
    return TRUE;
}

extern "C" __declspec(dllexport) FakeState* ZrOposTestState() {
    return &gState;
}

extern "C" __declspec(dllexport) HRESULT WINAPI
    DllGetClassObject(REFCLSID aClsid, REFIID aIid, void** aObject) {
    if (!IsEqualCLSID(aClsid, kClsid)) {
        *aObject = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return gFactory.QueryInterface(aIid, aObject);
}

// The tests hold the fake's state in this DLL: it stays loaded.
extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
    return S_FALSE;
}

// Registers this DLL as "OPOS.FiscalPrinter", unless another control is registered under that name: a
// machine's real control is never replaced by the test's.
extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
    const std::wstring current = RegisteredClass();
    if (!current.empty() && _wcsicmp(current.c_str(), kClsidText) != 0) {
        return kRegisteredElsewhere;
    }
    wchar_t path[4096];
    const DWORD length = GetModuleFileNameW(gModule, path, 4096);
    if (length == 0 || length >= 4096) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    const std::wstring classKey = std::wstring(L"CLSID\\") + kClsidText;
    const std::pair<std::wstring, std::pair<const wchar_t*, std::wstring>> values[] = {
        {kProgId, {nullptr, L"Test FiscalPrinter control"}},
        {std::wstring(kProgId) + L"\\CLSID", {nullptr, kClsidText}},
        {classKey, {nullptr, L"Test FiscalPrinter control"}},
        {classKey + L"\\ProgID", {nullptr, kProgId}},
        {classKey + L"\\InprocServer32", {nullptr, std::wstring(path, length)}},
        {classKey + L"\\InprocServer32", {L"ThreadingModel", L"Apartment"}},
    };
    for (const auto& [key, value] : values) {
        const HRESULT hr = SetValue(key, value.first, value.second);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

// Removes the registration, only where it is this DLL's.
extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
    if (_wcsicmp(RegisteredClass().c_str(), kClsidText) == 0) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
    return S_OK;
}
