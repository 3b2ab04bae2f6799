// The request document read by kPaymentHandler::Deserialize: every validation message, and the values
// that reach the handler.
#include <gtest/gtest.h>

#include <functional>

#include "base/DateTime.h"
#include "base/ZrError.h"
#include "payment/Payment.h"

namespace {

using DT = zrPaymentHandlerDocumentType;
const zrPaymentHandlerDocumentTypes kPay{DT::dt_Pay};
const zrPaymentHandlerDocumentTypes kDayClose{DT::dt_DayClose};
const zrPaymentHandlerDocumentTypes kTotals{DT::dt_GetTotals};
const zrPaymentHandlerDocumentTypes kOpen{DT::dt_Open};

Text Request(const Text& aBody) {
    return u"<Request><Driver>ZRPA_RIVEVEDEV17_10</Driver>" + aBody + u"</Request>";
}
Text Pay(const Text& aPayment) {
    return Request(u"<Payment>" + aPayment + u"</Payment>");
}
Text Tcp(const Text& aMore) {
    return u"<Connection><Type>TCP</Type>" + aMore + u"</Connection>";
}

Text ErrorOf(const Text& aXml, zrPaymentHandlerDocumentTypes aTypes) {
    kPaymentHandler handler;
    try {
        handler.Deserialize(aXml, aTypes);
    } catch (const ZrError& e) {
        return e.Message();
    }
    return u"(no error)";
}

} // namespace

