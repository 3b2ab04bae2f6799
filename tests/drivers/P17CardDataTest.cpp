// Card data masked where the terminal can send it: card numbers keep their first six and last four digits,
// tracks are starred out, and nothing else a message carries (amounts, totals, counters, the header)
// changes.
#include <gtest/gtest.h>

#include <random>

#include "drivers/P17CardData.h"
#include "drivers/P17Link.h"
#include "drivers/P17Messages.h"
#include "support/FakeChannel.h"
#include "support/PlantedCardData.h"

namespace {
std::string Stars(std::size_t aCount) {
    return std::string(aCount, '*');
}

// Track 1 as it must be shown: every character a star but the two "^".
std::string MaskedTrack1(const std::string& aTrack) {
    std::string out = aTrack;
    for (char& c : out) {
        c = c == '^' ? '^' : '*';
    }
    return out;
}

std::string Answer(char aCode, std::initializer_list<P17Value> aValues) {
    return P17Build(*P17AnswerLayout(aCode), std::vector<P17Value>(aValues));
}
} // namespace

TEST(CardData, ACardFieldKeepsAtMostSixAndFourDigits) {
    const struct {
        std::string Field, Shown;
    } kCases[] = {
        {"4929180473652170   ", "492918******2170   "},
        {"6220589317460285930", "622058*********5930"},
        {"5392 6148 0573 2917", "5392 61** **** 2917"},
        {"0004929180473652170", "000492*********2170"},
        {"***************1234", "***************1234"}, // the terminal masked it already
        {"492918******2170", "492918******2170"},
        {"0000000000000000000", "0000000000000000000"}, // zero-filled: no card
        {"1234567890", "1234567890"},                   // ten digits show no more than six and four
        {"", ""},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(MaskCardNumber(c.Field), c.Shown) << c.Field;
        EXPECT_EQ(MaskCardNumber(std::u16string(c.Field.begin(), c.Field.end())),
                  std::u16string(c.Shown.begin(), c.Shown.end()));
    }
}

TEST(CardData, FreeTextLosesCardNumbersAndTracksOnly) {
    const struct {
        std::string Text, Shown;
    } kCases[] = {
        {"CARTA 4929180473652170 OK", "CARTA 492918******2170 OK"},
        {"PAN:6220589317460285930.", "PAN:622058*********5930."},
        {kPlantedPanBlanks, "5392 61** **** 2917"},
        {kPlantedPanDashes, "5392-61**-****-2917"},
        {"AMEX 379462850317566", "AMEX 379462*****7566"},
        {"EUR 1.234,56 TOT 0000000000001234", "EUR 1.234,56 TOT 0000000000001234"},
        {"PADDED 0004929180473652170", "PADDED 000492918******2170"},
        {"STAN 000123 AUT A1B2C3 TML 10000001 12/03/25 14:05", ""},
        {"492918******2170 and 4929 18** **** 2170", ""}, // already masked
        {"A " + kPlantedTrack1 + " B", "A " + MaskedTrack1(kPlantedTrack1) + " B"},
        {kPlantedTrack2 + "X", Stars(kPlantedTrack2.size()) + "X"},
        {"5392614805732917=2911101482 END", Stars(27) + " END"}, // track 2 without sentinels
        {"%B4929180473652170^PLANTED/CARDHOLDER^2911101 END",
         MaskedTrack1("%B4929180473652170^PLANTED/CARDHOLDER^2911101") + " END"}, // no end sentinel
        {"1234 5678 9012", "1234 56** 9012"}, // twelve digits are a card number
        {"12345678901", "12345678901"},
    };
    for (const auto& c : kCases) {
        const std::string shown = c.Shown.empty() ? c.Text : c.Shown;
        EXPECT_EQ(MaskCardData(c.Text), shown) << c.Text;
        EXPECT_TRUE(PlantedCardDataIn(MaskCardData(c.Text)).empty()) << c.Text;
    }
}

