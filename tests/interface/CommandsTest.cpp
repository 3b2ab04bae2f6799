// The commands in-process, on a fake driver registered beside the real one: handles, device lookup
// and lifetime, the device operations' banners and presets, and how errors reach the three outputs.
#include <gtest/gtest.h>

#include "interface/PaymentWrapper.h"
#include "support/InterfaceTestSupport.h"

namespace {
const Text kPaySection = u"<Payment><Amount>12.5</Amount></Payment>";

// The PAY document of a command that failed with a raised error.
Text ClearedPayDocument(const Text& aErrorText) {
    kPaymentWrapper_PAY cleared;
    cleared.ClearResult();
    cleared.fResult.ErrorText = aErrorText;
    return PayResultDocument(cleared.fResult);
}

// Checks that aNeedles occur in aHaystack in this order.
void ExpectInOrder(const std::string& aHaystack, std::initializer_list<std::string> aNeedles) {
    std::size_t from = 0;
    for (const auto& needle : aNeedles) {
        const auto at = aHaystack.find(needle, from);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: " << needle << "\n" << aHaystack;
        from = at + needle.size();
    }
}

const std::string kStart = "*************************** START ***************************";
const std::string kStop = "*************************** STOP ****************************";
} // namespace

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterFakeDrivers();
        FakeControl().Reset();
        fLogId = UniqueLogId("cmd");
    }
    void TearDown() override {
        FakeControl().OpenGate();
        for (const auto& h : fOpened) {
            CallExport(CLOSE, Request(IntToText(h)));
        }
        RemoveLogsOf(fLogId);
    }

    Text Request(const Text& aHandle, const Text& aSection = Text(), const Text& aDriver = kFakeDriverName) {
        return MakeRequest({aDriver, aHandle, fLogId, aSection});
    }
    std::int32_t Open() {
        const auto o = CallExport(OPEN, Request(Text()));
        EXPECT_EQ(o.Result, 0) << TextToUtf8(o.ErrorMessage);
        const std::int32_t handle = std::stoi(TextToUtf8(ElementOf(o.Output, u"Handle")));
        fOpened.push_back(handle);
        return handle;
    }

    Text fLogId;
    std::vector<std::int32_t> fOpened;
};

TEST_F(Commands, HandlesCountUpAndAnOpenHandleIsReturnedAsItIs) {
    const std::int32_t first = Open();
    const std::int32_t second = Open();
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(LastHandle(), second);

    // An open handle comes back unchanged and opens nothing.
    const auto again = CallExport(OPEN, Request(IntToText(first)));
    EXPECT_EQ(again.Result, 0);
    EXPECT_EQ(
        again.Output,
        u"<Handle>" + IntToText(first) +
            u"</Handle>\r\n<Error>False</Error>\r\n<ErrorText></ErrorText>\r\n<LogFileName></LogFileName>");
    EXPECT_TRUE(again.ErrorWasNull);
    EXPECT_EQ(LastHandle(), second);

    // 0 and negative handles ask for a new device.
    for (const Text handle : {u"0", u"-5", u""}) {
        const auto o = CallExport(OPEN, Request(handle));
        ASSERT_EQ(o.Result, 0) << TextToUtf8(o.ErrorMessage);
        EXPECT_EQ(ElementOf(o.Output, u"Handle"), IntToText(LastHandle()));
        fOpened.push_back(LastHandle());
    }
    EXPECT_EQ(LastHandle(), second + 3);
}

