// The OPOS channel over a fake FiscalPrinter control that records each call and answers scripted codes:
// handed to the channel directly, and on Windows also reached the way a real control is, through the COM
// registry and IDispatch (support/OposTestControls.h).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "base/ZrError.h"
#include "io/IOHandler_OPOS.h"
#include "support/ChannelLog.h"
#include "support/OposTestControls.h"
#include "support/TempFolder.h"

namespace {
const Text kLogName = u"ZRPA_RIVEVEDEV17_10_opostest";

Currency Amount(const char16_t* aText) {
    Currency c;
    EXPECT_TRUE(Currency::TryParse(aText, c)) << TextToUtf8(aText);
    return c;
}
} // namespace

class OposChannel : public ::testing::TestWithParam<OposTestControl> {
protected:
    void SetUp() override {
        ASSERT_EQ(fSession.Error(), "");
        fState = fSession.State();
    }
    std::unique_ptr<kIOHandler_OPOS> Channel(const Text& aDeviceName = u"FiscalPrinter1") {
        kConnection connection;
        connection.DeviceName = aDeviceName;
        connection.SetConnectTimeOut(2500);
        auto channel =
            std::make_unique<kIOHandler_OPOS>(&connection, fDir.AsText(), kLogName, fSession.NewControl());
        fLogFile = channel->GetLogFileName();
        return channel;
    }
    // A channel whose control is open, as a registered control must be before it answers: the calls
    // and log lines of opening it (and of closing it at the end) are left out of what the test compares.
    std::unique_ptr<kIOHandler_OPOS> OpenChannel() {
        auto channel = Channel();
        EXPECT_TRUE(channel->Connect());
        fState->Calls.clear();
        fOpened = true;
        return channel;
    }
    // The log lines after START (and before STOP), once the channel is gone.
    std::vector<ChannelLogLine> Log(std::unique_ptr<kIOHandler_OPOS>& aChannel) {
        aChannel.reset();
        auto lines = ReadChannelLog(fLogFile);
        EXPECT_GE(lines.size(), 2u);
        if (lines.size() >= 2) {
            lines.erase(lines.begin());
            lines.pop_back();
        }
        if (fOpened) {
            const ChannelLogLine enabled{false, u"[Connect]->DeviceEnabled:=true"};
            const auto opened = std::find(lines.begin(), lines.end(), enabled);
            EXPECT_NE(opened, lines.end());
            lines.erase(lines.begin(), opened == lines.end() ? opened : opened + 1);
            while (!lines.empty() && lines.back().Message.starts_with(u"[Disconnect]")) {
                lines.pop_back();
            }
        }
        return lines;
    }
    static std::vector<ChannelLogLine> Info(const std::vector<Text>& aLines) {
        std::vector<ChannelLogLine> out;
        for (const auto& l : aLines) {
            out.push_back({false, l});
        }
        return out;
    }

    OposControlSession fSession{GetParam()};
    std::shared_ptr<FakeState> fState;
    TempFolder fDir;
    Text fLogFile;
    bool fOpened = false;
};

