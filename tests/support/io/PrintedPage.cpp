#include "support/PrintedPage.h"

#include <algorithm>
#include <regex>
#include <sstream>

namespace {
bool ReadPpm(const std::string& aJob, PrintedPage& aPage, std::string& aWhy) {
    std::istringstream in(aJob);
    std::string magic;
    int max = 0;
    in >> magic >> aPage.PageWidth >> aPage.PageHeight >> max;
    in.get();
    if (magic != "P6" || max != 255 || !in || aPage.PageWidth <= 0 || aPage.PageHeight <= 0) {
        aWhy = "not a binary PPM of 8-bit colours";
        return false;
    }
    const std::size_t start = static_cast<std::size_t>(in.tellg());
    if (aJob.size() - start != static_cast<std::size_t>(aPage.PageWidth) * aPage.PageHeight * 3) {
        aWhy = "the PPM's pixels are not its size";
        return false;
    }
    aPage.ImageIsPage = true;
    aPage.ImageWidth = aPage.PageWidth;
    aPage.ImageHeight = aPage.PageHeight;
    aPage.Pixels.assign(aJob.begin() + static_cast<std::ptrdiff_t>(start), aJob.end());
    // The bitmap is what is not white.
    int minX = aPage.PageWidth, minY = aPage.PageHeight, maxX = -1, maxY = -1;
    for (int y = 0; y < aPage.PageHeight; ++y) {
        for (int x = 0; x < aPage.PageWidth; ++x) {
            const std::uint8_t* p = &aPage.Pixels[(static_cast<std::size_t>(y) * aPage.PageWidth + x) * 3];
            if (p[0] != 255 || p[1] != 255 || p[2] != 255) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    }
    if (maxX < 0) {
        aWhy = "the page is blank";
        return false;
    }
    aPage.X = minX;
    aPage.Y = minY;
    aPage.Width = maxX - minX + 1;
    aPage.Height = maxY - minY + 1;
    return true;
}

// ASCII85 up to its "~>".
bool Ascii85(const std::string& aText, std::size_t aFrom, std::vector<std::uint8_t>& aOut) {
    std::uint32_t group = 0;
    int count = 0;
    for (std::size_t i = aFrom; i < aText.size(); ++i) {
        const char c = aText[i];
        if (c == '~') {
            if (count > 0) {
                const int kept = count - 1;
                for (; count < 5; ++count) {
                    group = group * 85 + 84;
                }
                for (int k = 0; k < kept; ++k) {
                    aOut.push_back(static_cast<std::uint8_t>(group >> (24 - 8 * k)));
                }
            }
            return true;
        }
        if (c == 'z' && count == 0) {
            aOut.insert(aOut.end(), 4, 0);
        } else if (c >= '!' && c <= 'u') {
            group = group * 85 + static_cast<std::uint32_t>(c - '!');
            if (++count == 5) {
                for (int k = 0; k < 4; ++k) {
                    aOut.push_back(static_cast<std::uint8_t>(group >> (24 - 8 * k)));
                }
                group = 0;
                count = 0;
            }
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return false;
}

// PostScript's RunLengthDecode.
bool RunLength(const std::vector<std::uint8_t>& aIn, std::vector<std::uint8_t>& aOut) {
    for (std::size_t i = 0; i < aIn.size();) {
        const int n = aIn[i++];
        if (n == 128) {
            return true;
        }
        if (n < 128) {
            if (i + n + 1 > aIn.size()) {
                return false;
            }
            aOut.insert(aOut.end(), aIn.begin() + static_cast<std::ptrdiff_t>(i),
                        aIn.begin() + static_cast<std::ptrdiff_t>(i + n + 1));
            i += n + 1;
        } else {
            if (i >= aIn.size()) {
                return false;
            }
            aOut.insert(aOut.end(), static_cast<std::size_t>(257 - n), aIn[i++]);
        }
    }
    return true;
}

bool ReadPostScript(const std::string& aJob, PrintedPage& aPage, std::string& aWhy) {
    std::smatch m;
    int box[4] = {};
    int dpiX = 0, dpiY = 0;
    if (!std::regex_search(aJob, m, std::regex(R"(%%BoundingBox: (\d+) (\d+) (\d+) (\d+))"))) {
        aWhy = "no bounding box";
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        box[i] = std::stoi(m[i + 1]);
    }
    if (!std::regex_search(aJob, m, std::regex(R"(72 (\d+) div 72 (\d+) div scale)"))) {
        aWhy = "no device resolution in the page setup";
        return false;
    }
    dpiX = std::stoi(m[1]);
    dpiY = std::stoi(m[2]);
    aPage.PageWidth = (box[2] - box[0]) * dpiX / 72;
    aPage.PageHeight = (box[3] - box[1]) * dpiY / 72;

    const std::size_t setup = aJob.find("%%EndPageSetup");
    const std::string page = setup == std::string::npos ? std::string() : aJob.substr(setup);
    static const std::regex placed(
        R"((-?\d+) (-?\d+) translate\s+(\d+) (\d+) scale\s+<<[^>]*/Width (\d+)\s+/Height (\d+)\s+/BitsPerComponent 8)");
    if (!std::regex_search(page, m, placed)) {
        aWhy = "no 8-bit image placed on the page";
        return false;
    }
    aPage.X = std::stoi(m[1]);
    aPage.Y = std::stoi(m[2]);
    aPage.Width = std::stoi(m[3]);
    aPage.Height = std::stoi(m[4]);
    aPage.ImageWidth = std::stoi(m[5]);
    aPage.ImageHeight = std::stoi(m[6]);
    const std::size_t image = page.find("image\n", static_cast<std::size_t>(m.position(0)));
    std::vector<std::uint8_t> packed;
    if (image == std::string::npos || !Ascii85(page, image + 6, packed) || !RunLength(packed, aPage.Pixels)) {
        aWhy = "the image data is not ASCII85 and run-length encoded";
        return false;
    }
    if (aPage.Pixels.size() < static_cast<std::size_t>(aPage.ImageWidth) * aPage.ImageHeight * 3) {
        aWhy = "the image data is shorter than the image";
        return false;
    }
    return true;
}
} // namespace

Rgb PrintedPage::At(double aX, double aY) const {
    int x = static_cast<int>(aX * (ImageIsPage ? Width : ImageWidth));
    int y = static_cast<int>(aY * (ImageIsPage ? Height : ImageHeight));
    if (ImageIsPage) {
        x += X;
        y += Y;
    }
    x = std::clamp(x, 0, ImageWidth - 1);
    y = std::clamp(y, 0, ImageHeight - 1);
    const std::uint8_t* p = &Pixels[(static_cast<std::size_t>(y) * ImageWidth + x) * 3];
    return {p[0], p[1], p[2]};
}

bool ReadPrintedPage(const std::string& aJob, PrintedPage& aPage, std::string& aWhy) {
    aPage = PrintedPage{};
    if (aJob.starts_with("P6")) {
        return ReadPpm(aJob, aPage, aWhy);
    }
    if (aJob.starts_with("%!PS")) {
        return ReadPostScript(aJob, aPage, aWhy);
    }
    aWhy = "neither a PPM nor PostScript (" + std::to_string(aJob.size()) + " bytes)";
    return false;
}
