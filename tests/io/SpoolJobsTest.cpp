// The spooler channel printing for real: through CUPS on Linux, through winspool and GDI under Wine (whose
// printers are the same scheduler's queues), to queues on file devices whose output the tests read back.
#include <gtest/gtest.h>

#include "base/ZrError.h"
#include "io/IOHandler_Spool.h"
#include "support/PrintedPage.h"
#include "support/SpoolQueues.h"

class SpoolJobs : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Queues().Unavailable().empty()) {
            GTEST_SKIP() << Queues().Unavailable();
        }
        Queues().UseOnThisThread();
        Queues().Clear(kSpoolPageQueue);
    }
    static const SpoolQueues& Queues() { return SpoolQueues::Get(); }
    static std::unique_ptr<kIOHandler_Spool> Channel(const Text& aPrinter) {
        kConnection connection;
        connection.PrinterName = aPrinter;
        return std::make_unique<kIOHandler_Spool>(&connection, Text(), Text());
    }
    static std::string Job() {
        std::string bytes;
        EXPECT_TRUE(Queues().Job(kSpoolPageQueue, bytes)) << "a job was still pending";
        return bytes;
    }
};

TEST_F(SpoolJobs, RawJobsCarryTheBytesUnchanged) {
    auto channel = Channel(Utf8ToText(kSpoolPageQueue));
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i));
    }
    ASSERT_TRUE(channel->WriteBytes(bytes)) << TextToUtf8(channel->ErrorMessage());
    EXPECT_EQ(Job(), std::string(bytes.begin(), bytes.end()));

    Queues().Clear(kSpoolPageQueue);
    channel->SetOutputType(zrSpoolOutputType::Raw);
    channel->SetCodePage(1252); // the receipt's è is one byte there, as on the printer
    const Text receipt = Text(u"\x1b@TOTALE 12,50\xe8\n\x1dV", 19);
    ASSERT_TRUE(channel->Write(receipt)) << TextToUtf8(channel->ErrorMessage());
    EXPECT_EQ(Job(), TextToBytes(receipt));
    EXPECT_FALSE(channel->ErrorFound());
}

// Only the message says what failed: the error flag and code belong to the HTTP and OPOS channels.
TEST_F(SpoolJobs, RawJobsThePrinterDoesNotTakeFailWithTheSpoolersReason) {
    std::vector<const char*> printers = {"NoSuchQueue"};
    if (Queues().ReportsRefusedRawJobs()) {
        printers.push_back(kSpoolRefusingQueue);
    }
    for (const char* printer : printers) {
        SCOPED_TRACE(printer);
        auto channel = Channel(Utf8ToText(printer));
        channel->SetOutputType(zrSpoolOutputType::Raw);
        EXPECT_FALSE(channel->Write(u"x"));
        EXPECT_FALSE(channel->ErrorMessage().empty());
        EXPECT_FALSE(channel->ErrorFound());
        EXPECT_EQ(channel->ErrorCode(), 0);
        if (printer == kSpoolRefusingQueue) {
            EXPECT_NE(channel->ErrorMessage().find(Utf8ToText(printer)), Text::npos)
                << TextToUtf8(channel->ErrorMessage());
        }
    }
}

TEST_F(SpoolJobs, NormalPrintsTheBitmapScaledAndCentredOnThePage) {
    // 300 x 200, left half red, right half blue.
    tZR_Bitmap bitmap;
    bitmap.Width = 300;
    bitmap.Height = 200;
    for (int y = 0; y < bitmap.Height; ++y) {
        for (int x = 0; x < bitmap.Width; ++x) {
            const bool left = x < 150;
            bitmap.Pixels.insert(bitmap.Pixels.end(),
                                 {std::uint8_t(left ? 255 : 0), 0, std::uint8_t(left ? 0 : 255)});
        }
    }
    auto channel = Channel(u"zrpageprinter"); // the queue's name in other letter case
    channel->SetBitmap(&bitmap);
    ASSERT_TRUE(channel->Write(u"ignored"));

    // The queue's page: 4x6 in at 144 dpi, margins 1/4 in left, 1/2 in right, 1/2 in top, 1/4 in bottom.
    // Printable 468 x 756 pixels. Scale 144/300: 144 x 96 at (198, 402).
    PrintedPage page;
    std::string why;
    ASSERT_TRUE(ReadPrintedPage(Job(), page, why)) << why;
    EXPECT_EQ(page.PageWidth, 468);
    EXPECT_EQ(page.PageHeight, 756);
    EXPECT_EQ(page.X, 198);
    EXPECT_EQ(page.Y, 402);
    EXPECT_EQ(page.Width, 144);
    EXPECT_EQ(page.Height, 96);
    // The left half stays the left half, in its colours.
    EXPECT_EQ(page.At(0.25, 0.5), (Rgb{255, 0, 0}));
    EXPECT_EQ(page.At(0.75, 0.5), (Rgb{0, 0, 255}));
    EXPECT_EQ(page.At(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(page.At(0.999, 0.999), (Rgb{0, 0, 255}));
}

TEST_F(SpoolJobs, NormalOnAPrinterThatIsNotInstalledRaises) {
    tZR_Bitmap bitmap{1, 1, {0, 0, 0}};
    auto channel = Channel(u"NoSuchQueue");
    channel->SetBitmap(&bitmap);
    try {
        channel->WriteNormal();
        ADD_FAILURE() << "printed on a missing printer";
    } catch (const ZrError& e) {
        EXPECT_EQ(e.Message(), u"kIOHandler_Spool.WriteNormal: Printer NoSuchQueue not found");
    }
}

TEST_F(SpoolJobs, NormalOnAQueueThatRefusesJobsRaisesNamingIt) {
    tZR_Bitmap bitmap{1, 1, {0, 0, 0}};
    auto channel = Channel(Utf8ToText(kSpoolRefusingQueue));
    channel->SetBitmap(&bitmap);
    try {
        channel->WriteNormal();
        ADD_FAILURE() << "a refused page reported as printed";
    } catch (const ZrError& e) {
        EXPECT_TRUE(e.Message().starts_with(u"kIOHandler_Spool.WriteNormal: Printer ZrRefusing: "))
            << TextToUtf8(e.Message());
    }
}