TEST_P(OposChannel, FiscalOperationsLogTheirCallAndPassTheArguments) {
    using Op = std::function<bool(kIOHandler_OPOS&)>;
    const Currency qty = Amount(u"1.5");
    const Currency price = Amount(u"1.2");
    const Currency amount = Amount(u"1.8");
    const struct {
        Op Run;
        const char16_t* Line;
        const char16_t* Call;
    } cases[] = {
        {[](auto& c) { return c.BeginFiscalReceipt(); }, u"[BeginFiscalReceipt]->BeginFiscalReceipt(true)",
         u"BeginFiscalReceipt(true)"},
        {[](auto& c) { return c.EndFiscalReceipt(); }, u"[EndFiscalReceipt]->EndFiscalReceipt(false)",
         u"EndFiscalReceipt(false)"},
        {[](auto& c) { return c.BeginNonFiscal(); }, u"[BeginNonFiscal]->BeginNonFiscal", u"BeginNonFiscal"},
        {[](auto& c) { return c.EndNonFiscal(); }, u"[EndNonFiscal]->EndNonFiscal", u"EndNonFiscal"},
        {[](auto& c) { return c.BeginTraining(); }, u"[BeginTraining]->BeginTraining", u"BeginTraining"},
        {[](auto& c) { return c.EndTraining(); }, u"[EndTraining]->EndTraining", u"EndTraining"},
        {[](auto& c) { return c.ResetPrinter(); }, u"[ResetPrinter]->ResetPrinter", u"ResetPrinter"},
        {[](auto& c) { return c.PrintZReport(); }, u"[PrintZReport]->PrintZReport", u"PrintZReport"},
        {[](auto& c) { return c.PrintXReport(); }, u"[PrintXReport]->PrintXReport", u"PrintXReport"},
        {[](auto& c) { return c.PrintNormal(u"It's 'ok'"); }, u"[PrintNormal]->PrintNormal(2,'It''s ''ok''')",
         u"PrintNormal(2,It's 'ok')"},
        {[](auto& c) { return c.PrintRecMessage(u"Grazie"); },
         u"[PrintRecMessage]->PrintRecMessage('Grazie')", u"PrintRecMessage(Grazie)"},
        {[](auto& c) { return c.PrintRecTaxid(u"IT0123"); }, u"[PrintRecTaxid]->PrintRecTaxid('IT0123')",
         u"PrintRecTaxID(IT0123)"},
        {[&](auto& c) { return c.PrintRecItem(u"A1", u"Caffe'", qty, u"pz", 22, price, amount); },
         u"[PrintRecItem]->PrintRecItem('Caffe''',1.8,1,22,1.2,'pz')",
         u"PrintRecItem(Caffe',1.8,1500,22,1.2,pz)"},
        {[&](auto& c) { return c.PrintRecItemVoid(u"A1", u"Caffe'", qty, u"pz", 22, price, amount); },
         u"[PrintRecItemVoid]->PrintRecItemVoid('Caffe''',1.8,22,1.2,'pz')",
         u"PrintRecItemVoid(Caffe',1.8,1500,22,1.2,pz)"},
        {[&](auto& c) { return c.PrintRecRefund(u"A1", u"Caffe'", qty, u"pz", 22, price, amount); },
         u"[PrintRecRefund]->PrintRecRefund('Caffe''',1.8,22)", u"PrintRecRefund(Caffe',1.8,22)"},
        {[](auto& c) { return c.PrintRecItemAdjustment(1, u"Sconto", Amount(u"0.5"), 10); },
         u"[PrintRecItemAdjustment]->PrintRecItemAdjustment(1,'Sconto',0.5,10)",
         u"PrintRecItemAdjustment(1,Sconto,0.5,10)"},
        {[](auto& c) { return c.PrintRecSubtotal(Amount(u"12.30")); },
         u"[PrintRecSubtotal]->PrintRecSubTotal(12.3)", u"PrintRecSubtotal(12.3)"},
        {[](auto& c) { return c.PrintRecSubtotalAdjustment(2, u"Arrotondamento", Amount(u"-0.02")); },
         u"[PrintRecSubtotalAdjustment]->PrintRecSubtotalAdjustment(2,'Arrotondamento',-0.02)",
         u"PrintRecSubtotalAdjustment(2,Arrotondamento,-0.02)"},
        {[](auto& c) { return c.PrintRecTotal(Amount(u"10"), Amount(u"20"), u"Contanti"); },
         u"[PrintRecTotal]->PrintRecTotal(10,20,'Contanti')", u"PrintRecTotal(10,20,Contanti)"},
        {[](auto& c) { return c.PrintRecNotPaid(Amount(u"5.5"), u"Ticket"); },
         u"[PrintRecNotPaid]->PrintRecNotPaid('Ticket',5.5)", u"PrintRecNotPaid(Ticket,5.5)"},
        {[](auto& c) { return c.SetDate(EncodeDateTime(2025, 12, 31, 17, 45, 59)); },
         u"[SetDate]->SetDate('311220251745')", u"SetDate(311220251745)"},
        {[](auto& c) { return c.SetDate(EncodeDateTime(1, 1, 2, 3, 4)); },
         u"[SetDate]->SetDate('020100010304')", u"SetDate(020100010304)"},
    };
    auto channel = OpenChannel();
    std::vector<Text> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(TextToUtf8(c.Line));
        EXPECT_TRUE(c.Run(*channel));
        ASSERT_FALSE(fState->Calls.empty());
        EXPECT_EQ(fState->Calls.back(), c.Call);
        EXPECT_FALSE(channel->ErrorFound());
        expected.push_back(c.Line);
    }
    EXPECT_EQ(Log(channel), Info(expected));
}

