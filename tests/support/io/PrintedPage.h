#pragma once
// A page job read back: the library's own page image (a binary PPM of the printable area, from the CUPS
// spooler) or the PostScript page of the Windows printer driver behind GDI (Wine's, for the tests under
// Wine). Both are reduced to what the spooler channel decides: the printable page's size, where the
// bitmap was placed on it, and what the bitmap shows there.
#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    int R = 0, G = 0, B = 0;
    bool operator==(const Rgb&) const = default;
};

struct PrintedPage {
    int PageWidth = 0, PageHeight = 0;       // the printable area, in the printer's pixels
    int X = 0, Y = 0, Width = 0, Height = 0; // the bitmap's place on it
    // The bitmap's colour at a fraction of its width and height (0 to 1), as printed.
    Rgb At(double aX, double aY) const;

    // What the page carries of the bitmap: the page itself (PPM) or the source image (PostScript).
    int ImageWidth = 0, ImageHeight = 0;
    std::vector<std::uint8_t> Pixels; // RGB, rows from the top
    bool ImageIsPage = false;
};

// Reads a job of either kind; false with aWhy when it is neither or is malformed.
bool ReadPrintedPage(const std::string& aJob, PrintedPage& aPage, std::string& aWhy);
