#pragma once
// A FiscalPrinter control for the OPOS channel's tests: it records each call with its arguments in the
// text form "Name(argument,...)" and answers the result codes and values scripted in its FakeState. The
// channel tests drive it directly, and on Windows also through COM: the registered test control
// (tests/support/OposTestControl_win.cpp) serves this same fake through IDispatch.
#include <deque>
#include <memory>
#include <vector>

#include "base/ZrError.h"
#include "io/OposFiscalPrinter.h"

struct FakeState {
    std::vector<Text> Calls;
    std::deque<std::int32_t> Codes; // answers of the next methods; 0 once used up
    std::int32_t Extended = 0;
    Text ErrorString;
    bool DeviceEnabled = false;
    bool KeepEnabled = false; // DeviceEnabled := false does not take
    Text RaiseIn;             // the member that raises "control crashed" instead of answering
    Text MissingMember;       // the member a control reached by name does not have
    Text DateAnswer;
    Text DataAnswer;
    std::int32_t DirectData = 0;
    Text DirectString;
    bool Flags = true; // CoverOpen, DayOpened, ...
    std::int32_t PrinterState = 0;
    std::int32_t Remaining = 0;
    Text PreLine;
    std::int32_t ReceiptType = 0;
    Text Trailer;
};

class FakeFiscalPrinter final : public tZR_OposFiscalPrinter {
public:
    explicit FakeFiscalPrinter(std::shared_ptr<FakeState> aState) : s(std::move(aState)) {}

    std::int32_t Open(const Text& aName) override { return Call(u"Open(" + aName + u")"); }
    std::int32_t ClaimDevice(std::int32_t aTimeout) override {
        return Call(u"ClaimDevice(" + Num(aTimeout) + u")");
    }
    std::int32_t ReleaseDevice() override { return Call(u"ReleaseDevice"); }
    std::int32_t Close() override { return Call(u"Close"); }
    bool GetDeviceEnabled() override { return s->DeviceEnabled; }
    void SetDeviceEnabled(bool aValue) override {
        s->Calls.push_back(u"DeviceEnabled:=" + Flag(aValue));
        if (aValue || !s->KeepEnabled) {
            s->DeviceEnabled = aValue;
        }
    }
    std::int32_t GetResultCodeExtended() override { return s->Extended; }
    Text GetErrorString() override { return s->ErrorString; }

