// The registered OPOS FiscalPrinter control ("OPOS.FiscalPrinter"), reached through IDispatch: members are
// looked up by their standard names (GetIDsOfNames) and called with Invoke. The control is created at the
// first Open, on the thread that opens it; until then it is closed and its properties read as defaults.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

#include "base/ZrError.h"
#include "io/OposFiscalPrinter.h"

namespace {
const wchar_t* Wide(const Text& aText) {
    return reinterpret_cast<const wchar_t*>(aText.c_str());
}

Text HexCode(HRESULT aCode) {
    return u"0x" + IntToHex(static_cast<unsigned long>(aCode), 8);
}

Text BstrText(BSTR aValue) {
    return aValue != nullptr ? Text(reinterpret_cast<const char16_t*>(aValue), SysStringLen(aValue)) : Text();
}

BSTR NewBstr(const Text& aText) {
    return SysAllocStringLen(Wide(aText), static_cast<UINT>(aText.size()));
}

// One argument of a call; owns what it allocates.
class Arg {
public:
    Arg() { VariantInit(&fValue); }
    ~Arg() {
        if (V_VT(&fValue) == (VT_BYREF | VT_BSTR)) {
            SysFreeString(fString);
        } else {
            VariantClear(&fValue);
        }
    }
    Arg(const Arg&) = delete;
    Arg& operator=(const Arg&) = delete;

    static std::unique_ptr<Arg> Long(std::int32_t aValue) {
        auto a = std::make_unique<Arg>();
        V_VT(&a->fValue) = VT_I4;
        V_I4(&a->fValue) = aValue;
        return a;
    }
    static std::unique_ptr<Arg> Bool(bool aValue) {
        auto a = std::make_unique<Arg>();
        V_VT(&a->fValue) = VT_BOOL;
        V_BOOL(&a->fValue) = aValue ? VARIANT_TRUE : VARIANT_FALSE;
        return a;
    }
    static std::unique_ptr<Arg> Cy(Currency aValue) {
        auto a = std::make_unique<Arg>();
        V_VT(&a->fValue) = VT_CY;
        V_CY(&a->fValue).int64 = aValue.Raw(); // both are ten-thousandths in 64 bits
        return a;
    }
    static std::unique_ptr<Arg> String(const Text& aValue) {
        auto a = std::make_unique<Arg>();
        V_VT(&a->fValue) = VT_BSTR;
        V_BSTR(&a->fValue) = NewBstr(aValue);
        return a;
    }
    static std::unique_ptr<Arg> LongRef(std::int32_t aValue) {
        auto a = std::make_unique<Arg>();
        a->fLong = aValue;
        V_VT(&a->fValue) = VT_BYREF | VT_I4;
        V_I4REF(&a->fValue) = &a->fLong;
        return a;
    }
    static std::unique_ptr<Arg> StringRef(const Text& aValue) {
        auto a = std::make_unique<Arg>();
        a->fString = NewBstr(aValue);
        V_VT(&a->fValue) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&a->fValue) = &a->fString;
        return a;
    }

    VARIANT& Value() { return fValue; }
    std::int32_t LongValue() const { return fLong; }
    Text StringValue() const { return BstrText(fString); }

private:
    VARIANT fValue;
    LONG fLong = 0;
    BSTR fString = nullptr;
};

using Args = std::vector<std::unique_ptr<Arg>>;

template <typename... T> Args MakeArgs(T&&... aArgs) {
    Args args;
    (args.push_back(std::forward<T>(aArgs)), ...);
    return args;
}

class DispatchFiscalPrinter final : public tZR_OposFiscalPrinter {
public:
    ~DispatchFiscalPrinter() override {
        if (fDispatch != nullptr) {
            fDispatch->Release();
        }
    }