TEST_F(Commands, LookupErrorsLeaveTheTablesUnchanged) {
    const std::int32_t open = Open();
    const std::int32_t last = LastHandle();
    const std::size_t count = OpenDeviceCount();
    const struct {
        CommandExport command;
        Text request;
        Text error;
    } cases[] = {
        {OPEN, Request(IntToText(last + 1000)), u"Device Handle not found"},
        {PAY, Request(IntToText(last + 1), kPaySection), u"Device Handle not found"},
        {CLOSE, Request(Text()), u"Payment Device has not previously opened"},
        {CLOSE, Request(u"0"), u"Payment Device has not previously opened"},
        {CLOSE, Request(u"-1"), u"Payment Device has not previously opened"},
        {OPEN, Request(Text(), Text(), u"zrtest_fake"), u"Payment Driver [zrtest_fake] not registered."},
        {OPEN, Request(Text(), Text(), u"ZRTEST_FAKE "), u"Payment Driver [ZRTEST_FAKE ] not registered."},
        {OPEN, Request(Text(), Text(), u"zrpa_rivevedev17_10"),
         u"Payment Driver [zrpa_rivevedev17_10] not registered."},
        {PAY, Request(Text(), kPaySection, u"Nope&lt;&amp;&gt;"),
         u"Payment Driver [Nope<&>] not registered."},
        {OPEN, Request(Text(), Text(), kBrokenDriverName), u"fake channel cannot be built"},
    };
    for (const auto& c : cases) {
        const auto o = CallExport(c.command, c.request);
        EXPECT_EQ(o.Result, -1) << TextToUtf8(c.request);
        EXPECT_EQ(o.ErrorMessage, c.error);
        EXPECT_EQ(ElementOf(o.Output, u"ErrorText"), kPaymentWrapper::EscapeXml(c.error));
        EXPECT_EQ(ElementOf(o.Output, u"Error"), u"True");
    }
    EXPECT_EQ(LastHandle(), last);
    EXPECT_EQ(OpenDeviceCount(), count);
    // The device that was open is still reachable.
    EXPECT_EQ(CallExport(OPEN, Request(IntToText(open))).Result, 0);
}

TEST_F(Commands, CloseFreesTheDeviceOnceAndThenNoLonger) {
    const std::int32_t handle = Open();
    fOpened.clear();
    const auto open = CallExport(OPEN, Request(IntToText(handle)));
    ASSERT_EQ(open.Result, 0);

    const auto first = CallExport(CLOSE, Request(IntToText(handle)));
    EXPECT_EQ(first.Result, 0);
    EXPECT_EQ(first.Output,
              u"<Error>False</Error>\r\n<ErrorText></ErrorText>\r\n<LogFileName></LogFileName>");
    EXPECT_TRUE(first.ErrorWasNull);
    EXPECT_EQ(FakeControl().Destroyed.load(), 1);

    const auto second = CallExport(CLOSE, Request(IntToText(handle)));
    EXPECT_EQ(second.Result, -1);
    EXPECT_EQ(second.ErrorMessage, u"Device Handle not found");
    EXPECT_EQ(CallExport(PAY, Request(IntToText(handle), kPaySection)).ErrorMessage,
              u"Device Handle not found");
}

TEST_F(Commands, ADeviceOpenedByACommandIsClosedWhenTheCallEnds) {
    const std::int32_t last = LastHandle();
    const std::size_t count = OpenDeviceCount();

    const auto first = CallExport(PAY, Request(Text(), kPaySection));
    ASSERT_EQ(first.Result, 0) << TextToUtf8(first.ErrorMessage);
    EXPECT_EQ(ElementOf(first.Output, u"DeviceId"), u"FAKE" + IntToText(last + 1));
    EXPECT_EQ(ElementOf(first.Output, u"PaymentAmount"), u"12.5");
    EXPECT_EQ(FakeControl().Destroyed.load(), 1);
    EXPECT_EQ(OpenDeviceCount(), count);

    // Its handle stays used: the next device gets the following number.
    const auto second = CallExport(DAYCLOSE, Request(u"0", u"<DayClose></DayClose>"));
    ASSERT_EQ(second.Result, 0) << TextToUtf8(second.ErrorMessage);
    EXPECT_EQ(Open(), last + 3);
    EXPECT_EQ(FakeControl().Destroyed.load(), 2);

    // The closed device's log is complete: opening line, banner, driver, STOP.
    const Text logFile = ElementOf(first.Output, u"LogFileName");
    ASSERT_FALSE(logFile.empty());
    const std::string log = ReadFileBytes(logFile);
    ExpectInOrder(log, {kStart, std::string(60, '-') + " Pay", "FakeDriver:DoPay", kStop, kStart,
                        std::string(55, '-') + " DayClose", "FakeDriver:DoDayClose", kStop});
    RemoveFile(logFile);
}

