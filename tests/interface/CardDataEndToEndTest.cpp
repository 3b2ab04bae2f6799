// A terminal that sends full card numbers in every field that can hold them and track data in its
// receipts, through the exports as a host calls them: no result document, error text or device log (hex
// dumps included) holds any of it, and the refund reference, which is not card data, still voids the
// payment.
#include <gtest/gtest.h>

#include "support/InterfaceTestSupport.h"
#include "support/PlantedCardData.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
// A request for the driver at 127.0.0.1:aPort, its device log with hex dumps.
Text Request(std::uint16_t aPort, const Text& aLogId, const std::string& aHandle,
             const std::string& aSection) {
    return Utf8ToText("<ReceiptPrinterManager Version=\"1.0\"><Driver>ZRPA_RIVEVEDEV17_10</Driver>" +
                      aHandle + "<LogId>" + TextToUtf8(aLogId) +
                      "</LogId><Parameters><HexLog>true</HexLog></Parameters><Connection>"
                      "<Type>TCP</Type><Address>127.0.0.1</Address><Port>" +
                      std::to_string(aPort) + "</Port></Connection>" + aSection + "</ReceiptPrinterManager>");
}

std::string U8(const Text& aText) {
    return TextToUtf8(aText);
}

// Receipt text with every planted number and both tracks, cut into frames across all of them.
std::string PlantedReceipt() {
    return "}PAN " + std::string(kPlantedPans[0]) + ", CARTA " + kPlantedPanBlanks + ", " + kPlantedTrack1 +
           ", " + kPlantedTrack2 + ", AMEX " + std::string(kPlantedPans[3]) + ", " + kPlantedPanDashes +
           std::string(60, ' ') + "\x1B";
}
} // namespace

TEST(CardData, NoDocumentErrorTextOrDeviceLogHoldsAFullCardNumberOrTrackData) {
    p17emu::Config config;
    config.Pan = std::string(kPlantedPans[1]); // fills the 19 characters of the card field
    config.ErrorText = "NO " + kPlantedPanDashes;
    config.VoidErrorText = "NO " + std::string(kPlantedPans[3]);
    config.VoidPan = std::string(kPlantedPans[1]);
    config.DayCloseErrorText = std::string(kPlantedPans[0]);
    config.ReceiptRaw = PlantedReceipt();
    config.ReceiptChunk = 37;
    EmulatedTerminal terminal(config);
    const Text logId = UniqueLogId("carddata");
    const auto open = CallExport(OPEN, Request(terminal.Port(), logId, "", ""));
    ASSERT_EQ(open.Result, 0) << U8(open.ErrorMessage);
    const std::string handle = "<Handle>" + U8(ElementOf(open.Output, u"Handle")) + "</Handle>";
    std::vector<ExportOutcome> outcomes;
    const auto call = [&](CommandExport aExport, const std::string& aSection, const p17emu::Config& aConfig) {
        terminal->WaitIdle(5000);
        terminal->SetConfig(aConfig);
        outcomes.push_back(CallExport(aExport, Request(terminal.Port(), logId, handle, aSection)));
        return outcomes.back();
    };
    const std::string pay = "<Payment><Amount>12.34</Amount><PrintLocation>ECR</PrintLocation></Payment>";

    const auto paid = call(PAY, pay, config);
    ASSERT_EQ(paid.Result, 0) << U8(paid.ErrorMessage);
    EXPECT_EQ(U8(ElementOf(paid.Output, u"MaskedPAN")), "622058*********5930");
    // The receipt still reads as the terminal wrote it, card data masked.
    const std::string receipt = U8(ElementOf(paid.Output, u"ReceiptText"));
    EXPECT_EQ(receipt.rfind("PAN 492918******2170, CA", 0), 0u) << receipt;
    EXPECT_NE(receipt.find("AMEX 379462*****7566"), std::string::npos) << receipt;
    const std::string reference = U8(ElementOf(paid.Output, u"RefundReference"));
    ASSERT_FALSE(reference.empty());
    const std::string voidSection = "<Payment><Action>VOID</Action><Amount>12.34</Amount><PrintLocation>ECR"
                                    "</PrintLocation><RefundReference><PaymentId>" +
                                    reference + "</PaymentId></RefundReference></Payment>";
    const auto voided = call(PAY, voidSection, config);
    EXPECT_EQ(voided.Result, 0) << "the refund reference voids the payment";
    EXPECT_EQ(U8(ElementOf(voided.Output, u"MaskedPAN")), "622058*********5930");

    // A card field that does not end in digits: the refund reference cannot be made, and the texts that
    // say so (the error text of the approval, the device-log line) show the number masked.
    p17emu::Config shortPan = config;
    shortPan.Pan = std::string(kPlantedPans[0]) + "X";
    const auto noReference = call(PAY, pay, shortPan);
    EXPECT_EQ(noReference.Result, 0);
    EXPECT_EQ(U8(ElementOf(noReference.Output, u"MaskedPAN")), "492918******2170X  ");
    EXPECT_EQ(U8(ElementOf(noReference.Output, u"RefundReference")), "");
    EXPECT_NE(U8(noReference.ErrorMessage).find("492918******2170X"), std::string::npos)
        << U8(noReference.ErrorMessage);
    const auto refund = call(
        PAY, "<Payment><Action>REFUND</Action><Amount>5</Amount><PrintLocation>ECR</PrintLocation></Payment>",
        config);
    EXPECT_EQ(refund.Result, 0);
    EXPECT_EQ(U8(ElementOf(refund.Output, u"MaskedPAN")), "622058*********5930");

    p17emu::Config refusing = config;
    refusing.PayResult = "01";
    refusing.VoidResult = "91";
    refusing.DayCloseResult = "01";
    EXPECT_EQ(U8(call(PAY, pay, refusing).ErrorMessage), "NO 5392-61**-****-2917  ");
    EXPECT_EQ(U8(call(PAY, voidSection, refusing).ErrorMessage), "NO 379462*****7566      ");
    EXPECT_EQ(
        U8(call(DAYCLOSE, "<DayClose><PrintLocation>EFT</PrintLocation></DayClose>", refusing).ErrorMessage),
        "492918******2170   ");
    EXPECT_EQ(call(REPRINT, "<Reprint><PrintLocation>ECR</PrintLocation></Reprint>", config).Result, 0);
    ASSERT_EQ(CallExport(CLOSE, Request(terminal.Port(), logId, handle, "")).Result, 0);

    for (const auto& outcome : outcomes) {
        const std::string shown = U8(outcome.Output) + "\n" + U8(outcome.ErrorMessage);
        EXPECT_EQ(PlantedCardDataIn(shown), std::vector<std::string>()) << shown;
    }
    const std::string log = ReadFileBytes(ElementOf(paid.Output, u"LogFileName"));
    ASSERT_NE(log.find("Read:"), std::string::npos);
    EXPECT_NE(log.find(" [02 "), std::string::npos) << "the frames are dumped as hex";
    EXPECT_NE(log.find("CalcRefundReference: STAN="), std::string::npos);
    EXPECT_NE(log.find("PAN=492918******2170"), std::string::npos);
    EXPECT_EQ(PlantedCardDataIn(log), std::vector<std::string>());
    // The void request carries the last four digits of the card from the refund reference, unmasked.
    EXPECT_NE(log.find("C5930"), std::string::npos);
}
