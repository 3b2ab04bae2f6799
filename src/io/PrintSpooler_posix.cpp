// The print spooler on POSIX: CUPS. RAW jobs carry the bytes unchanged; a bitmap page is rendered here
// for the printer's default media and resolution and sent as one PNM image of the printable area.
// libcups is loaded when the spooler is first used (tZR_CupsApi).
#include <iconv.h>

#include <algorithm>
#include <memory>

#include "base/ZrError.h"
#include "io/CupsApi.h"
#include "io/PrintSpooler.h"

namespace {
constexpr int kHundredthsOfMmPerInch = 2540;
constexpr std::int32_t kDefaultDpi = 300; // a printer that reports no resolution gets the bitmap's own
constexpr std::uint64_t kMaxPagePixels = 400u * 1000u * 1000u;

// Raises, naming the library, when CUPS is not installed.
const tZR_CupsApi& Cups() {
    return tZR_CupsApi::Get();
}

Text LastCupsError() {
    const char* text = Cups().LastErrorString();
    return text != nullptr && *text != '\0' ? Utf8ToText(text)
                                            : u"CUPS error " + IntToText(Cups().LastError());
}

struct Dest {
    cups_dest_t* Value = nullptr;
    ~Dest() {
        if (Value != nullptr) {
            Cups().FreeDests(1, Value);
        }
    }
};

struct DestInfo {
    cups_dinfo_t* Value = nullptr;
    ~DestInfo() {
        if (Value != nullptr) {
            Cups().FreeDestInfo(Value);
        }
    }
};

std::int32_t Pixels(int aHundredthsOfMm, std::int32_t aDpi) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(aHundredthsOfMm) * aDpi /
                                     kHundredthsOfMmPerInch);
}

tZR_PageMetrics ReadMetrics(const Text& aPrinter, cups_dest_t* aDest, cups_dinfo_t* aInfo) {
    cups_size_t size{};
    if (aInfo == nullptr ||
        !Cups().GetDestMediaDefault(CUPS_HTTP_DEFAULT, aDest, aInfo, CUPS_MEDIA_FLAGS_DEFAULT, &size)) {
        throw ZrError(u"kIOHandler_Spool.WriteNormal: Printer " + aPrinter + u" reports no page size");
    }
    std::int32_t dpiX = kDefaultDpi;
    std::int32_t dpiY = kDefaultDpi;
    ipp_attribute_t* resolution =
        Cups().FindDestDefault(CUPS_HTTP_DEFAULT, aDest, aInfo, "printer-resolution");
    if (resolution != nullptr && Cups().IppGetValueTag(resolution) == IPP_TAG_RESOLUTION) {
        int y = 0;
        ipp_res_t units = IPP_RES_PER_INCH;
        const int x = Cups().IppGetResolution(resolution, 0, &y, &units);
        if (x > 0 && y > 0) {
            dpiX = units == IPP_RES_PER_CM ? static_cast<std::int32_t>(x * 2.54 + 0.5) : x;
            dpiY = units == IPP_RES_PER_CM ? static_cast<std::int32_t>(y * 2.54 + 0.5) : y;
        }
    }
    tZR_PageMetrics m;
    m.DpiX = dpiX;
    m.DpiY = dpiY;
    m.Width = Pixels(size.width - size.left - size.right, dpiX);
    m.Height = Pixels(size.length - size.top - size.bottom, dpiY);
    m.OffsetX = Pixels(size.left, dpiX);
    m.OffsetY = Pixels(size.top, dpiY);
    m.ColorBits = 24;
    return m;
}

// Renders row aRow of the printable area: white, with the bitmap where aPlace puts it (nearest pixel).
void RenderRow(const tZR_Bitmap& aBitmap, const tZR_PagePlacement& aPlace, std::int32_t aPageWidth,
               std::int32_t aRow, std::string& aOut) {
    const std::size_t start = aOut.size();
    aOut.append(static_cast<std::size_t>(aPageWidth) * 3u, '\xff');
    if (aRow < aPlace.Y || aRow >= aPlace.Y + aPlace.Height) {
        return;
    }
    const std::int64_t sourceRow =
        static_cast<std::int64_t>(aRow - aPlace.Y) * aBitmap.Height / aPlace.Height;
    const std::uint8_t* source = aBitmap.Pixels.data() + sourceRow * aBitmap.Width * 3;
    const std::int32_t first = std::max(aPlace.X, 0);
    const std::int32_t last = std::min(aPlace.X + aPlace.Width, aPageWidth);
    for (std::int32_t x = first; x < last; ++x) {
        const std::int64_t sourceColumn =
            static_cast<std::int64_t>(x - aPlace.X) * aBitmap.Width / aPlace.Width;
        const std::uint8_t* pixel = source + sourceColumn * 3;
        char* target = aOut.data() + start + static_cast<std::size_t>(x) * 3u;
        target[0] = static_cast<char>(pixel[0]);
        target[1] = static_cast<char>(pixel[1]);
        target[2] = static_cast<char>(pixel[2]);
    }
}