TEST(RequestDocumentTest, ValidationMessages) {
    const Text nl = u".\r\n";
    struct Case {
        Text fXml;
        zrPaymentHandlerDocumentTypes fTypes;
        Text fMessage;
    };
    const Case cases[] = {
        // Envelope and connection.
        {Request(u"<Handle>abc</Handle>"), kOpen,
         u"Error in processing node Handle as integer" + nl + u"'abc' is not a valid integer value"},
        {Request(u"<Driver2/><LogId><x/></LogId>"), kOpen,
         u"Error in processing node LogId as string" + nl + u"Element does not contain a single text node"},
        {Request(u"<Connection><Type>socket</Type></Connection>"), kOpen,
         u"Connection Type socket is not valid"},
        {Request(u"<Connection><Port>1</Port></Connection>"), kOpen, u"Connection Type  is not valid"},
        {Request(u"<Connection><Type/></Connection>"), kOpen, u"Connection Type  is not valid"},
        {Request(u"<Connection><Type> tcp</Type></Connection>"), kOpen, u"Connection Type  tcp is not valid"},
        {Request(u"<Connection><Type>Serial</Type><SerialPort>COM1</SerialPort></Connection>"), kOpen,
         u"Connection Parity  is not valid"},
        {Request(u"<Connection><Type>serial</Type><Parity>Mark</Parity></Connection>"), kOpen,
         u"Connection Parity Mark is not valid"},
        {Request(Tcp(u"<Port>80a</Port>")), kOpen,
         u"Error in processing node Port as integer" + nl + u"'80a' is not a valid integer value"},
        {Request(Tcp(u"<ConnectTimeout>1s</ConnectTimeout>")), kOpen,
         u"Error in processing node ConnectTimeout as integer" + nl + u"'1s' is not a valid integer value"},
        {Request(u"<Parameters><ConnectTimeout>fast</ConnectTimeout></Parameters>"), kOpen,
         u"'fast' is not a valid integer value"},
        {Request(u"<Parameters><ConnectTimeout/></Parameters>"), kOpen, u"'' is not a valid integer value"},
        {Request(u"<Parameters><HexLog><on/></HexLog></Parameters>"), kOpen,
         u"Error in processing node HexLog as string" + nl + u"Element does not contain a single text node"},
        // Sections.
        {Request(u""), kPay, u"Payment/Reprint/VerifyTran node not found"},
        {Request(u"<payment/>"), zrPaymentHandlerDocumentTypes{DT::dt_PayReprint},
         u"Payment/Reprint/VerifyTran node not found"},
        {Request(u"<Payment/>"), kDayClose, u"DayClose node not found"},
        {Request(u"<DayClose/>"), kTotals, u"GetTotals node not found"},
        {Pay(u"<Amount>12,50</Amount>"), kPay,
         u"Error in processing node Amount as currency" + nl +
             u"'12,50' is not a valid floating point value"},
        {Pay(u"<Amount><Value>1</Value></Amount>"), kPay,
         u"Error in processing node Amount as currency" + nl +
             u"Element does not contain a single text node"},
        {Pay(u"<RequestTipAmount/>"), kPay,
         u"Error in processing node RequestTipAmount as boolean" + nl + u"'' is not a valid boolean value"},
        {Pay(u"<TokenizeCard>maybe</TokenizeCard>"), kPay,
         u"Error in processing node TokenizeCard as boolean" + nl + u"'maybe' is not a valid boolean value"},
        {Pay(u"<MaxItems>many</MaxItems>"), kPay,
         u"Error in processing node MaxItems as integer" + nl + u"'many' is not a valid integer value"},
        {Pay(u"<ReceiptColCount>4x</ReceiptColCount>"), kPay,
         u"Error in processing node ReceiptColCount as integer" + nl + u"'4x' is not a valid integer value"},
        {Pay(u"<TipAmount>1.0.0</TipAmount>"), kPay,
         u"Error in processing node TipAmount as currency" + nl +
             u"'1.0.0' is not a valid floating point value"},
        {Pay(u"<PaymentChannel>std</PaymentChannel>"), kPay,
         u"Payment Channel std invalid. Allowed values are: STD,MVP,NHS."},
        {Pay(u"<Action>refund</Action>"), kPay,
         u"Action refund invalid. Allowed values are: PAY,REFUND,VOID."},
        {Pay(u"<Phase>none</Phase>"), kPay,
         u"Phase none invalid. Allowed values are: BEGIN,DO,COMMIT,ROLLBACK."},
        {Pay(u"<PrintLocation>eft</PrintLocation>"), kPay,
         u"Payment Location eft invalid. Allowed values are: ECR,EFT."},
        {Pay(u"<RefundReference><PaymentId>1</PaymentId><PaymentDateTime/></RefundReference>"), kPay,
         u"Error in processing node PaymentDateTime as datetime" + nl + u"DateTime Format invalid: []"},
        {Pay(u"<RefundReference><PaymentDateTime>2024-05-01</PaymentDateTime></RefundReference>"), kPay,
         u"Error in processing node PaymentDateTime as datetime" + nl +
             u"DateTime Format invalid: [2024-05-01]"},
        {Pay(u"<ReceiptId><a/><b/></ReceiptId>"), kPay,
         u"Error in processing node ReceiptId as string" + nl +
             u"Element does not contain a single text node"},
        {Request(u"<DayClose><PrintLocation>Printer</PrintLocation></DayClose>"), kDayClose,
         u"Payment Location Printer invalid. Allowed values are: ECR,EFT."},
        {Request(u"<GetTotals><PrintLocation>ecr</PrintLocation></GetTotals>"), kTotals,
         u"Payment Location ecr invalid. Allowed values are: ECR,EFT."},
        // A payment or refund whose amount is absent, empty or misspelt is refused, never sent as 0.00.
        {Pay(u""), kPay,
         u"Amount missing. A PAY needs the Amount element in its Payment section, e.g. "
         u"<Amount>12.34</Amount>."},
        {Pay(u"<amount>12.34</amount><Action>REFUND</Action>"), kPay,
         u"Amount missing. A REFUND needs the Amount element in its Payment section, e.g. "
         u"<Amount>12.34</Amount>."},
        {Request(u"<Reprint><Ammount>5</Ammount></Reprint>"), kPay,
         u"Amount missing. A PAY needs the Amount element in its Reprint section, e.g. "
         u"<Amount>12.34</Amount>."},
        {Pay(u"<Amount/>"), kPay,
         u"Amount missing. The Amount element of the PAY is empty; write the amount, e.g. "
         u"<Amount>12.34</Amount>."},
        {Pay(u"<Amount></Amount><Action>REFUND</Action>"), kPay,
         u"Amount missing. The Amount element of the REFUND is empty; write the amount, e.g. "
         u"<Amount>12.34</Amount>."},
        // A huge value is quoted by its first 64 characters and its length.
        {Pay(u"<Action>" + Text(1 << 20, u'x') + u"</Action>"), kPay,
         u"Action " + Text(64, u'x') +
             u"\u2026(1048576 characters) invalid. Allowed values are: PAY,REFUND,VOID."},
        {Pay(u"<Amount>" + Text(100, u'9') + u"x</Amount>"), kPay,
         u"Error in processing node Amount as currency" + nl + u"'" + Text(64, u'9') +
             u"\u2026(101 characters)' is not a valid floating point value"},
        // The envelope is read before any section, the first bad element stops the reading.
        {Request(u"<Handle>x</Handle>"), kPay,
         u"Error in processing node Handle as integer" + nl + u"'x' is not a valid integer value"},
        {Pay(u"<Amount>x</Amount><Action>x</Action>"), kPay,
         u"Error in processing node Amount as currency" + nl + u"'x' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextToUtf8(ErrorOf(c.fXml, c.fTypes)), TextToUtf8(c.fMessage)) << TextToUtf8(c.fXml);
    }
}

TEST(RequestDocumentTest, ParserFailuresAndDoctype) {
    for (const Text& xml :
         {Text(u"<Request><Driver>x</Request>"), Text(u"<Request/><Request/>"), Text(u"")}) {
        const Text message = ErrorOf(xml, kPay);
        EXPECT_NE(message, u"(no error)");
        EXPECT_FALSE(message.empty());
    }
    const Text doctype = u"<!DOCTYPE Request [<!ENTITY d SYSTEM \"file:///etc/passwd\">]>"
                         u"<Request><Driver>&d;</Driver><Payment/></Request>";
    EXPECT_EQ(TextToUtf8(ErrorOf(doctype, kPay)),
              "A document type declaration (DOCTYPE) is not allowed in a request (line 1, column 1)");
}

TEST(RequestDocumentTest, EnvelopeAndConnection) {
    struct Case {
        Text fXml;
        std::function<void(const kPaymentHandler&)> fCheck;
    };
    const Case cases[] = {
        {u"<Anything><Type>T</Type><Driver>D</Driver><Method>M</Method><Handle>$10</Handle><LogId>L</LogId>"
         u"<Unknown>x</Unknown></Anything>",
         [](const kPaymentHandler& h) {
             EXPECT_EQ(h.fType, u"T");
             EXPECT_EQ(h.fDriver, u"D");
             EXPECT_EQ(h.fMethod, u"M");
             EXPECT_EQ(h.fDeviceHandle, 16);
             EXPECT_EQ(h.fLogId, u"L");
         }},
        // Without a connection section: every default, the OPOS channel.
        {Request(u""),
         [](const kPaymentHandler& h) {
             const kConnection& c = *h.fConnection;
             EXPECT_EQ(c.ConnectionType, zrConnectionType::OPOS);
             EXPECT_EQ(c.ConnectTimeOut(), 1000);
             EXPECT_EQ(c.ReadTimeOut(), 1000);
             EXPECT_EQ(c.DeviceName, u"");
             EXPECT_EQ(h.fDeviceHandle, 0);
             EXPECT_TRUE(h.fParameters.empty());
         }},
        {Request(u"<Parameters><DeviceName>Printer1</DeviceName></Parameters>"),
         [](const kPaymentHandler& h) { EXPECT_EQ(h.fConnection->DeviceName, u"Printer1"); }},
        // Only the elements of the connection type are read.
        {Request(
             u"<Connection><Type>tcp</Type><Address>127.0.0.1</Address><Port>2000</Port><URL>u</URL>"
             u"<AuthType>Digest</AuthType><User>us</User><Password>pw</Password><SerialPort>COM1</SerialPort>"
             u"<Speed>9600</Speed><Parity>bad</Parity><DeviceName>dn</DeviceName><ConnectTimeout>0</"
             u"ConnectTimeout>"
             u"<ReadTimeout>-5</ReadTimeout></Connection>"),
         [](const kPaymentHandler& h) {
             const kConnection& c = *h.fConnection;
             EXPECT_EQ(c.ConnectionType, zrConnectionType::TCP);
             EXPECT_EQ(c.Address, u"127.0.0.1");
             EXPECT_EQ(c.Port, 2000);
             EXPECT_EQ(c.URL, u"u");
             EXPECT_EQ(c.AuthType, zrHTTPAuthType::at_Digest);
             EXPECT_EQ(c.User, u"us");
             EXPECT_EQ(c.Password, u"pw");
             EXPECT_EQ(c.SerialPort, u"");
             EXPECT_EQ(c.Speed, 0);
             EXPECT_EQ(c.DeviceName, u"");
             EXPECT_EQ(c.ConnectTimeOut(), 1000);
             EXPECT_EQ(c.ReadTimeOut(), 1000);
         }},
        {Request(
             u"<Connection><Type>SERIAL</Type><SerialPort>COM3</SerialPort><Speed>19200</Speed>"
             u"<DataBits>7</DataBits><Parity>Even</Parity><StopBits>2</StopBits><AuthType>kerberos</AuthType>"
             u"<Address>ignored</Address><ReadTimeout>30000</ReadTimeout></Connection>"),
         [](const kPaymentHandler& h) {
             const kConnection& c = *h.fConnection;
             EXPECT_EQ(c.ConnectionType, zrConnectionType::Serial);
             EXPECT_EQ(c.SerialPort, u"COM3");
             EXPECT_EQ(c.Speed, 19200);
             EXPECT_EQ(c.DataBits, 7);
             EXPECT_EQ(c.Parity, zrParity::Even);
             EXPECT_EQ(c.StopBits, 2);
             EXPECT_EQ(c.AuthType, zrHTTPAuthType::at_None);
             EXPECT_EQ(c.Address, u"");
             EXPECT_EQ(c.ReadTimeOut(), 30000);
         }},
        {Request(
             u"<Connection><Type>Opos</Type><DeviceName>FP1</DeviceName><Address>x</Address></Connection>"),
         [](const kPaymentHandler& h) {
             EXPECT_EQ(h.fConnection->DeviceName, u"FP1");
             EXPECT_EQ(h.fConnection->Address, u"");
         }},
        {Request(u"<Connection><Type>dll</Type><LibraryName>x.dll</LibraryName><PrinterName>p</PrinterName>"
                 u"</Connection>"),
         [](const kPaymentHandler& h) {
             EXPECT_EQ(h.fConnection->ConnectionType, zrConnectionType::DLL);
             EXPECT_EQ(h.fConnection->LibraryName, u"x.dll");
             EXPECT_EQ(h.fConnection->PrinterName, u"");
         }},
        {Request(u"<Connection><Type>Spool</Type><PrinterName>p</PrinterName><LibraryName>l</LibraryName>"
                 u"</Connection>"),
         [](const kPaymentHandler& h) {
             EXPECT_EQ(h.fConnection->PrinterName, u"p");
             EXPECT_EQ(h.fConnection->LibraryName, u"");
         }},
        {Request(u"<Connection><Type>com</Type><DeviceName>d</DeviceName><Parity>x</Parity>"
                 u"<ConnectTimeout>700</ConnectTimeout></Connection>"),
         [](const kPaymentHandler& h) {
             EXPECT_EQ(h.fConnection->ConnectionType, zrConnectionType::Com);
             EXPECT_EQ(h.fConnection->DeviceName, u"");
             EXPECT_EQ(h.fConnection->ConnectTimeOut(), 700);
         }},
        // The parameter ConnectTimeout overrides the connection's; 0 or less keeps it.
        {Request(Tcp(u"<ConnectTimeout>800</ConnectTimeout>") +
                 u"<Parameters><ConnectTimeout>2500</ConnectTimeout></Parameters>"),
         [](const kPaymentHandler& h) { EXPECT_EQ(h.fConnection->ConnectTimeOut(), 2500); }},
        {Request(Tcp(u"<ConnectTimeout>800</ConnectTimeout>") +
                 u"<Parameters><connecttimeout>-1</connecttimeout></Parameters>"),
         [](const kPaymentHandler& h) { EXPECT_EQ(h.fConnection->ConnectTimeOut(), 800); }},
        // Parameters: lower-cased names, document order, two of one name both carry the first's text.
        {Request(u"<Parameters><HexLog>True</HexLog><A>1</A><b>x=y</b><A>2</A><Empty/></Parameters>"),
         [](const kPaymentHandler& h) {
             EXPECT_EQ(h.fParameters, (TextList{u"hexlog=True", u"a=1", u"b=x=y", u"a=1", u"empty="}));
             EXPECT_EQ(h.GetParameter(u"HEXLOG"), u"True");
             EXPECT_EQ(h.GetParameter(u"b"), u"x=y");
             EXPECT_TRUE(h.ParameterExists(u"Empty"));
             EXPECT_FALSE(h.ParameterExists(u"missing"));
             EXPECT_EQ(h.GetParameter(u"missing"), u"");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(TextToUtf8(c.fXml));
        kPaymentHandler handler;
        ASSERT_NO_THROW(handler.Deserialize(c.fXml, kOpen));
        c.fCheck(handler);
    }
}

TEST(RequestDocumentTest, PaymentSection) {
    kPaymentHandler h;
    h.Deserialize(
        Pay(u"<MerchantCode>M1</MerchantCode><StoreCode>S1</StoreCode><TillCode>T1</TillCode>"
            u"<Reference>R1</Reference><ReceiptSubType>RS</ReceiptSubType><Amount>12.5</Amount>"
            u"<Currency>EUR</Currency><TipAmount>1.25</TipAmount><RequestTipAmount>true</RequestTipAmount>"
            u"<Attributes>at</Attributes><MaxAmount>99.99</MaxAmount><MaxItems>3</MaxItems>"
            u"<TokenizeCard>1</TokenizeCard><TokenReference>tok</TokenReference>"
            u"<PrintLocation>EFT</PrintLocation><ReceiptColCount>40</ReceiptColCount>"
            u"<RefundReference><PaymentId>000123</PaymentId>"
            u"<PaymentDateTime>2024-05-01T14:03:07</PaymentDateTime></RefundReference>"
            u"<OperatorId>op</OperatorId><DocumentType>INVOICE</DocumentType>"
            u"<DocumentNetAmount>10</DocumentNetAmount><DocumentAmount>12.2</DocumentAmount>"
            u"<DocumentVatAmount>2.2</DocumentVatAmount><ReceiptId>rid</ReceiptId>"
            u"<PaymentChannel>MVP</PaymentChannel><Action>VOID</Action><Phase>ROLLBACK</Phase>"),
        kPay);
    const kPaymentReceipt& p = *h.fPaymentReceipt;
    EXPECT_EQ(p.fMerchantCode, u"M1");
    EXPECT_EQ(p.fStoreCode, u"S1");
    EXPECT_EQ(p.fTillCode, u"T1");
    EXPECT_EQ(p.fReference, u"R1");
    EXPECT_EQ(p.fReceiptSubType, u"RS");
    EXPECT_EQ(p.fAmount, Currency::FromRaw(125000));
    EXPECT_EQ(p.fCurrency, u"EUR");
    EXPECT_EQ(p.fTipAmount, Currency::FromRaw(12500));
    EXPECT_TRUE(p.fRequestTipAmount);
    EXPECT_EQ(p.fAttributes, u"at");
    EXPECT_EQ(p.fMaxAmount, Currency::FromRaw(999900));
    EXPECT_EQ(p.fMaxItems, 3);
    EXPECT_TRUE(p.fTokenizeCard);
    EXPECT_EQ(p.fTokenReference, u"tok");
    EXPECT_EQ(p.fPrintLocation, ZrPrintLocation::pl_EFT);
    EXPECT_EQ(p.fReceiptColCount, 40);
    EXPECT_EQ(p.fRefundReference.PaymentNumber, u"000123");
    EXPECT_EQ(p.fRefundReference.PaymentDateTime, EncodeDateTime(2024, 5, 1, 14, 3, 7));
    EXPECT_EQ(p.fOperatorId, u"op");
    EXPECT_EQ(p.fDocumentType, zrPaymentDocumentType::dt_invoice);
    EXPECT_EQ(p.fDocumentNetAmount, Currency::FromRaw(100000));
    EXPECT_EQ(p.fDocumentAmount, Currency::FromRaw(122000));
    EXPECT_EQ(p.fDocumentVatAmount, Currency::FromRaw(22000));
    EXPECT_EQ(p.fReceiptId, u"rid");
    EXPECT_EQ(p.fPaymentChannel, ZrPaymentChannel::pc_MealVoucherProvider);
    EXPECT_EQ(p.fAction, zrPaymentAction::pa_Void);
    EXPECT_EQ(p.fPhase, zrPaymentPhase::pp_Rollback);
}

TEST(RequestDocumentTest, SectionDefaultsAndChoice) {
    struct Case {
        Text fXml;
        zrPaymentHandlerDocumentTypes fTypes;
        std::function<void(const kPaymentHandler&)> fCheck;
    };
    const Case cases[] = {
        // An explicit 0 is the host's own choice and stays possible.
        {Pay(u"<ReceiptColCount>0</ReceiptColCount><PrintLocation/><DocumentType>credit</DocumentType>"
             u"<PaymentChannel/><Action/><Phase>NONE</Phase><Amount>0</Amount>"),
         kPay,
         [](const kPaymentHandler& h) {
             const kPaymentReceipt& p = *h.fPaymentReceipt;
             EXPECT_EQ(p.fReceiptColCount, 32);
             EXPECT_EQ(p.fPrintLocation, ZrPrintLocation::pl_ECR);
             EXPECT_EQ(p.fDocumentType, zrPaymentDocumentType::dt_receipt);
             EXPECT_EQ(p.fPaymentChannel, ZrPaymentChannel::pc_Standard);
             EXPECT_EQ(p.fAction, zrPaymentAction::pa_Pay);
             EXPECT_EQ(p.fPhase, zrPaymentPhase::pp_None);
             EXPECT_EQ(p.fRefundReference.PaymentDateTime, 0);
             EXPECT_EQ(p.fAmount, Currency());
         }},
        // A refund reference without a date-time: the absent date-time is 0.
        {Pay(u"<Action>REFUND</Action><RefundReference><PaymentId>9</PaymentId></RefundReference>"
             u"<Amount>1</Amount>"),
         kPay,
         [](const kPaymentHandler& h) {
             EXPECT_EQ(h.fPaymentReceipt->fAction, zrPaymentAction::pa_Refund);
             EXPECT_EQ(h.fPaymentReceipt->fRefundReference.PaymentNumber, u"9");
             EXPECT_EQ(h.fPaymentReceipt->fRefundReference.PaymentDateTime, 0);
         }},
        // Any of the three names serves any of the three commands; Payment comes first.
        {Request(u"<Reprint><Amount>1</Amount></Reprint>"), kPay,
         [](const kPaymentHandler& h) { EXPECT_EQ(h.fPaymentReceipt->fAmount, Currency::FromUnits(1)); }},
        {Request(u"<VerifyTran><Amount>3</Amount></VerifyTran><Payment><Amount>2</Amount></Payment>"),
         zrPaymentHandlerDocumentTypes{DT::dt_VerifyTran},
         [](const kPaymentHandler& h) { EXPECT_EQ(h.fPaymentReceipt->fAmount, Currency::FromUnits(2)); }},
        // OPEN reads no section, so an invalid one does not matter.
        {Request(u"<Payment><Amount>x</Amount></Payment>"), kOpen,
         [](const kPaymentHandler& h) { EXPECT_EQ(h.fPaymentReceipt->fAmount, Currency()); }},
        {Request(u"<Payment><Amount>x</Amount></Payment>"), zrPaymentHandlerDocumentTypes{},
         [](const kPaymentHandler&) {}},
        // The payment section wins over the day close when both are asked for.
        {Request(
             u"<Payment><Amount>5</Amount></Payment><DayClose><PrintLocation>x</PrintLocation></DayClose>"),
         zrPaymentHandlerDocumentTypes{DT::dt_Pay, DT::dt_DayClose},
         [](const kPaymentHandler& h) { EXPECT_EQ(h.fPaymentReceipt->fAmount, Currency::FromUnits(5)); }},
        {Request(
             u"<DayClose><StoreCode>S</StoreCode><TillCode>T</TillCode><PrintLocation>EFT</PrintLocation>"
             u"<Reference>R</Reference></DayClose><GetTotals><PrintLocation>x</PrintLocation></GetTotals>"),
         zrPaymentHandlerDocumentTypes{DT::dt_DayClose, DT::dt_GetTotals},
         [](const kPaymentHandler& h) {
             EXPECT_EQ(h.fDayClose->fStoreCode, u"S");
             EXPECT_EQ(h.fDayClose->fTillCode, u"T");
             EXPECT_EQ(h.fDayClose->fPrintLocation, ZrPrintLocation::pl_EFT);
             EXPECT_EQ(h.fDayClose->fReference, u"R");
         }},
        {Request(u"<GetTotals><StoreCode>S2</StoreCode><PrintLocation/></GetTotals>"), kTotals,
         [](const kPaymentHandler& h) {
             EXPECT_EQ(h.fTotals->fStoreCode, u"S2");
             EXPECT_EQ(h.fTotals->fPrintLocation, ZrPrintLocation::pl_ECR);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(TextToUtf8(c.fXml));
        kPaymentHandler handler;
        ASSERT_NO_THROW(handler.Deserialize(c.fXml, c.fTypes));
        c.fCheck(handler);
    }
}

TEST(RequestDocumentTest, SetParameter) {
    kDeviceHandler h;
    h.SetParameter(u"HexLog", u"true");
    h.SetParameter(u"a", u"1");
    EXPECT_EQ(h.fParameters, (TextList{u"HexLog=true", u"a=1"}));
    h.SetParameter(u"HEXLOG", u"false");
    EXPECT_EQ(h.GetParameter(u"hexlog"), u"false");
    EXPECT_EQ(h.fParameters.size(), 2u);
    h.SetParameter(u"hexlog", u"");
    EXPECT_EQ(h.fParameters, (TextList{u"a=1"}));
    h.SetParameter(u"missing", u"");
    EXPECT_EQ(h.fParameters, (TextList{u"a=1"}));
}

TEST(RequestDocumentTest, SerializeReadsBack) {
    kPaymentHandler first;
    first.Deserialize(
        Request(u"<Type>T&amp;1</Type><Method>pay</Method><Handle>7</Handle><LogId>a&lt;b</LogId>"
                u"<Connection><Type>serial</Type><SerialPort>COM2</SerialPort><Speed>9600</Speed>"
                u"<DataBits>8</DataBits><Parity>odd</Parity><StopBits>1</StopBits>"
                u"<AuthType>bearer</AuthType><URL>http://x/?a=1&amp;b='2'</URL>"
                u"<ReadTimeout>1500</ReadTimeout></Connection>"
                u"<Parameters><HexLog>true</HexLog><Note>line1&#13;\nline2</Note></Parameters>"),
        kOpen);
    const Text xml = first.Serialize();
    EXPECT_EQ(
        xml.rfind(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ReceiptPrinterManager Version=\"1.0\">",
                  0),
        0u);
    kPaymentHandler second;
    second.Deserialize(xml, kOpen);
    EXPECT_EQ(second.fType, u"T&1");
    EXPECT_EQ(second.fDriver, first.fDriver);
    EXPECT_EQ(second.fMethod, u"pay");
    EXPECT_EQ(second.fDeviceHandle, 7);
    EXPECT_EQ(second.fLogId, u"a<b");
    const kConnection& c = *second.fConnection;
    EXPECT_EQ(c.ConnectionType, zrConnectionType::Serial);
    EXPECT_EQ(c.SerialPort, u"COM2");
    EXPECT_EQ(c.Speed, 9600);
    EXPECT_EQ(c.DataBits, 8);
    EXPECT_EQ(c.Parity, zrParity::Odd);
    EXPECT_EQ(c.StopBits, 1);
    EXPECT_EQ(c.AuthType, zrHTTPAuthType::at_Bearer);
    EXPECT_EQ(c.URL, u"http://x/?a=1&b='2'");
    EXPECT_EQ(c.ReadTimeOut(), 1500);
    EXPECT_EQ(c.ConnectTimeOut(), 1000);
    EXPECT_EQ(second.fParameters, (TextList{u"hexlog=true", u"note=line1\r\nline2"}));

    // An OPEN request is written without its handle.
    kDeviceHandler open;
    open.fMethod = u"Open";
    open.fDeviceHandle = 3;
    EXPECT_EQ(open.Serialize().find(u"<Handle>"), Text::npos);
    open.SetParameter(u"bad name", u"x");
    EXPECT_THROW(open.Serialize(), ZrError);
}

TEST(RequestDocumentTest, ConnectionTexts) {
    const std::pair<zrConnectionType, const char16_t*> types[] = {
        {zrConnectionType::OPOS, u"OPOS"},  {zrConnectionType::TCP, u"TCP"},
        {zrConnectionType::HTTP, u"HTTP"},  {zrConnectionType::Serial, u"SERIAL"},
        {zrConnectionType::DLL, u"DLL"},    {zrConnectionType::Com, u"COM"},
        {zrConnectionType::Spool, u"SPOOL"}};
    for (const auto& [value, text] : types) {
        EXPECT_EQ(kConnection::ConnectionTypeToString(value), text);
        EXPECT_EQ(kConnection::ConvertConnectionType(LowerCase(text)), value);
    }
    EXPECT_EQ(kConnection::ConvertParity(u"nOnE"), zrParity::None);
    EXPECT_EQ(kConnection::ConvertParity(u"EVEN"), zrParity::Even);
    EXPECT_EQ(kConnection::ParityToString(zrParity::Odd), u"ODD");
    EXPECT_EQ(kConnection::ConvertAuthType(u"Basic"), zrHTTPAuthType::at_Basic);
    EXPECT_EQ(kConnection::ConvertAuthType(u""), zrHTTPAuthType::at_None);
    EXPECT_EQ(kConnection::AuthTypeToString(zrHTTPAuthType::at_Digest), u"DIGEST");
    EXPECT_EQ(kConnection::ConnectionTypeToString(static_cast<zrConnectionType>(9)), u"");
}