TEST_P(OposChannel, OperationsWithOutputsLogWhatCameBack) {
    auto channel = OpenChannel();
    fState->DateAnswer = u"311220251745";
    TDateTime date = 0;
    ASSERT_TRUE(channel->GetDate(date));
    const DateTimeParts p = DecodeDateTime(date);
    EXPECT_EQ(std::vector<int>({p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, p.Millisecond}),
              std::vector<int>({2025, 12, 31, 17, 45, 0, 0}));

    fState->DataAnswer = u"000123";
    Text output = u"stale";
    ASSERT_TRUE(channel->GetData(5, 7, output));
    EXPECT_EQ(output, u"000123");
    EXPECT_EQ(fState->Calls.back(), u"GetData(5,7)");

    fState->DirectData = 9;
    fState->DirectString = u"out'put";
    std::int32_t data = 3;
    Text text = u"in";
    ASSERT_TRUE(channel->DirectIO(7, data, text));
    EXPECT_EQ(fState->Calls.back(), u"DirectIO(7,3,in)");
    EXPECT_EQ(data, 9);
    EXPECT_EQ(text, u"out'put");

    EXPECT_EQ(Log(channel),
              Info({u"[GetDate]->GetDate", u"[GetDate]->aDate=311220251745",
                    u"[GetData]->GetData(5,7,aOutput)", u"[GetData]->aOutput=000123",
                    u"[DirectIO]->DirectIO(7,3,'in')", u"[DirectIO]->Output(Data:=9, Obj:='out''put')"}));
}

TEST_P(OposChannel, FailedOutputsFallBackAndMalformedDatesRaise) {
    auto channel = OpenChannel();
    fState->Codes = {111, 111};
    fState->DateAnswer = u"311220251745";
    TDateTime date = 0;
    EXPECT_FALSE(channel->GetDate(date));
    EXPECT_GT(date, EncodeDateTime(2020, 1, 1)); // the current date and time instead
    fState->DataAnswer = u"ignored";
    Text output = u"stale";
    EXPECT_FALSE(channel->GetData(1, 0, output));
    EXPECT_EQ(output, Text());

    for (const Text& answer :
         {Text(u"3112202517"), Text(u"32122025174x"), Text(u"311320251745"), Text(u"")}) {
        fState->DateAnswer = answer;
        EXPECT_THROW(channel->GetDate(date), ZrError) << TextToUtf8(answer);
    }
    for (const double bad : {std::nan(""), 3e6, -7e5, std::numeric_limits<double>::infinity()}) {
        EXPECT_THROW(channel->SetDate(bad), ZrError) << bad;
    }
    const std::size_t calls = fState->Calls.size();
    const Currency huge = Currency::FromUnits(3'000'000); // 3e9 thousandths do not fit the control
    EXPECT_THROW(channel->PrintRecItem(u"", u"x", huge, u"", 0, huge, huge), ZrError);
    EXPECT_THROW(channel->PrintRecItemVoid(u"", u"x", -huge, u"", 0, huge, huge), ZrError);
    EXPECT_EQ(fState->Calls.size(), calls);
}

