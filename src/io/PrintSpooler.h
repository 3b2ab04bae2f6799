#pragma once
// The print spooler as the spooler channel uses it: the installed printers, RAW jobs, and one-page jobs
// that show a bitmap scaled and centred on the printer's page. winspool and GDI on Windows, CUPS elsewhere.
#include <cstdint>
#include <string>
#include <vector>

#include "base/Text.h"

// A picture for the spooler: 24-bit RGB, rows from top to bottom, 3 bytes per pixel, no row padding.
struct tZR_Bitmap {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<std::uint8_t> Pixels; // Width * Height * 3 bytes
};

// The printable page of a printer, in its pixels.
struct tZR_PageMetrics {
    std::int32_t Width = 0;   // printable width
    std::int32_t Height = 0;  // printable height
    std::int32_t OffsetX = 0; // physical offset of the printable area
    std::int32_t OffsetY = 0;
    std::int32_t DpiX = 0; // pixels per inch
    std::int32_t DpiY = 0;
    std::int32_t ColorBits = 0; // bits per pixel times planes
};

// Where the bitmap lands on the page.
struct tZR_PagePlacement {
    double Scale = 1;
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool Stretch = false; // false: drawn pixel for pixel
};

// The bitmap counts as 300 dpi: scaled by the printer's horizontal resolution / 300, then shrunk to the
// page width and then to the page height when it does not fit; centred (halves rounded toward zero) and
// moved by the physical offsets. Raises for an empty bitmap or a page without pixels.
tZR_PagePlacement PlaceBitmap(const tZR_PageMetrics& aPage, std::int32_t aBitmapWidth,
                              std::int32_t aBitmapHeight);

// Raises unless aBitmap has a positive size and exactly Width * Height * 3 bytes.
void CheckBitmap(const tZR_Bitmap& aBitmap);

class tZR_PrintSpooler {
public:
    struct Failure {
        std::int32_t Code = 0;
        Text Message;
    };

    // Names of the installed printers, in the order the system lists them.
    static std::vector<Text> PrinterNames();
    // One RAW job on printer aPrinter with the bytes unchanged; false with aFailure filled.
    static bool WriteRaw(const Text& aPrinter, const Text& aDocumentName, const std::string& aBytes,
                         Failure& aFailure);
    // One page showing aBitmap where PlaceBitmap puts it on aPrinter's page; raises on failure.
    static void PrintBitmap(const Text& aPrinter, const Text& aTitle, const tZR_Bitmap& aBitmap);
    // 8-bit text for a RAW job: aCodePage 0 or less is the system's ANSI code page (one byte per
    // character where there is none); characters the code page lacks become '?'.
    static std::string EncodeText(const Text& aText, std::int32_t aCodePage);
};
