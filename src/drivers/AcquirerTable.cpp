#include "drivers/AcquirerTable.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "runtime/ApplicationLog.h"

using N = zrPaymentNetwork;

const std::array<ZrPaymentsNetworkDecode, 42> PaymentsNetworkDecodeTable = {{
    {u"00000000001", N::Visa},       {u"00000000002", N::Amex},       {u"00000000003", N::Mastercard},
    {u"00000000004", N::Visa},       {u"00000000005", N::Diners},     {u"00000000006", N::JCB},
    {u"00000000008", N::Visa},       {u"00000000011", N::Diners},     {u"00000000015", N::Bank},
    {u"00000000016", N::Mastercard}, {u"00000000017", N::Maestro},    {u"00000000018", N::Mastercard},
    {u"00000000019", N::Amex},       {u"00000000023", N::Bank},       {u"00000000024", N::JCB},
    {u"00000000025", N::CUP},        {u"00000000027", N::CUP},        {u"00000000041", N::CUP},
    {u"00000000060", N::Bank},       {u"00000000066", N::Maestro},    {u"00000000067", N::JCB},
    {u"00000000068", N::Visa},       {u"00000000070", N::Mastercard}, {u"00000000075", N::CUP},
    {u"00000000077", N::JCB},        {u"00000000078", N::Mastercard}, {u"00000000088", N::Maestro},
    {u"00000002008", N::Bank},       {u"00000003104", N::Bank},       {u"00000005387", N::Bank},
    {u"00000006175", N::Bank},       {u"00000010002", N::Bank},       {u"00000080006", N::Nexi},
    {u"00000090016", N::Bank},       {u"02000000000", N::Amex},       {u"03000000000", N::Visa},
    {u"05000000000", N::Diners},     {u"66000000000", N::Maestro},    {u"70000000000", N::Other},
    {u"34000000000", N::Maestro},    {u"34000000001", N::Visa},       {u"90000005000", N::Bank},
}};

zrPaymentNetwork DecodeAcquirer(const Text& aCode, const TextList& aCustomAcquirerList) {
    zrPaymentNetwork network = N::Other;
    for (const auto& row : PaymentsNetworkDecodeTable) {
        if (aCode == row.Code) {
            network = row.Network;
            break;
        }
    }
    for (const Text& line : aCustomAcquirerList) {
        const auto eq = line.find(u'=');
        if (eq != Text::npos && SameTextAscii(TextView(line).substr(0, eq), aCode)) {
            network = _int_PAY_result::EncodeNetwork(line.substr(eq + 1));
            break;
        }
    }
    return network;
}

zrPaymentTransactionType DecodeEntryMode(const Text& aText) {
    using T = zrPaymentTransactionType;
    static const struct {
        const char16_t* Text;
        T Type;
    } kModes[] = {{u"ICC", T::ptt_Chip},
                  {u"MAG", T::ptt_MagStripe},
                  {u"MAN", T::ptt_Manual},
                  {u"CLM", T::ptt_ClessMagStripe},
                  {u"CLI", T::ptt_ClessChip}};
    for (const auto& m : kModes) {
        if (aText == m.Text) {
            return m.Type;
        }
    }
    return T::ptt_Other;
}

namespace {
// Windows-1252 for 0x80..0x9F; the five unassigned codes keep their own value, as the system's ANSI
// conversion does.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

Text FromWindows1252(std::string_view aBytes) {
    Text out(aBytes.size(), u'\0');
    for (std::size_t i = 0; i < aBytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(aBytes[i]);
        out[i] = b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
    }
    return out;
}

Text FromUtf16(std::string_view aBytes, bool aBigEndian) {
    Text out;
    out.reserve(aBytes.size() / 2);
    for (std::size_t i = 0; i + 1 < aBytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(aBytes[i]);
        const auto b = static_cast<unsigned char>(aBytes[i + 1]);
        out.push_back(static_cast<char16_t>(aBigEndian ? (a << 8) | b : (b << 8) | a));
    }
    return out;
}
} // namespace

TextList DecodeSettingsText(std::string_view aBytes) {
    Text text;
    if (aBytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text = Utf8ToText(aBytes.substr(3));
    } else if (aBytes.substr(0, 2) == "\xFF\xFE") {
        text = FromUtf16(aBytes.substr(2), false);
    } else if (aBytes.substr(0, 2) == "\xFE\xFF") {
        text = FromUtf16(aBytes.substr(2), true);
    } else {
        text = FromWindows1252(aBytes);
    }
    TextList lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

bool ReadSettingsFile(const Text& aFileName, TextList& aLines) {
    const std::filesystem::path path(aFileName);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxSettingsFileBytes) {
        WriteApplicationLog(tZR_MessageType::let_error,
                            u"Settings file " + aFileName + u" ignored: " +
                                (ec ? Text(u"its size cannot be read") : u"larger than 1 MiB"));
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        WriteApplicationLog(tZR_MessageType::let_error, u"Settings file " + aFileName + u" cannot be read");
        return false;
    }
    aLines = DecodeSettingsText(bytes);
    return true;
}