TEST(CardData, CardDataCutByAPieceEndIsCaughtOnBothSides) {
    // A receipt's frames, cut at every position: what the pieces show, put together, holds nothing planted.
    const std::string receipt = "PAN " + kPlantedPanBlanks + " " + kPlantedTrack1 + " 4929180473652170 " +
                                kPlantedTrack2 + " TOTALE EUR 12,34\x1B";
    for (std::size_t piece = 1; piece <= 30; ++piece) {
        std::string shown;
        for (std::size_t at = 0; at < receipt.size(); at += piece) {
            shown += MaskCardDataAfter(receipt.substr(0, at), receipt.substr(at, piece), true);
        }
        EXPECT_EQ(shown.size(), receipt.size());
        EXPECT_EQ(PlantedCardDataIn(shown), std::vector<std::string>())
            << "pieces of " << piece << ": " << shown;
        EXPECT_NE(shown.find("TOTALE EUR 12,34"), std::string::npos) << shown;
    }
    // Alone, a run at the end of a piece that may go on shows six digits; a whole text shows it all.
    EXPECT_EQ(MaskCardData(std::string("TOT 49291804"), true), "TOT 492918**");
    EXPECT_EQ(MaskCardData(std::string("TOT 49291804"), false), "TOT 49291804");
}

TEST(CardData, AnyTextKeepsItsLengthAndIsMaskedOnceForAll) {
    // Texts made of what card data is made of: masking keeps the length, and what it shows is final.
    const std::string alphabet = "0123456789 -%B^;=?*A";
    std::mt19937 random(17);
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 90, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        const std::string shown = MaskCardData(text);
        ASSERT_EQ(shown.size(), text.size()) << text;
        EXPECT_EQ(MaskCardData(shown), shown) << text;
        EXPECT_EQ(MaskCardData(text, true).size(), text.size()) << text;
    }
}

TEST(CardData, AnswersAreMaskedByTheirLayout) {
    const std::string pan = "6220589317460285930";
    const std::string masked = MaskCardNumber(pan);
    const struct {
        const char* Name;
        char Request;
        std::string Payload, Shown;
    } kCases[] = {
        {"approved payment", 'X',
         Answer('X', {{"terminal_id", "10000001"},
                      {"result", "00"},
                      {"card", pan},
                      {"entry_mode", "ICC"},
                      {"auth_code", "123456"},
                      {"date_time", "0661405"},
                      {"acquirer", "12345678901"},
                      {"stan", "123456"},
                      {"operation", "654321"},
                      {"amount", "00001234"}}),
         Answer('X', {{"terminal_id", "10000001"},
                      {"result", "00"},
                      {"card", masked},
                      {"entry_mode", "ICC"},
                      {"auth_code", "123456"},
                      {"date_time", "0661405"},
                      {"acquirer", "12345678901"},
                      {"stan", "123456"},
                      {"operation", "654321"},
                      {"amount", "00001234"}})},
        {"declined payment", 'X',
         Answer('X', {{"result", "01"}, {"error_text", "NO 4929180473652170"}, {"stan", "000777"}}),
         Answer('X', {{"result", "01"}, {"error_text", "NO 492918******2170"}, {"stan", "000777"}})},
        // A description longer than its field runs on into positions nobody reads: masked as one text.
        {"overlong description", 'X',
         Answer('X', {{"result", "01"}, {"error_text", "CARTA RIFIUTATA 4929180473652170"}}),
         Answer('X', {{"result", "01"}, {"error_text", "CARTA RIFIUTATA 492918******2170"}})},
        {"refund", 'A', Answer('A', {{"result", "00"}, {"card", pan}, {"acquirer", "00000000003"}}),
         Answer('A', {{"result", "00"}, {"card", masked}, {"acquirer", "00000000003"}})},
        {"refused void", 'Q', Answer('Q', {{"result", "91"}, {"error_text", kPlantedPanDashes}}),
         Answer('Q', {{"result", "91"}, {"error_text", "5392-61**-****-2917"}})},
        // A total of sixteen digits is a total, and a payment answer of an unknown result code is free text.
        {"day close", 'C', Answer('C', {{"result", "00"}, {"total", "4929180473652170"}}),
         Answer('C', {{"result", "00"}, {"total", "4929180473652170"}})},
        {"unknown result", 'X', "100000010X77" + pan + "ICC", "100000010X77" + masked + "ICC"},
        {"answer to no request", 'E', "100000010E00 " + pan, "100000010E00 " + masked},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(P17MaskTerminalMessage(c.Payload, false, c.Request, false, std::string()), c.Shown)
            << c.Name;
    }
    // Receipt text: the header stays, the text is masked in the light of what came before it.
    // Receipt text: the header stays, the text is masked in the light of what came before it, and a number
    // at its end may go on in the next frame.
    EXPECT_EQ(P17MaskTerminalMessage(std::string("100000010SPAN 4929180473652170"), false, 'X', false,
                                     std::string()),
              "100000010SPAN 492918**********");
    EXPECT_EQ(P17MaskTerminalMessage(std::string("100000010S3652170 OK"), false, 'X', true,
                                     std::string("PAN 492918047")),
              "100000010S***2170 OK");
    // A message cut inside the card field shows the six digits it begins with, no more.
    const std::string cut = Answer('X', {{"result", "00"}, {"card", pan}}).substr(0, 25);
    EXPECT_EQ(P17MaskTerminalMessage(cut, true, 'X', false, std::string()), cut.substr(0, 18) + Stars(7));
}