TEST_F(Commands, EachDeviceOperationWritesItsBannerAndPresets) {
    const Text handle = IntToText(Open());
    const struct {
        CommandExport command;
        Text section;
        std::int32_t result;
        std::vector<std::pair<Text, Text>> elements;
        bool logFileName;
        const char16_t* dateTimeElement;
    } cases[] = {
        {PAY,
         kPaySection,
         0,
         {{u"PaymentAmount", u"12.5"},
          {u"PaymentNetwork", u"visa"},
          {u"TransactionType", u"CLESSCHIP"},
          {u"ErrorText", u"driver text"}},
         true,
         u"PaymentDateTime"},
        {REPRINT, u"<Reprint></Reprint>", 0, {{u"ReceiptText", u"COPY\r\nLINE 2"}}, false, nullptr},
        {VERIFYTRAN,
         u"<VerifyTran></VerifyTran>",
         -1,
         {{u"ErrorText", u"unsupported"},
          {u"PaymentNetwork", u"other"},
          {u"TransactionType", u"OTHER"},
          {u"Error", u"True"}},
         true,
         u"PaymentDateTime"},
        {DAYCLOSE,
         u"<DayClose></DayClose>",
         0,
         {{u"ClosureNumber", u"0042"}, {u"TotalAmount", u"12.5"}},
         true,
         u"ClosureDateTime"},
        {GETTOTALS,
         u"<GetTotals></GetTotals>",
         0,
         {{u"TransactionsCount", u"2"}, {u"TotalAmount", u"-2.5"}},
         true,
         u"DateTime"},
    };
    Text logFile;
    for (const auto& c : cases) {
        const auto o = CallExport(c.command, Request(handle, c.section));
        EXPECT_EQ(o.Result, c.result) << TextToUtf8(o.Output);
        for (const auto& [name, value] : c.elements) {
            EXPECT_EQ(ElementOf(o.Output, name), value) << TextToUtf8(name);
        }
        EXPECT_EQ(ElementOf(o.Output, u"LogFileName").empty(), !c.logFileName) << TextToUtf8(o.Output);
        if (c.logFileName) {
            logFile = ElementOf(o.Output, u"LogFileName");
        }
        if (c.dateTimeElement != nullptr) {
            EXPECT_NE(ElementOf(o.Output, c.dateTimeElement), u"1899-12-30T00:00:00");
        }
    }
    ASSERT_EQ(CallExport(CLOSE, Request(handle)).Result, 0);
    fOpened.clear();
    ExpectInOrder(ReadFileBytes(logFile),
                  {kStart, std::string(60, '-') + " Pay", "FakeDriver:DoPay",
                   std::string(60, '-') + " Reprint", "FakeDriver:DoReprint",
                   std::string(60, '-') + " VerifyTran", "FakeDriver:DoVerifyTran",
                   std::string(55, '-') + " DayClose", "FakeDriver:DoDayClose",
                   std::string(55, '-') + " GetTotals", "FakeDriver:DoGetTotals", kStop});
    RemoveFile(logFile);
}

