// The spooler channel against a private CUPS scheduler with queues on file devices.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/ZrError.h"
#include "io/IOHandler_Spool.h"
#include "support/CupsScheduler.h"

namespace {
const std::string kQueue = "ZrPagePrinter";

std::string ReadAll(const std::filesystem::path& aPath) {
    std::ifstream in(aPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Rgb {
    int R, G, B;
    bool operator==(const Rgb&) const = default;
};

// A binary PPM as the page job carries it.
struct Pnm {
    int Width = 0;
    int Height = 0;
    std::string Pixels;
    Rgb At(int aX, int aY) const {
        const std::size_t i = (static_cast<std::size_t>(aY) * Width + aX) * 3;
        return {static_cast<unsigned char>(Pixels[i]), static_cast<unsigned char>(Pixels[i + 1]),
                static_cast<unsigned char>(Pixels[i + 2])};
    }
};

bool ParsePnm(const std::string& aData, Pnm& aOut) {
    std::istringstream in(aData);
    std::string magic;
    int max = 0;
    in >> magic >> aOut.Width >> aOut.Height >> max;
    in.get();
    if (magic != "P6" || max != 255 || !in) {
        return false;
    }
    aOut.Pixels = aData.substr(static_cast<std::size_t>(in.tellg()));
    return aOut.Pixels.size() == static_cast<std::size_t>(aOut.Width) * aOut.Height * 3;
}
} // namespace

class SpoolCups : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sCups = new CupsScheduler({kQueue}); }
    static void TearDownTestSuite() {
        delete sCups;
        sCups = nullptr;
    }
    void SetUp() override {
        if (!sCups->Running()) {
            GTEST_SKIP() << "no CUPS scheduler: " << sCups->Error();
        }
        sCups->UseOnThisThread();
        std::filesystem::remove(sCups->OutputFile(kQueue));
    }
    std::unique_ptr<kIOHandler_Spool> Channel(const Text& aPrinter) {
        kConnection connection;
        connection.PrinterName = aPrinter;
        return std::make_unique<kIOHandler_Spool>(&connection, Text(), Text());
    }
    std::string Job() {
        EXPECT_TRUE(sCups->WaitIdle(kQueue));
        return ReadAll(sCups->OutputFile(kQueue));
    }

    static CupsScheduler* sCups;
};

CupsScheduler* SpoolCups::sCups = nullptr;

TEST_F(SpoolCups, RawJobsCarryTheBytesUnchanged) {
    auto channel = Channel(Utf8ToText(kQueue));
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i));
    }
    ASSERT_TRUE(channel->WriteBytes(bytes));
    EXPECT_EQ(Job(), std::string(bytes.begin(), bytes.end()));

    std::filesystem::remove(sCups->OutputFile(kQueue));
    channel->SetOutputType(zrSpoolOutputType::Raw);
    const Text receipt = Text(u"\x1b@TOTALE 12,50\xe8\n\x1dV", 19);
    ASSERT_TRUE(channel->Write(receipt));
    EXPECT_EQ(Job(), TextToBytes(receipt));
    EXPECT_FALSE(channel->ErrorFound());
}

TEST_F(SpoolCups, RawJobOnAnUnknownPrinterFailsWithTheSpoolersReason) {
    auto channel = Channel(u"NoSuchQueue");
    channel->SetOutputType(zrSpoolOutputType::Raw);
    EXPECT_FALSE(channel->Write(u"x"));
    EXPECT_FALSE(channel->ErrorMessage().empty());
    // Only the message: the error flag and code belong to the HTTP and OPOS channels.
    EXPECT_FALSE(channel->ErrorFound());
    EXPECT_EQ(channel->ErrorCode(), 0);
}

TEST_F(SpoolCups, NormalPrintsTheBitmapScaledAndCentredOnThePage) {
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
    // Printable 468 x 756 pixels, offsets 36 and 72. Scale 144/300: 144 x 96 at (198, 402).
    Pnm page;
    ASSERT_TRUE(ParsePnm(Job(), page));
    EXPECT_EQ(page.Width, 468);
    EXPECT_EQ(page.Height, 756);
    int minX = page.Width, minY = page.Height, maxX = -1, maxY = -1, red = 0;
    for (int y = 0; y < page.Height; ++y) {
        for (int x = 0; x < page.Width; ++x) {
            const Rgb c = page.At(x, y);
            if (c == Rgb{255, 255, 255}) {
                continue;
            }
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
            red += (y == 402 && c == Rgb{255, 0, 0}) ? 1 : 0;
        }
    }
    EXPECT_EQ(minX, 198);
    EXPECT_EQ(minY, 402);
    EXPECT_EQ(maxX, 198 + 144 - 1);
    EXPECT_EQ(maxY, 402 + 96 - 1);
    EXPECT_EQ(red, 72); // the left half stays the left half
    EXPECT_EQ(page.At(maxX, maxY), (Rgb{0, 0, 255}));
}

TEST_F(SpoolCups, NormalOnAPrinterThatIsNotInstalledRaises) {
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