    std::int32_t Open(const Text& aDeviceName) override {
        if (!Created()) {
            return opos::OPOS_E_NOSERVICE;
        }
        return Call(L"Open", MakeArgs(Arg::String(aDeviceName)));
    }
    std::int32_t ClaimDevice(std::int32_t aTimeout) override {
        return Call(L"ClaimDevice", MakeArgs(Arg::Long(aTimeout)));
    }
    std::int32_t ReleaseDevice() override { return Call(L"ReleaseDevice", {}); }
    std::int32_t Close() override { return Call(L"Close", {}); }
    bool GetDeviceEnabled() override { return GetBool(L"DeviceEnabled"); }
    void SetDeviceEnabled(bool aValue) override { Put(L"DeviceEnabled", Arg::Bool(aValue)); }
    std::int32_t GetResultCodeExtended() override { return GetLong(L"ResultCodeExtended"); }
    Text GetErrorString() override {
        if (fDispatch == nullptr) {
            return fCreateError;
        }
        return GetString(L"ErrorString");
    }

    std::int32_t BeginFiscalReceipt(bool aPrintHeader) override {
        return Call(L"BeginFiscalReceipt", MakeArgs(Arg::Bool(aPrintHeader)));
    }
    std::int32_t EndFiscalReceipt(bool aPrintHeader) override {
        return Call(L"EndFiscalReceipt", MakeArgs(Arg::Bool(aPrintHeader)));
    }
    std::int32_t BeginNonFiscal() override { return Call(L"BeginNonFiscal", {}); }
    std::int32_t EndNonFiscal() override { return Call(L"EndNonFiscal", {}); }
    std::int32_t BeginTraining() override { return Call(L"BeginTraining", {}); }
    std::int32_t EndTraining() override { return Call(L"EndTraining", {}); }
    std::int32_t ResetPrinter() override { return Call(L"ResetPrinter", {}); }
    std::int32_t PrintZReport() override { return Call(L"PrintZReport", {}); }
    std::int32_t PrintXReport() override { return Call(L"PrintXReport", {}); }
    std::int32_t PrintNormal(std::int32_t aStation, const Text& aData) override {
        return Call(L"PrintNormal", MakeArgs(Arg::Long(aStation), Arg::String(aData)));
    }
    std::int32_t PrintRecMessage(const Text& aMessage) override {
        return Call(L"PrintRecMessage", MakeArgs(Arg::String(aMessage)));
    }
    std::int32_t PrintRecTaxID(const Text& aTaxID) override {
        return Call(L"PrintRecTaxID", MakeArgs(Arg::String(aTaxID)));
    }
    std::int32_t PrintRecItem(const Text& aDescription, Currency aPrice, std::int32_t aQuantity,
                              std::int32_t aVatInfo, Currency aUnitPrice, const Text& aUnitName) override {
        return Call(L"PrintRecItem",
                    MakeArgs(Arg::String(aDescription), Arg::Cy(aPrice), Arg::Long(aQuantity),
                             Arg::Long(aVatInfo), Arg::Cy(aUnitPrice), Arg::String(aUnitName)));
    }
    std::int32_t PrintRecItemVoid(const Text& aDescription, Currency aPrice, std::int32_t aQuantity,
                                  std::int32_t aVatInfo, Currency aUnitPrice,
                                  const Text& aUnitName) override {
        return Call(L"PrintRecItemVoid",
                    MakeArgs(Arg::String(aDescription), Arg::Cy(aPrice), Arg::Long(aQuantity),
                             Arg::Long(aVatInfo), Arg::Cy(aUnitPrice), Arg::String(aUnitName)));
    }
    std::int32_t PrintRecRefund(const Text& aDescription, Currency aAmount, std::int32_t aVatInfo) override {
        return Call(L"PrintRecRefund",
                    MakeArgs(Arg::String(aDescription), Arg::Cy(aAmount), Arg::Long(aVatInfo)));
    }
    std::int32_t PrintRecItemAdjustment(std::int32_t aAdjustmentType, const Text& aDescription,
                                        Currency aAmount, std::int32_t aVatInfo) override {
        return Call(L"PrintRecItemAdjustment", MakeArgs(Arg::Long(aAdjustmentType), Arg::String(aDescription),
                                                        Arg::Cy(aAmount), Arg::Long(aVatInfo)));
    }
    std::int32_t PrintRecSubtotal(Currency aAmount) override {
        return Call(L"PrintRecSubtotal", MakeArgs(Arg::Cy(aAmount)));
    }
    std::int32_t PrintRecSubtotalAdjustment(std::int32_t aAdjustmentType, const Text& aDescription,
                                            Currency aAmount) override {
        return Call(L"PrintRecSubtotalAdjustment",
                    MakeArgs(Arg::Long(aAdjustmentType), Arg::String(aDescription), Arg::Cy(aAmount)));
    }
    std::int32_t PrintRecTotal(Currency aTotal, Currency aPayment, const Text& aDescription) override {
        return Call(L"PrintRecTotal",
                    MakeArgs(Arg::Cy(aTotal), Arg::Cy(aPayment), Arg::String(aDescription)));
    }
    std::int32_t PrintRecNotPaid(const Text& aDescription, Currency aAmount) override {
        return Call(L"PrintRecNotPaid", MakeArgs(Arg::String(aDescription), Arg::Cy(aAmount)));
    }
    std::int32_t SetDate(const Text& aDate) override {
        return Call(L"SetDate", MakeArgs(Arg::String(aDate)));
    }
    std::int32_t GetDate(Text& aDate) override {
        Args args = MakeArgs(Arg::StringRef(Text()));
        const std::int32_t code = Method(L"GetDate", args);
        aDate = args[0]->StringValue();
        return code;
    }
    std::int32_t GetData(std::int32_t aDataItem, std::int32_t& aOptArgs, Text& aData) override {
        Args args = MakeArgs(Arg::Long(aDataItem), Arg::LongRef(aOptArgs), Arg::StringRef(aData));
        const std::int32_t code = Method(L"GetData", args);
        aOptArgs = args[1]->LongValue();
        aData = args[2]->StringValue();
        return code;
    }
    std::int32_t DirectIO(std::int32_t aCommand, std::int32_t& aData, Text& aString) override {
        Args args = MakeArgs(Arg::Long(aCommand), Arg::LongRef(aData), Arg::StringRef(aString));
        const std::int32_t code = Method(L"DirectIO", args);
        aData = args[1]->LongValue();
        aString = args[2]->StringValue();
        return code;
    }