TEST_F(Commands, PayChoosesTheDriverOperationByAction) {
    const struct {
        const char16_t* action;
        const char* operation;
    } cases[] = {{nullptr, "FakeDriver:DoPay"},
                 {u"PAY", "FakeDriver:DoPay"},
                 {u"REFUND", "FakeDriver:DoRefund"},
                 {u"VOID", "FakeDriver:DoVoid"}};
    for (const auto& c : cases) {
        const Text section = c.action == nullptr ? kPaySection
                                                 : u"<Payment><Action>" + Text(c.action) +
                                                       u"</Action><Amount>1</Amount></Payment>";
        const auto o = CallExport(PAY, Request(Text(), section));
        ASSERT_EQ(o.Result, 0) << TextToUtf8(o.ErrorMessage);
        const Text logFile = ElementOf(o.Output, u"LogFileName");
        const std::string log = ReadFileBytes(logFile);
        const auto banner = log.rfind(std::string(60, '-') + " Pay");
        ASSERT_NE(banner, std::string::npos);
        EXPECT_EQ(log.substr(banner).find("FakeDriver:Do"), log.substr(banner).find(c.operation))
            << c.operation;
        EXPECT_NE(log.substr(banner).find(c.operation), std::string::npos) << c.operation;
    }
    RemoveFile(ElementOf(CallExport(PAY, Request(Text(), kPaySection)).Output, u"LogFileName"));
}

TEST_F(Commands, DriverErrorsReachTheOutputs) {
    // A channel error replaces the driver's text; the Error flag stays as the driver set it.
    FakeControl().SetChannelError = true;
    const auto channel = CallExport(PAY, Request(Text(), kPaySection));
    EXPECT_EQ(channel.Result, 0);
    EXPECT_EQ(channel.ErrorMessage, u"channel says no");
    EXPECT_EQ(ElementOf(channel.Output, u"ErrorText"), u"channel says no");
    FakeControl().SetChannelError = false;

    // A raised error drops the record the driver had filled: the cleared document, no log file name.
    FakeControl().RaiseInOperation = true;
    const auto raised = CallExport(PAY, Request(Text(), kPaySection));
    EXPECT_EQ(raised.Result, -1);
    EXPECT_EQ(raised.ErrorMessage, u"fake driver failure <&>");
    EXPECT_EQ(raised.Output, ClearedPayDocument(u"fake driver failure <&>"));
    EXPECT_EQ(FakeControl().Destroyed.load(), 2);
    RemoveFile(ElementOf(channel.Output, u"LogFileName"));
}

TEST_F(Commands, GetStatusAnswersWhateverTheRequestHolds) {
    const std::size_t count = OpenDeviceCount();
    const Text requests[] = {u"",           u"not xml at all", u"<unclosed>", u"<a><Handle>abc</Handle></a>",
                             Request(u"1"), Text(100000, u'<')};
    for (const auto& request : requests) {
        const auto o = CallExport(GETSTATUS, request);
        EXPECT_EQ(o.Result, 0);
        EXPECT_EQ(o.Output, kStatusDocument);
        EXPECT_TRUE(o.ErrorWasNull);
    }
    BSTR output = nullptr;
    BSTR error = nullptr;
    EXPECT_EQ(GETSTATUS(nullptr, &output, &error), 0);
    EXPECT_EQ(BstrToText(output), kStatusDocument);
    EXPECT_EQ(error, nullptr);
    SysFreeString(output);
    EXPECT_EQ(OpenDeviceCount(), count);
}

