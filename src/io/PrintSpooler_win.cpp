// The print spooler on Windows: winspool for the printer list and RAW jobs, a GDI device context of the
// printer for a bitmap page.
#include <windows.h>

#include <winspool.h>

#include "base/ZrError.h"
#include "io/DynamicLibrary.h"
#include "io/PrintSpooler.h"

namespace {
const wchar_t* Wide(const Text& aText) {
    return reinterpret_cast<const wchar_t*>(aText.c_str());
}
wchar_t* MutableWide(Text& aText) {
    return reinterpret_cast<wchar_t*>(aText.data());
}

Text LastErrorText() {
    return OsErrorMessage(static_cast<std::int32_t>(GetLastError()));
}

// The bitmap as a top-down 24-bit DIB: BGR, rows padded to four bytes.
std::vector<std::uint8_t> DibBits(const tZR_Bitmap& aBitmap) {
    const std::size_t stride = (static_cast<std::size_t>(aBitmap.Width) * 3u + 3u) & ~std::size_t{3};
    std::vector<std::uint8_t> bits(stride * static_cast<std::size_t>(aBitmap.Height), 0);
    for (std::int32_t y = 0; y < aBitmap.Height; ++y) {
        const std::uint8_t* source = aBitmap.Pixels.data() + static_cast<std::size_t>(y) * aBitmap.Width * 3u;
        std::uint8_t* target = bits.data() + static_cast<std::size_t>(y) * stride;
        for (std::int32_t x = 0; x < aBitmap.Width; ++x) {
            target[x * 3 + 0] = source[x * 3 + 2];
            target[x * 3 + 1] = source[x * 3 + 1];
            target[x * 3 + 2] = source[x * 3 + 0];
        }
    }
    return bits;
}
} // namespace

std::vector<Text> tZR_PrintSpooler::PrinterNames() {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<Text> names;
    if (needed == 0) {
        return names;
    }
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) {
        return names;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (info[i].pPrinterName != nullptr) {
            names.emplace_back(reinterpret_cast<const char16_t*>(info[i].pPrinterName));
        }
    }
    return names;
}

bool tZR_PrintSpooler::WriteRaw(const Text& aPrinter, const Text& aDocumentName, const std::string& aBytes,
                                Failure& aFailure) {
    Text printer = aPrinter;
    HANDLE handle = nullptr;
    bool ok = false;
    bool refused = false;
    if (OpenPrinterW(MutableWide(printer), &handle, nullptr)) {
        Text name = aDocumentName;
        Text type = u"RAW";
        DOC_INFO_1W doc{};
        doc.pDocName = MutableWide(name);
        doc.pOutputFile = nullptr;
        doc.pDatatype = MutableWide(type);
        if (StartDocPrinterW(handle, 1, reinterpret_cast<LPBYTE>(&doc)) != 0) {
            if (StartPagePrinter(handle)) {
                DWORD written = 0;
                ok = WritePrinter(handle, const_cast<char*>(aBytes.data()), static_cast<DWORD>(aBytes.size()),
                                  &written) &&
                     written == aBytes.size();
            }
            DWORD error = GetLastError();
            EndPagePrinter(handle);
            // The spooler hands the job to the printer's queue at its end: a queue that does not take it
            // fails here, and the job is then lost, not printed.
            if (!EndDocPrinter(handle) && ok) {
                ok = false;
                refused = true;
                error = GetLastError();
            }
            SetLastError(error);
        }
    }
    if (!ok) {
        aFailure.Code = static_cast<std::int32_t>(GetLastError());
        aFailure.Message = OsErrorMessage(aFailure.Code);
        if (refused) {
            aFailure.Message = u"Printer " + aPrinter + u" did not take the job: " + aFailure.Message;
        }
    }
    if (handle != nullptr) {
        ClosePrinter(handle);
    }
    return ok;
}

void tZR_PrintSpooler::PrintBitmap(const Text& aPrinter, const Text& aTitle, const tZR_Bitmap& aBitmap) {
    CheckBitmap(aBitmap);
    HDC dc = CreateDCW(L"WINSPOOL", Wide(aPrinter), nullptr, nullptr);
    if (dc == nullptr) {
        throw ZrError(u"kIOHandler_Spool.WriteNormal: Printer " + aPrinter + u": " + LastErrorText());
    }
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = Wide(aTitle);
    if (StartDocW(dc, &doc) <= 0) {
        const Text error = LastErrorText();
        DeleteDC(dc);
        throw ZrError(u"kIOHandler_Spool.WriteNormal: Printer " + aPrinter + u": " + error);
    }
    Text failure;
    if (StartPage(dc) > 0) {
        tZR_PageMetrics page;
        page.Width = GetDeviceCaps(dc, HORZRES);
        page.Height = GetDeviceCaps(dc, VERTRES);
        page.OffsetX = GetDeviceCaps(dc, PHYSICALOFFSETX);
        page.OffsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
        page.DpiX = GetDeviceCaps(dc, LOGPIXELSX);
        page.DpiY = GetDeviceCaps(dc, LOGPIXELSY);
        page.ColorBits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
        try {
            const tZR_PagePlacement place = PlaceBitmap(page, aBitmap.Width, aBitmap.Height);
            const std::vector<std::uint8_t> bits = DibBits(aBitmap);
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = aBitmap.Width;
            info.bmiHeader.biHeight = -aBitmap.Height; // rows from the top
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 24;
            info.bmiHeader.biCompression = BI_RGB;
            if (place.Stretch) {
                SetStretchBltMode(dc, HALFTONE);
                SetBrushOrgEx(dc, 0, 0, nullptr);
            }
            // Unscaled, the target rectangle has the bitmap's own size: a pixel-for-pixel copy.
            if (StretchDIBits(dc, place.X, place.Y, place.Width, place.Height, 0, 0, aBitmap.Width,
                              aBitmap.Height, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY) == 0) {
                failure = LastErrorText();
            }
        } catch (const ZrError& e) {
            failure = e.Message();
        }
        EndPage(dc);
    } else {
        failure = LastErrorText();
    }
    if (failure.empty()) {
        if (EndDoc(dc) <= 0) {
            failure = LastErrorText();
        }
    } else {
        AbortDoc(dc);
    }
    DeleteDC(dc);
    if (!failure.empty()) {
        throw ZrError(u"kIOHandler_Spool.WriteNormal: Printer " + aPrinter + u": " + failure);
    }
}

std::string tZR_PrintSpooler::EncodeText(const Text& aText, std::int32_t aCodePage) {
    if (aText.empty()) {
        return std::string();
    }
    const UINT codePage = aCodePage <= 0 ? CP_ACP : static_cast<UINT>(aCodePage);
    const int length = WideCharToMultiByte(codePage, 0, Wide(aText), static_cast<int>(aText.size()), nullptr,
                                           0, nullptr, nullptr);
    if (length <= 0) {
        throw ZrError(u"Code page " + IntToText(aCodePage) + u" is not available");
    }
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, Wide(aText), static_cast<int>(aText.size()), out.data(), length, nullptr,
                        nullptr);
    return out;
}
