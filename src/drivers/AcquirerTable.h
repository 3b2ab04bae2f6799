#pragma once
// From the terminal's codes to the result's enumerations: the acquirer table with its installation
// overrides (the settings file beside the host executable) and the card entry modes.
#include <array>
#include <string_view>

#include "base/Text.h"
#include "payment/PaymentDefs.h"

struct ZrPaymentsNetworkDecode {
    const char16_t* Code; // acquirer identifier, 11 characters as the terminal sends it
    zrPaymentNetwork Network;
};

// Searched in order; the first row whose Code equals the identifier exactly wins.
extern const std::array<ZrPaymentsNetworkDecode, 42> PaymentsNetworkDecodeTable;

// The table's network for aCode (Other when no row names it), then the first line of aCustomAcquirerList
// whose name (the text before its first "=") equals aCode without regard to case, through EncodeNetwork.
zrPaymentNetwork DecodeAcquirer(const Text& aCode, const TextList& aCustomAcquirerList);

// "ICC", "MAG", "MAN", "CLM", "CLI" (exact case); anything else is ptt_Other.
zrPaymentTransactionType DecodeEntryMode(const Text& aText);

// The settings file read by every new driver object.
inline constexpr char16_t kSettingsFileName[] = u"ZRPA_RIVEVEDEV17_10.ini";
// Settings files larger than this are ignored (an error line in the application log says so).
inline constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;

// The lines of a settings file's content: UTF-8 or UTF-16 (either byte order) by byte-order mark,
// Windows-1252 without one; lines end at CR LF, LF or CR.
TextList DecodeSettingsText(std::string_view aBytes);
// True when aFileName exists and was read into aLines (which it replaces).
bool ReadSettingsFile(const Text& aFileName, TextList& aLines);
