// zrpa's decisions that the end-to-end tests cannot reach with today's driver: the exit status of every
// kind of result, and the defaults a technician sets once in the environment.
#include <gtest/gtest.h>

#include <map>

#include "ZrpaCommands.h"
#include "ZrpaDocuments.h"
#include "ZrpaOptions.h"

TEST(ZrpaCommandLine, ExitStatusOfEveryKindOfResult) {
    const struct {
        bool Error;
        const char* ErrorText;
        const char* LoggedOutcome;
        int Status;
    } kCases[] = {
        {false, "", "approved", 0},
        {false, "", "", 0},
        {true, "OPERAZIONE RIFIUTATA", "declined", 1},
        {true, "Unable to connect to device 127.0.0.1:1", "failed", 1},
        {true, "", "", 1},
        // The driver's own words for a payment the terminal took without answering.
        {true, "Outcome unknown: the terminal acknowledged the payment and did not answer", "", 3},
        // Older drivers say nothing of it; the device log tells.
        {true, "", "outcome unknown", 3},
        {true, "Invalid Packet Received", "outcome unknown", 3},
        {true, "Amount 1234567.00 invalid. Allowed values are: 0 to 999999.99.", "failed", 2},
        {true, "Invalid Refund Reference", "failed", 2},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(ExitStatusOf(c.Error, c.ErrorText, c.LoggedOutcome), c.Status) << c.ErrorText;
    }
}

TEST(ZrpaCommandLine, EnvironmentGivesDefaultsAndTheCommandLineWins) {
    const std::map<std::string, std::string> environment = {
        {"ZRPA_SERIAL_PORT", "COM3"}, {"ZRPA_SPEED", "19200"}, {"ZRPA_TILL", "4"},
        {"ZRPA_PRINT", "EFT"},        {"ZRPA_HEX_LOG", "1"},   {"ZRPA_LOG_ID", "TILL04"}};
    auto env = [&](const char* aName) {
        const auto it = environment.find(aName);
        return it == environment.end() ? std::string() : it->second;
    };
    ZrpaOptions fromEnvironment;
    std::string error;
    ASSERT_TRUE(ParseZrpaOptions({"pay", "1.00"}, env, fromEnvironment, error)) << error;
    EXPECT_EQ(fromEnvironment.Serial, "COM3");
    EXPECT_EQ(fromEnvironment.Speed, "19200");
    EXPECT_EQ(fromEnvironment.Till, "4");
    EXPECT_EQ(fromEnvironment.Print, "EFT");
    EXPECT_TRUE(fromEnvironment.HexLog);
    EXPECT_EQ(fromEnvironment.Arguments, std::vector<std::string>{"1.00"});

    ZrpaOptions overridden;
    ASSERT_TRUE(ParseZrpaOptions({"pay", "1.00", "--tcp", "10.0.0.2:1234", "--ecr", "--till", "9"}, env,
                                 overridden, error));
    EXPECT_EQ(overridden.Tcp, "10.0.0.2:1234");
    EXPECT_EQ(overridden.Serial, ""); // --tcp sets the serial port of the environment aside
    EXPECT_EQ(overridden.Print, "ECR");
    EXPECT_EQ(overridden.Till, "9");
    const std::string request = ZrpaRequest(overridden, "PAY", "PAY", "");
    EXPECT_NE(request.find("<Type>TCP</Type><Address>10.0.0.2</Address><Port>1234</Port>"),
              std::string::npos);
    EXPECT_NE(request.find("<Parameters><HexLog>true</HexLog></Parameters>"), std::string::npos);

    ZrpaOptions emulator;
    ASSERT_TRUE(ParseZrpaOptions({"emulator", "--tcp", "5000", "--decline"}, env, emulator, error));
    EXPECT_EQ(emulator.Arguments, (std::vector<std::string>{"--tcp", "5000", "--decline"}));
}

TEST(ZrpaCommandLine, RequestValuesAreEscapedAndResultDocumentsReadBack) {
    ZrpaOptions options;
    options.Tcp = "127.0.0.1:1";
    options.Reference = "A&B <C>";
    options.Amount = "1.00";
    const std::string request = ZrpaRequest(options, "PAY", "PAY", "7");
    EXPECT_NE(request.find("<Reference>A&amp;B &lt;C&gt;</Reference>"), std::string::npos) << request;
    EXPECT_NE(request.find("<Handle>7</Handle>"), std::string::npos);

    const ResultFields fields = ReadResultDocument(
        "<DeviceId>1</DeviceId>\n<ReceiptText>A &amp; B\r\nC</ReceiptText><Broken><Error>True"
        "</Error><ErrorText>x &lt; y</ErrorText>");
    EXPECT_EQ(ResultField(fields, "ReceiptText"), "A & B\r\nC");
    EXPECT_EQ(ResultField(fields, "Error"), "True");
    EXPECT_EQ(ResultField(fields, "ErrorText"), "x < y");
    EXPECT_EQ(ResultField(fields, "Broken"), "");
}