TEST(CardData, TheLinkMasksWhatTheChannelLogsOfAFrame) {
    FakeChannel channel;
    kP17Link link(channel, [](std::int32_t) {});
    const Text request = BuildFrame(u"000000000X00000001000000000123");
    channel.Replies = {TerminalAck()};
    ASSERT_TRUE(link.SendFrame(request));
    const std::string answer =
        Answer('X', {{"result", "00"}, {"card", "4929180473652170"}, {"amount", "00000123"}});
    const Text frame = u"\x02" + BytesToText(answer) + u"\x03";
    const Text shown = link.MaskReceived(frame);
    EXPECT_EQ(shown.size(), frame.size());
    EXPECT_EQ(shown.front(), u'\x02');
    EXPECT_EQ(shown.back(), u'\x03');
    EXPECT_TRUE(PlantedCardDataIn(TextToBytes(shown)).empty()) << TextToUtf8(shown);
    EXPECT_NE(TextToUtf8(shown).find("492918******2170"), std::string::npos) << TextToUtf8(shown);
    // The check character read next is shown as that of the frame shown; a wrong one stays wrong.
    EXPECT_EQ(link.MaskReceived(Text(1, CalcLRC(frame))), Text(1, CalcLRC(shown)));
    link.MaskReceived(frame);
    EXPECT_NE(link.MaskReceived(Text(1, CalcLRC(frame) ^ 1)), Text(1, CalcLRC(shown)));
    // A frame cut by a time-out is masked as far as it came (a number at the cut shows six digits), and
    // its rest in the next read as its rest; the check character after it fits the frame shown.
    for (const std::size_t cut : {15, 22, 25, 28, 31, 40}) {
        const Text first = link.MaskReceived(frame.substr(0, cut));
        const Text second = link.MaskReceived(frame.substr(cut));
        EXPECT_EQ((first + second).size(), frame.size()) << cut;
        EXPECT_EQ(PlantedCardDataIn(TextToBytes(first + second)), std::vector<std::string>()) << cut;
        EXPECT_EQ(link.MaskReceived(Text(1, CalcLRC(frame))), Text(1, CalcLRC(first + second))) << cut;
    }
    // Bytes that begin no frame are free text.
    EXPECT_EQ(link.MaskReceived(u"noise 4929180473652170"), u"noise 492918******2170");
    // What the link sends is never touched.
    EXPECT_EQ(channel.Writes.front(), request);
}
