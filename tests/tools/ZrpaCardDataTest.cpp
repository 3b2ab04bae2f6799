// zrpa log on a device log written before the library masked card data: the report, as text and as
// JSON, shows every card number masked and no track data, while the operation still reads as it was.
#include <gtest/gtest.h>

#include "DeviceLog.h"
#include "LogReport.h"
#include "emulator/P17Wire.h"
#include "support/PlantedCardData.h"

namespace {
std::string Line(const std::string& aText, bool aError = false) {
    return std::string("2025-03-07 14:30:00:000") + (aError ? " - ERROR - " : " - ") + aText + "\r\n";
}

// An approved payment printed on the cash register, the terminal's answer and receipt unmasked.
std::string UnmaskedLog() {
    const std::string answer = "100000010X00" + std::string(kPlantedPans[1]) +
                               "ICCA1B2C30661430000000000003000001000001000000012340";
    const std::string receipt = "100000010S}PAN " + std::string(kPlantedPans[0]) + " " + kPlantedTrack1 +
                                " " + kPlantedTrack2 + " " + kPlantedPanDashes + std::string(40, ' ') +
                                "\x1B";
    return Line("-------------------------------- Pay") + Line("Write:" + p17emu::DataFrame("000000000E1")) +
           Line("Read:" + p17emu::AckFrame()) +
           Line("Write:" + p17emu::DataFrame("000000000X00000001000000000123400")) +
           Line("Read:" + p17emu::AckFrame()) + Line("Read:" + p17emu::DataFrame(answer)) +
           Line("Write:" + p17emu::AckFrame()) + Line("Read:" + p17emu::DataFrame(receipt)) +
           Line("Write:" + p17emu::AckFrame()) + Line("Write:" + p17emu::AckFrame()) +
           Line("CalcRefundReference: STAN=000001 PAN=" + std::string(kPlantedPans[0]) + "   :bad", true) +
           Line("Result: declined | code=-1 | error=NO " + kPlantedPanBlanks);
}
} // namespace

TEST(ZrpaCardData, AnOlderLogIsReportedWithCardDataMasked) {
    const auto ops = ReadDeviceLog(UnmaskedLog(), "old.log");
    ASSERT_EQ(ops.size(), 1u);
    std::string card;
    for (const auto& [name, value] : ops[0].Answer) {
        card = name == "card" ? value : card;
    }
    EXPECT_EQ(card, "622058*********5930");
    ASSERT_FALSE(ops[0].Receipt.empty());
    EXPECT_EQ(ops[0].Receipt[0], "PAN 492918******2170 ***");
    EXPECT_EQ(ops[0].Reason, "NO 5392 61** **** 2917");
    for (const std::string& report : {LogReportText(ops), LogReportJson(ops)}) {
        EXPECT_EQ(PlantedCardDataIn(report), std::vector<std::string>()) << report;
    }
}
