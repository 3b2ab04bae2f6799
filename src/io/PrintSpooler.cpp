#include "io/PrintSpooler.h"

#include <cmath>

#include "base/ZrError.h"

namespace {
// Products that are whole numbers in exact arithmetic must not lose a pixel to rounding below.
std::int32_t Truncated(double aValue) {
    return static_cast<std::int32_t>(std::floor(aValue + 1e-9));
}
} // namespace

void CheckBitmap(const tZR_Bitmap& aBitmap) {
    if (aBitmap.Width <= 0 || aBitmap.Height <= 0) {
        throw ZrError(u"Bitmap size " + IntToText(aBitmap.Width) + u"x" + IntToText(aBitmap.Height) +
                      u" is not valid");
    }
    const auto expected =
        static_cast<std::uint64_t>(aBitmap.Width) * static_cast<std::uint64_t>(aBitmap.Height) * 3u;
    if (aBitmap.Pixels.size() != expected) {
        throw ZrError(u"Bitmap of " + IntToText(aBitmap.Width) + u"x" + IntToText(aBitmap.Height) +
                      u" needs " + UIntToText(expected) + u" bytes, it has " +
                      UIntToText(aBitmap.Pixels.size()));
    }
}

tZR_PagePlacement PlaceBitmap(const tZR_PageMetrics& aPage, std::int32_t aBitmapWidth,
                              std::int32_t aBitmapHeight) {
    if (aBitmapWidth <= 0 || aBitmapHeight <= 0) {
        throw ZrError(u"Bitmap size " + IntToText(aBitmapWidth) + u"x" + IntToText(aBitmapHeight) +
                      u" is not valid");
    }
    if (aPage.Width <= 0 || aPage.Height <= 0 || aPage.DpiX <= 0) {
        throw ZrError(u"Printer page " + IntToText(aPage.Width) + u"x" + IntToText(aPage.Height) + u" at " +
                      IntToText(aPage.DpiX) + u" dpi has no printable pixels");
    }
    tZR_PagePlacement p;
    p.Scale = aPage.DpiX == 300 ? 1.0 : aPage.DpiX / 300.0;
    if (aBitmapWidth * p.Scale > aPage.Width) {
        p.Scale = static_cast<double>(aPage.Width) / aBitmapWidth;
    }
    if (aBitmapHeight * p.Scale > aPage.Height) {
        p.Scale = static_cast<double>(aPage.Height) / aBitmapHeight;
    }
    p.Width = Truncated(aBitmapWidth * p.Scale);
    p.Height = Truncated(aBitmapHeight * p.Scale);
    p.X = (aPage.Width - p.Width) / 2 + aPage.OffsetX;
    p.Y = (aPage.Height - p.Height) / 2 + aPage.OffsetY;
    p.Stretch = p.Scale != 1.0;
    return p;
}
