// Where the spooler channel puts a bitmap on the printer's page, and what it refuses to print.
#include <gtest/gtest.h>

#include "base/ZrError.h"
#include "io/IOHandler_Spool.h"
#include "io/PrintSpooler.h"

TEST(SpoolPlacement, ScalesFromThreeHundredDpiShrinksToThePageAndCentres) {
    const struct {
        const char* Name;
        tZR_PageMetrics Page; // width, height, offset x, offset y, dpi x, dpi y
        std::int32_t BitmapWidth, BitmapHeight;
        tZR_PagePlacement Expected; // scale, x, y, width, height, stretch
    } cases[] = {
        {"narrower at 300 dpi: unscaled in the centre",
         {2400, 3300, 0, 0, 300, 300, 24},
         600,
         400,
         {1.0, 900, 1450, 600, 400, false}},
        {"wider at 300 dpi: down to the page width",
         {2400, 3300, 0, 0, 300, 300, 24},
         4800,
         1000,
         {0.5, 0, 1400, 2400, 500, true}},
        {"wider and taller: the height decides last",
         {2400, 3300, 0, 0, 300, 300, 24},
         4800,
         13200,
         {0.25, 600, 0, 1200, 3300, true}},
        {"600 dpi doubles", {4800, 6600, 0, 0, 600, 600, 24}, 600, 400, {2.0, 1800, 2900, 1200, 800, true}},
        {"physical offsets move it",
         {2400, 3300, 50, 70, 300, 300, 24},
         600,
         400,
         {1.0, 950, 1520, 600, 400, false}},
        {"odd remainders are halved toward zero",
         {2401, 3301, 0, 0, 300, 300, 24},
         600,
         400,
         {1.0, 900, 1450, 600, 400, false}},
        {"144 dpi: 0.48 without losing a pixel",
         {468, 756, 36, 72, 144, 144, 24},
         300,
         200,
         {0.48, 198, 402, 144, 96, true}},
        {"exactly the page width at 600 dpi ends up unscaled",
         {1200, 1800, 0, 0, 600, 600, 24},
         1200,
         100,
         {1.0, 0, 850, 1200, 100, false}},
        {"a receipt printer of 203 dpi",
         {576, 8000, 0, 0, 203, 203, 1},
         300,
         100,
         {203.0 / 300.0, 186, 3966, 203, 67, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const tZR_PagePlacement p = PlaceBitmap(c.Page, c.BitmapWidth, c.BitmapHeight);
        EXPECT_DOUBLE_EQ(p.Scale, c.Expected.Scale);
        EXPECT_EQ(p.X, c.Expected.X);
        EXPECT_EQ(p.Y, c.Expected.Y);
        EXPECT_EQ(p.Width, c.Expected.Width);
        EXPECT_EQ(p.Height, c.Expected.Height);
        EXPECT_EQ(p.Stretch, c.Expected.Stretch);
    }
}

TEST(SpoolPlacement, RefusesWhatCannotBePlaced) {
    const tZR_PageMetrics page{2400, 3300, 0, 0, 300, 300, 24};
    EXPECT_THROW(PlaceBitmap(page, 0, 10), ZrError);
    EXPECT_THROW(PlaceBitmap(page, 10, -1), ZrError);
    EXPECT_THROW(PlaceBitmap({0, 3300, 0, 0, 300, 300, 24}, 10, 10), ZrError);
    EXPECT_THROW(PlaceBitmap({2400, 3300, 0, 0, 0, 0, 24}, 10, 10), ZrError);

    tZR_Bitmap bitmap;
    bitmap.Width = 2;
    bitmap.Height = 2;
    bitmap.Pixels.assign(11, 0); // one byte short
    EXPECT_THROW(CheckBitmap(bitmap), ZrError);
    bitmap.Pixels.push_back(0);
    EXPECT_NO_THROW(CheckBitmap(bitmap));
}

TEST(SpoolChannel, WriteNormalWithoutBitmapFailsClearly) {
    kConnection connection;
    connection.PrinterName = u"Receipts";
    kIOHandler_Spool channel(&connection, Text(), Text());
    EXPECT_EQ(channel.OutputType(), zrSpoolOutputType::Normal);
    EXPECT_EQ(channel.PrinterName(), u"Receipts");
    try {
        channel.Write(u"ignored");
        ADD_FAILURE() << "printed without a bitmap";
    } catch (const ZrError& e) {
        EXPECT_EQ(e.Message(),
                  u"kIOHandler_Spool.WriteNormal: no bitmap assigned to print on printer Receipts");
    }
}