TEST_P(OposChannel, PropertyOperationsLogAndAlwaysSucceed) {
    auto channel = OpenChannel();
    fState->Flags = true;
    fState->PrinterState = 4;
    fState->Remaining = 1200;
    fState->Codes = {111}; // property operations check no result code
    bool flag = false;
    std::int32_t number = 0;
    EXPECT_TRUE(channel->GetCoverOpen(flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(channel->GetDayOpened(flag));
    EXPECT_TRUE(channel->GetRecEmpty(flag));
    fState->Flags = false;
    EXPECT_TRUE(channel->GetRecNearEnd(flag));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(channel->GetTrainingModeActive(flag));
    EXPECT_TRUE(channel->PrinterState(number));
    EXPECT_EQ(number, 4);
    EXPECT_TRUE(channel->RemainingFiscalMemory(number));
    EXPECT_EQ(number, 1200);
    EXPECT_TRUE(channel->SetPreLine(u"Tavolo 5"));
    EXPECT_EQ(fState->PreLine, u"Tavolo 5");
    EXPECT_TRUE(channel->SetFiscalReceiptType(4));
    EXPECT_EQ(fState->ReceiptType, 4);
    fState->Trailer = u"old";
    EXPECT_TRUE(channel->SetAdditionalTrailerLine(u"Grazie", true));
    EXPECT_TRUE(channel->SetAdditionalTrailerLine(u"Arrivederci", false));
    EXPECT_EQ(fState->Trailer, u"GrazieArrivederci\r\n");
    EXPECT_FALSE(channel->ErrorFound());
    EXPECT_EQ(fState->Codes.size(), 1u); // not one of them took a result code
    fState->Codes.clear();

    EXPECT_EQ(Log(channel), Info({
                                u"[GetCoverOpen]->CoverOpen(aResult)",
                                u"[GetCoverOpen]->CoverOpen=True",
                                u"[GetDayOpened]->DayOpened(aResult)",
                                u"[GetDayOpened]->aResult=True",
                                u"[GetRecEmpty]->RecEmpty(aResult)",
                                u"[GetRecEmpty]->aResult=True",
                                u"[GetRecNearEmpty]->RecNearEmpty(aResult)",
                                u"[GetRecNearEmpty]->aResult=False",
                                u"[GetTrainingModeActive]->TrainingModeActive(aResult)",
                                u"[GetTrainingModeActive]->aResult=False",
                                u"[PrinterState]->PrinterState(aPrinterState)",
                                u"[PrinterState]->aPrinterState=4",
                                u"[RemainingFiscalMemory]->RemainingFiscalMemory(aRemainingFiscalMemory)",
                                u"[RemainingFiscalMemory]->aRemainingFiscalMemory=1200",
                                u"[SetPreLine]->PreLine='Tavolo 5'",
                                u"[SetFiscalReceiptType]->FiscalReceiptType=4",
                                u"[SetAdditionalTrailerLine]->AdditionalTrailer='Grazie'",
                                u"[SetAdditionalTrailerLine]->AdditionalTrailer=+'Arrivederci'",
                            }));
}

TEST_P(OposChannel, ResultCodesBecomeErrorFieldsAndErrorLines) {
    const struct {
        std::int32_t Code;
        std::int32_t Extended;
        const char16_t* ErrorString;
        const char16_t* Text;
    } cases[] = {
        {111, 0, u"", u"[111] OPOS_E_FAILURE - "},
        {101, 0, u"closed", u"[101] OPOS_E_CLOSED - closed"},
        {115, 0, u"", u"[115] OPOS_E_DEPRECATED - "},
        {114, 203, u"paper out", u"[114] OPOS_E_EXTENDED [203] OPOS_EFPTR_REC_EMPTY - paper out"},
        {114, 224, u"", u"[114] OPOS_E_EXTENDED [224] OPOS_EFPTR_DAY_END_REQUIRED - "},
        {114, 201, u"", u"[114] OPOS_E_EXTENDED [201] OPOS_EFPTR_COVER_OPEN - "},
        {114, 300, u"", u"[114] OPOS_E_EXTENDED [300] UNKNOWN - "},
        {114, 0, u"", u"[114] OPOS_E_EXTENDED - "},
        {106, 203, u"", u"[106] OPOS_E_ILLEGAL - "}, // the extended code counts only with 114
        {150, 0, u"x", u"[150] UNKNOWN - x"},
        {-1, 0, u"", u"[-1] UNKNOWN - "},
    };
    auto channel = OpenChannel();
    std::vector<ChannelLogLine> expected;
    for (const auto& c : cases) {
        fState->Codes = {c.Code};
        fState->Extended = c.Extended;
        fState->ErrorString = c.ErrorString;
        EXPECT_FALSE(channel->PrintXReport());
        EXPECT_TRUE(channel->ErrorFound());
        EXPECT_EQ(channel->ErrorCode(), c.Code);
        EXPECT_EQ(channel->ErrorMessage(), c.Text);
        expected.push_back({false, u"[PrintXReport]->PrintXReport"});
        expected.push_back({true, c.Text});
    }
    // Success clears what an earlier failure recorded.
    EXPECT_TRUE(channel->PrintXReport());
    EXPECT_FALSE(channel->ErrorFound());
    EXPECT_EQ(channel->ErrorCode(), 0);
    EXPECT_EQ(channel->ErrorMessage(), Text());
    expected.push_back({false, u"[PrintXReport]->PrintXReport"});
    EXPECT_EQ(channel->ResultCodeToText(0, 203), Text());
    EXPECT_EQ(Log(channel), expected);
}

TEST_P(OposChannel, ConnectOpensClaimsAndEnablesThenDisconnectUndoesIt) {
    auto channel = Channel(u"FP'1");
    channel->SetVersion(u"1.27.0.0");
    fState->Calls.clear();
    EXPECT_TRUE(channel->Connect());
    EXPECT_TRUE(channel->Connected());
    EXPECT_TRUE(channel->Disconnect());
    EXPECT_FALSE(channel->Connected());
    EXPECT_EQ(fState->Calls, std::vector<Text>({u"Open(FP'1)", u"ClaimDevice(2500)", u"DeviceEnabled:=true",
                                                u"DeviceEnabled:=false", u"ReleaseDevice", u"Close"}));
    EXPECT_EQ(Log(channel), Info({
                                u"*************************************************************",
                                u"kIOHandler_OPOS",
                                u"1.27.0.0",
                                u"ConnectTimeout=2500",
                                u"ReadTimeout=1000",
                                u"DeviceName=FP'1",
                                u"[Connect]->Open(FP'1)",
                                u"[Connect]->ClaimDevice(2500)",
                                u"[Connect]->DeviceEnabled:=true",
                                u"[Disconnect]->DeviceEnabled:=false",
                                u"[Disconnect]->ReleaseDevice",
                                u"[Disconnect]->Close",
                            }));
}

TEST_P(OposChannel, FailedClaimLeavesConnectedWithTheClaimsError) {
    auto channel = Channel();
    fState->Codes = {0, 102};
    fState->ErrorString = u"claimed by another application";
    EXPECT_FALSE(channel->Connect());
    EXPECT_TRUE(channel->Connected());
    EXPECT_TRUE(channel->ErrorFound());
    EXPECT_EQ(channel->ErrorCode(), 102);
    EXPECT_EQ(channel->ErrorMessage(), u"[102] OPOS_E_CLAIMED - claimed by another application");
    EXPECT_EQ(fState->Calls, std::vector<Text>({u"Open(FiscalPrinter1)", u"ClaimDevice(2500)"}));

    // Connecting again disconnects first; destroying a connected channel disconnects it.
    fState->Calls.clear();
    EXPECT_TRUE(channel->Connect());
    channel.reset();
    EXPECT_EQ(fState->Calls,
              std::vector<Text>({u"DeviceEnabled:=false", u"ReleaseDevice", u"Close", u"Open(FiscalPrinter1)",
                                 u"ClaimDevice(2500)", u"DeviceEnabled:=true", u"DeviceEnabled:=false",
                                 u"ReleaseDevice", u"Close"}));
}

TEST_P(OposChannel, ConnectAndDisconnectCatchControlExceptions) {
    auto channel = Channel();
    fState->RaiseIn = u"Open";
    EXPECT_FALSE(channel->Connect());
    EXPECT_FALSE(channel->Connected());

    // A device that stays enabled is neither released nor closed.
    fState->RaiseIn.clear();
    ASSERT_TRUE(channel->Connect());
    fState->KeepEnabled = true;
    fState->Calls.clear();
    EXPECT_FALSE(channel->Disconnect());
    EXPECT_FALSE(channel->Connected());
    EXPECT_EQ(fState->Calls, std::vector<Text>({u"DeviceEnabled:=false"}));

    const auto lines = Log(channel);
    ASSERT_FALSE(lines.empty());
    const ChannelLogLine caught{true, u"[Connect]:" + fSession.Raised(u"Open", u"control crashed")};
    EXPECT_NE(std::find(lines.begin(), lines.end(), caught), lines.end());
}

// Operations pass what the control raises on to the caller, and so do members a control lacks.
TEST_P(OposChannel, WhatTheControlRaisesReachesTheCaller) {
    auto channel = OpenChannel();
    fState->RaiseIn = u"PrintXReport";
    try {
        channel->PrintXReport();
        ADD_FAILURE() << "no exception";
    } catch (const ZrError& e) {
        EXPECT_EQ(e.Message(), fSession.Raised(u"PrintXReport", u"control crashed"));
    }
    fState->RaiseIn.clear();
    EXPECT_TRUE(channel->PrintXReport());
}

INSTANTIATE_TEST_SUITE_P(Controls, OposChannel, ::testing::ValuesIn(OposTestControls()),
                         [](const auto& aInfo) { return OposTestControlName(aInfo.param); });

TEST(OposPlatformControl, ConnectWithoutAnOposServiceFailsCleanly) {
    ASSERT_EQ(UnregisterOposTestControl(), "");
    // No connection section: the OPOS channel with an empty device name, as the request layer builds it.
    kIOHandler_OPOS channel(nullptr, Text(), Text());
    EXPECT_FALSE(channel.Connect());
    EXPECT_TRUE(channel.ErrorFound());
    EXPECT_EQ(channel.ErrorCode(), 104);
    EXPECT_TRUE(channel.ErrorMessage().starts_with(u"[104] OPOS_E_NOSERVICE - "))
        << TextToUtf8(channel.ErrorMessage());
    EXPECT_GT(channel.ErrorMessage().size(), Text(u"[104] OPOS_E_NOSERVICE - ").size());
    EXPECT_FALSE(channel.PrintXReport());
    EXPECT_EQ(channel.ErrorCode(), 101);
}