class Job {
public:
    Job(const std::string& aPrinter, const std::string& aTitle, int aOptionCount, cups_option_t* aOptions)
        : fPrinter(aPrinter) {
        fId = Cups().CreateJob(CUPS_HTTP_DEFAULT, fPrinter.c_str(), aTitle.c_str(), aOptionCount, aOptions);
    }
    ~Job() {
        if (fId > 0 && !fFinished) {
            Cups().CancelJob2(CUPS_HTTP_DEFAULT, fPrinter.c_str(), fId, 0);
        }
    }
    bool Created() const { return fId > 0; }
    bool Start(const std::string& aTitle, const char* aFormat) {
        return Cups().StartDocument(CUPS_HTTP_DEFAULT, fPrinter.c_str(), fId, aTitle.c_str(), aFormat, 1) ==
               HTTP_STATUS_CONTINUE;
    }
    bool Send(const std::string& aBytes) {
        return aBytes.empty() || Cups().WriteRequestData(CUPS_HTTP_DEFAULT, aBytes.data(), aBytes.size()) ==
                                     HTTP_STATUS_CONTINUE;
    }
    bool Finish() {
        fFinished = true; // after this call the job is the scheduler's, whatever the answer
        return Cups().FinishDocument(CUPS_HTTP_DEFAULT, fPrinter.c_str()) == IPP_STATUS_OK;
    }

private:
    std::string fPrinter;
    int fId = 0;
    bool fFinished = false;
};
} // namespace

std::vector<Text> tZR_PrintSpooler::PrinterNames() {
    cups_dest_t* dests = nullptr;
    const int count = Cups().GetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::vector<Text> names;
    for (int i = 0; i < count; ++i) {
        const Text name = Utf8ToText(dests[i].name);
        if (std::find(names.begin(), names.end(), name) == names.end()) { // instances share the name
            names.push_back(name);
        }
    }
    Cups().FreeDests(count, dests);
    return names;
}

bool tZR_PrintSpooler::WriteRaw(const Text& aPrinter, const Text& aDocumentName, const std::string& aBytes,
                                Failure& aFailure) {
    const std::string title = TextToUtf8(aDocumentName);
    Job job(TextToUtf8(aPrinter), title, 0, nullptr);
    const bool ok = job.Created() && job.Start(title, CUPS_FORMAT_RAW) && job.Send(aBytes) && job.Finish();
    if (!ok) {
        aFailure.Code = static_cast<std::int32_t>(Cups().LastError());
        aFailure.Message = LastCupsError();
    }
    return ok;
}

void tZR_PrintSpooler::PrintBitmap(const Text& aPrinter, const Text& aTitle, const tZR_Bitmap& aBitmap) {
    CheckBitmap(aBitmap);
    const std::string printer = TextToUtf8(aPrinter);
    Dest dest;
    dest.Value = Cups().GetNamedDest(CUPS_HTTP_DEFAULT, printer.c_str(), nullptr);
    if (dest.Value == nullptr) {
        throw ZrError(u"kIOHandler_Spool.WriteNormal: Printer " + aPrinter + u" not found");
    }
    DestInfo info;
    info.Value = Cups().CopyDestInfo(CUPS_HTTP_DEFAULT, dest.Value);
    const tZR_PageMetrics page = ReadMetrics(aPrinter, dest.Value, info.Value);
    const tZR_PagePlacement place = PlaceBitmap(page, aBitmap.Width, aBitmap.Height);
    if (static_cast<std::uint64_t>(page.Width) * static_cast<std::uint64_t>(page.Height) > kMaxPagePixels) {
        throw ZrError(u"kIOHandler_Spool.WriteNormal: the page of printer " + aPrinter +
                      u" has too many pixels");
    }

    // The image covers the printable area at the printer's resolution, so it prints at its natural size.
    cups_option_t* options = nullptr;
    int optionCount = 0;
    optionCount = Cups().AddIntegerOption("ppi", page.DpiX, optionCount, &options);
    const std::string title = TextToUtf8(aTitle);
    Job job(printer, title, optionCount, options);
    Cups().FreeOptions(optionCount, options);
    const auto fail = [&]() {
        throw ZrError(u"kIOHandler_Spool.WriteNormal: Printer " + aPrinter + u": " + LastCupsError());
    };
    if (!job.Created() || !job.Start(title, "image/x-portable-anymap")) {
        fail();
    }
    std::string chunk = "P6\n" + std::to_string(page.Width) + " " + std::to_string(page.Height) + "\n255\n";
    const std::size_t flushAt = 256u * 1024u;
    for (std::int32_t row = 0; row < page.Height; ++row) {
        RenderRow(aBitmap, place, page.Width, row, chunk);
        if (chunk.size() >= flushAt) {
            if (!job.Send(chunk)) {
                fail();
            }
            chunk.clear();
        }
    }
    if (!job.Send(chunk) || !job.Finish()) {
        fail();
    }
}

std::string tZR_PrintSpooler::EncodeText(const Text& aText, std::int32_t aCodePage) {
    if (aCodePage <= 0) {
        return TextToBytes(aText); // no ANSI code page here: the byte transports' one byte per character
    }
    if (aCodePage == 65001) {
        return TextToUtf8(aText);
    }
    const std::string target = "CP" + std::to_string(aCodePage);
    iconv_t cd = iconv_open(target.c_str(), "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw ZrError(u"Code page " + IntToText(aCodePage) + u" is not available");
    }
    std::string out;
    // One character (or surrogate pair) at a time, so one that the code page lacks becomes a single '?'.
    for (std::size_t i = 0; i < aText.size();) {
        const std::size_t units = (aText[i] >= 0xD800 && aText[i] <= 0xDBFF && i + 1 < aText.size()) ? 2 : 1;
        char in[4];
        for (std::size_t k = 0; k < units; ++k) {
            in[2 * k] = static_cast<char>(aText[i + k] & 0xFF);
            in[2 * k + 1] = static_cast<char>(aText[i + k] >> 8);
        }
        char buffer[16];
        char* inPtr = in;
        std::size_t inLeft = units * 2;
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            out += '?';
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        }
        i += units;
    }
    iconv_close(cd);
    return out;
}