    std::int32_t BeginFiscalReceipt(bool a) override { return Call(u"BeginFiscalReceipt(" + Flag(a) + u")"); }
    std::int32_t EndFiscalReceipt(bool a) override { return Call(u"EndFiscalReceipt(" + Flag(a) + u")"); }
    std::int32_t BeginNonFiscal() override { return Call(u"BeginNonFiscal"); }
    std::int32_t EndNonFiscal() override { return Call(u"EndNonFiscal"); }
    std::int32_t BeginTraining() override { return Call(u"BeginTraining"); }
    std::int32_t EndTraining() override { return Call(u"EndTraining"); }
    std::int32_t ResetPrinter() override { return Call(u"ResetPrinter"); }
    std::int32_t PrintZReport() override { return Call(u"PrintZReport"); }
    std::int32_t PrintXReport() override { return Call(u"PrintXReport"); }
    std::int32_t PrintNormal(std::int32_t aStation, const Text& aData) override {
        return Call(u"PrintNormal(" + Num(aStation) + u"," + aData + u")");
    }
    std::int32_t PrintRecMessage(const Text& a) override { return Call(u"PrintRecMessage(" + a + u")"); }
    std::int32_t PrintRecTaxID(const Text& a) override { return Call(u"PrintRecTaxID(" + a + u")"); }
    std::int32_t PrintRecItem(const Text& d, Currency p, std::int32_t q, std::int32_t v, Currency u,
                              const Text& n) override {
        return Call(u"PrintRecItem(" + d + u"," + Cy(p) + u"," + Num(q) + u"," + Num(v) + u"," + Cy(u) +
                    u"," + n + u")");
    }
    std::int32_t PrintRecItemVoid(const Text& d, Currency p, std::int32_t q, std::int32_t v, Currency u,
                                  const Text& n) override {
        return Call(u"PrintRecItemVoid(" + d + u"," + Cy(p) + u"," + Num(q) + u"," + Num(v) + u"," + Cy(u) +
                    u"," + n + u")");
    }
    std::int32_t PrintRecRefund(const Text& d, Currency a, std::int32_t v) override {
        return Call(u"PrintRecRefund(" + d + u"," + Cy(a) + u"," + Num(v) + u")");
    }
    std::int32_t PrintRecItemAdjustment(std::int32_t t, const Text& d, Currency a, std::int32_t v) override {
        return Call(u"PrintRecItemAdjustment(" + Num(t) + u"," + d + u"," + Cy(a) + u"," + Num(v) + u")");
    }
    std::int32_t PrintRecSubtotal(Currency a) override { return Call(u"PrintRecSubtotal(" + Cy(a) + u")"); }
    std::int32_t PrintRecSubtotalAdjustment(std::int32_t t, const Text& d, Currency a) override {
        return Call(u"PrintRecSubtotalAdjustment(" + Num(t) + u"," + d + u"," + Cy(a) + u")");
    }
    std::int32_t PrintRecTotal(Currency t, Currency p, const Text& d) override {
        return Call(u"PrintRecTotal(" + Cy(t) + u"," + Cy(p) + u"," + d + u")");
    }
    std::int32_t PrintRecNotPaid(const Text& d, Currency a) override {
        return Call(u"PrintRecNotPaid(" + d + u"," + Cy(a) + u")");
    }
    std::int32_t SetDate(const Text& a) override { return Call(u"SetDate(" + a + u")"); }
    std::int32_t GetDate(Text& a) override {
        a = s->DateAnswer;
        return Call(u"GetDate");
    }
    std::int32_t GetData(std::int32_t i, std::int32_t& o, Text& d) override {
        d = s->DataAnswer;
        return Call(u"GetData(" + Num(i) + u"," + Num(o) + u")");
    }
    std::int32_t DirectIO(std::int32_t c, std::int32_t& d, Text& t) override {
        const Text call = u"DirectIO(" + Num(c) + u"," + Num(d) + u"," + t + u")";
        d = s->DirectData;
        t = s->DirectString;
        return Call(call);
    }

    bool GetCoverOpen() override { return s->Flags; }
    bool GetDayOpened() override { return s->Flags; }
    bool GetRecEmpty() override { return s->Flags; }
    bool GetRecNearEnd() override { return s->Flags; }
    bool GetTrainingModeActive() override { return s->Flags; }
    std::int32_t GetPrinterState() override { return s->PrinterState; }
    std::int32_t GetRemainingFiscalMemory() override { return s->Remaining; }
    void SetPreLine(const Text& a) override { s->PreLine = a; }
    void SetFiscalReceiptType(std::int32_t a) override { s->ReceiptType = a; }
    Text GetAdditionalTrailer() override { return s->Trailer; }
    void SetAdditionalTrailer(const Text& a) override { s->Trailer = a; }

private:
    static Text Num(std::int64_t aValue) { return IntToText(aValue); }
    static Text Cy(Currency aValue) { return aValue.ToText(); }
    static Text Flag(bool aValue) { return aValue ? u"true" : u"false"; }

    std::int32_t Call(const Text& aCall) {
        if (!s->RaiseIn.empty() && aCall.starts_with(s->RaiseIn) &&
            (aCall.size() == s->RaiseIn.size() || aCall[s->RaiseIn.size()] == u'(')) {
            throw ZrError(u"control crashed");
        }
        s->Calls.push_back(aCall);
        if (s->Codes.empty()) {
            return 0;
        }
        const std::int32_t code = s->Codes.front();
        s->Codes.pop_front();
        return code;
    }

    std::shared_ptr<FakeState> s;
};