TEST_F(Commands, VersionNamesTheRegisteredDriverExactly) {
    const auto ok = CallVersion(u"ZRPA_RIVEVEDEV17_10");
    EXPECT_EQ(ok.Result, 0);
    EXPECT_EQ(ok.Output.rfind(u"Version 1.27 - ", 0), 0u) << TextToUtf8(ok.Output);
    EXPECT_GT(ok.Output.size(), Text(u"Version 1.27 - ").size());
    EXPECT_TRUE(ok.ErrorWasNull);
    // The text describes the library, not a driver.
    EXPECT_EQ(CallVersion(kFakeDriverName).Output, ok.Output);

    for (const Text name :
         {u"ZRPA_RIVEVEDEV17_10 ", u"zrpa_rivevedev17_10", u" ZRPA_RIVEVEDEV17_10", u"",
          u"<ReceiptPrinterManager><Driver>ZRPA_RIVEVEDEV17_10</Driver></ReceiptPrinterManager>"}) {
        const auto o = CallVersion(name);
        EXPECT_EQ(o.Result, -1);
        EXPECT_TRUE(o.OutputWasNull);
        EXPECT_EQ(o.ErrorMessage, u"Driver [" + CutValue(name) + u"] not found");
    }
    BSTR version = nullptr;
    BSTR error = nullptr;
    EXPECT_EQ(VERSION(nullptr, &version, &error), -1);
    EXPECT_EQ(version, nullptr);
    EXPECT_EQ(BstrToText(error), u"Driver [] not found");
    SysFreeString(error);
}

TEST_F(Commands, NullRequestsAndNullOutputPointers) {
    // A null request reads as the empty text: not a document, so the command fails with its whole
    // cleared document.
    BSTR output = nullptr;
    BSTR error = nullptr;
    EXPECT_EQ(PAY(nullptr, &output, &error), -1);
    const Text message = BstrToText(error);
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(BstrToText(output), ClearedPayDocument(kPaymentWrapper::EscapeXml(message)));
    SysFreeString(output);
    SysFreeString(error);

    // Without both output pointers nothing runs: a payment whose answer cannot be delivered is not made.
    BSTR request = SysAllocStringLen(nullptr, 0);
    error = reinterpret_cast<BSTR>(&request); // garbage that must be overwritten, not freed
    EXPECT_EQ(PAY(request, nullptr, &error), -1);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(OPEN(request, nullptr, nullptr), -1);
    EXPECT_EQ(VERSION(request, nullptr, nullptr), -1);
    EXPECT_EQ(FakeControl().Entered, 0);
    SysFreeString(request);
}

TEST_F(Commands, InvalidRequestsFailBeforeAnyDeviceIsOpened) {
    const std::int32_t last = LastHandle();
    const Text envelope = u"<R><Driver>ZRTEST_FAKE</Driver><LogId>" + fLogId + u"</LogId>";
    const Text tcp = u"<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>1</Port></Connection>";
    const struct {
        CommandExport command;
        Text request;
        Text error;
    } cases[] = {
        {OPEN, envelope + u"<Connection><Type>socket</Type></Connection></R>",
         u"Connection Type socket is not valid"},
        {PAY, envelope + tcp + u"<Payment><Action>refund</Action></Payment></R>",
         u"Action refund invalid. Allowed values are: PAY,REFUND,VOID."},
        {PAY, envelope + tcp + u"<Payment><Amount>12,50</Amount></Payment></R>",
         u"Error in processing node Amount as currency.\r\n'12,50' is not a valid floating point value"},
        {PAY, envelope + u"<Handle>abc</Handle>" + tcp + u"<Payment></Payment></R>",
         u"Error in processing node Handle as integer.\r\n'abc' is not a valid integer value"},
        {PAY, envelope + tcp + u"</R>", u"Payment/Reprint/VerifyTran node not found"},
        {DAYCLOSE, envelope + tcp + u"<GetTotals></GetTotals></R>", u"DayClose node not found"},
        {GETTOTALS, envelope + tcp + u"<GetTotals><PrintLocation>eft</PrintLocation></GetTotals></R>",
         u"Payment Location eft invalid. Allowed values are: ECR,EFT."},
    };
    for (const auto& c : cases) {
        const auto o = CallExport(c.command, c.request);
        EXPECT_EQ(o.Result, -1);
        EXPECT_EQ(o.ErrorMessage, c.error);
        EXPECT_EQ(ElementOf(o.Output, u"ErrorText"), kPaymentWrapper::EscapeXml(c.error));
    }
    EXPECT_EQ(LastHandle(), last);
    EXPECT_EQ(FakeControl().Entered, 0);
}