    bool GetCoverOpen() override { return GetBool(L"CoverOpen"); }
    bool GetDayOpened() override { return GetBool(L"DayOpened"); }
    bool GetRecEmpty() override { return GetBool(L"RecEmpty"); }
    bool GetRecNearEnd() override { return GetBool(L"RecNearEnd"); }
    bool GetTrainingModeActive() override { return GetBool(L"TrainingModeActive"); }
    std::int32_t GetPrinterState() override { return GetLong(L"PrinterState"); }
    std::int32_t GetRemainingFiscalMemory() override { return GetLong(L"RemainingFiscalMemory"); }
    void SetPreLine(const Text& aValue) override { Put(L"PreLine", Arg::String(aValue)); }
    void SetFiscalReceiptType(std::int32_t aValue) override { Put(L"FiscalReceiptType", Arg::Long(aValue)); }
    Text GetAdditionalTrailer() override { return GetString(L"AdditionalTrailer"); }
    void SetAdditionalTrailer(const Text& aValue) override { Put(L"AdditionalTrailer", Arg::String(aValue)); }

private:
    bool Created() {
        if (fDispatch != nullptr) {
            return true;
        }
        // S_OK, S_FALSE and RPC_E_CHANGED_MODE all leave COM usable on this thread; the apartment is left
        // initialised, since the control may outlive this call.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CLSID clsid{};
        HRESULT hr = CLSIDFromProgID(L"OPOS.FiscalPrinter", &clsid);
        if (FAILED(hr)) {
            fCreateError = u"The OPOS FiscalPrinter control (OPOS.FiscalPrinter) is not registered [" +
                           HexCode(hr) + u"]";
            return false;
        }
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&fDispatch));
        if (FAILED(hr) || fDispatch == nullptr) {
            fDispatch = nullptr;
            fCreateError = u"The OPOS FiscalPrinter control could not be created [" + HexCode(hr) + u"]";
            return false;
        }
        fCreateError.clear();
        return true;
    }

    DISPID Id(const wchar_t* aName) {
        const auto it = fIds.find(aName);
        if (it != fIds.end()) {
            return it->second;
        }
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR name = const_cast<LPOLESTR>(aName);
        const HRESULT hr = fDispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) {
            throw ZrError(u"OPOS FiscalPrinter has no member " +
                          Text(reinterpret_cast<const char16_t*>(aName)) + u" [" + HexCode(hr) + u"]");
        }
        fIds.emplace(aName, id);
        return id;
    }

    // Calls member aName with aArgs (in the member's argument order); the result comes back in aResult.
    void Invoke(const wchar_t* aName, WORD aFlags, Args& aArgs, VARIANT* aResult) {
        const DISPID id = Id(aName);
        std::vector<VARIANTARG> reversed; // IDispatch takes the arguments last to first
        for (auto it = aArgs.rbegin(); it != aArgs.rend(); ++it) {
            reversed.push_back((*it)->Value());
        }
        DISPPARAMS params{};
        params.rgvarg = reversed.empty() ? nullptr : reversed.data();
        params.cArgs = static_cast<UINT>(reversed.size());
        DISPID put = DISPID_PROPERTYPUT;
        if (aFlags == DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        EXCEPINFO info{};
        UINT argError = 0;
        const HRESULT hr =
            fDispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, aFlags, &params, aResult, &info, &argError);
        if (FAILED(hr)) {
            Text message = u"OPOS FiscalPrinter." + Text(reinterpret_cast<const char16_t*>(aName)) +
                           u" failed [" + HexCode(hr) + u"]";
            if (hr == DISP_E_EXCEPTION && info.bstrDescription != nullptr) {
                message += u": " + BstrText(info.bstrDescription);
            }
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrHelpFile);
            throw ZrError(message);
        }
    }

    std::int32_t Call(const wchar_t* aName, Args aArgs) { return Method(aName, aArgs); }
    std::int32_t Method(const wchar_t* aName, Args& aArgs) {
        if (fDispatch == nullptr) {
            return opos::OPOS_E_CLOSED;
        }
        VARIANT result;
        VariantInit(&result);
        Invoke(aName, DISPATCH_METHOD, aArgs, &result);
        // A method whose answer is no result code has not succeeded: 0 would report it done.
        const std::int32_t code =
            SUCCEEDED(VariantChangeType(&result, &result, 0, VT_I4)) ? V_I4(&result) : opos::OPOS_E_FAILURE;
        VariantClear(&result);
        return code;
    }

    VARIANT GetProperty(const wchar_t* aName) {
        VARIANT result;
        VariantInit(&result);
        Args none;
        Invoke(aName, DISPATCH_PROPERTYGET, none, &result);
        return result;
    }

    static std::int32_t ToLong(VARIANT& aValue) {
        if (FAILED(VariantChangeType(&aValue, &aValue, 0, VT_I4))) {
            return 0;
        }
        return V_I4(&aValue);
    }

    bool GetBool(const wchar_t* aName) {
        if (fDispatch == nullptr) {
            return false;
        }
        VARIANT v = GetProperty(aName);
        const bool value = SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BOOL)) && V_BOOL(&v) != VARIANT_FALSE;
        VariantClear(&v);
        return value;
    }

    std::int32_t GetLong(const wchar_t* aName) {
        if (fDispatch == nullptr) {
            return 0;
        }
        VARIANT v = GetProperty(aName);
        const std::int32_t value = ToLong(v);
        VariantClear(&v);
        return value;
    }

    Text GetString(const wchar_t* aName) {
        if (fDispatch == nullptr) {
            return Text();
        }
        VARIANT v = GetProperty(aName);
        Text value;
        if (SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BSTR))) {
            value = BstrText(V_BSTR(&v));
        }
        VariantClear(&v);
        return value;
    }

    void Put(const wchar_t* aName, std::unique_ptr<Arg> aValue) {
        if (fDispatch == nullptr) {
            return;
        }
        Args args;
        args.push_back(std::move(aValue));
        Invoke(aName, DISPATCH_PROPERTYPUT, args, nullptr);
    }

    IDispatch* fDispatch = nullptr;
    Text fCreateError = u"The OPOS FiscalPrinter control is not open";
    std::map<std::wstring, DISPID> fIds;
};
} // namespace

std::unique_ptr<tZR_OposFiscalPrinter> tZR_OposFiscalPrinter::Create() {
    return std::make_unique<DispatchFiscalPrinter>();
}
