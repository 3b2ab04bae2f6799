#pragma once
// Text helpers shared by every folder. Text is UTF-16 (std::u16string); bytes appear only at the
// edges (file contents, POSIX file names, libraries that want UTF-8).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 <-> UTF-16. Malformed UTF-8 becomes U+FFFD; an unpaired surrogate becomes U+FFFD in UTF-8.
Text Utf8ToText(std::string_view aUtf8);
std::string TextToUtf8(TextView aText);
// Appends the UTF-8 form of aText (as TextToUtf8) to aOut.
void AppendUtf8(std::string& aOut, TextView aText);

// Plain ASCII/Latin-1 widening, for literals and byte streams (byte b becomes char16_t(b)).
Text BytesToText(std::string_view aBytes);
// Narrowing for byte transports: characters below 256 become that byte, others '?'.
std::string TextToBytes(TextView aText);

Text IntToText(std::int64_t aValue);
Text UIntToText(std::uint64_t aValue);
// aValue in hexadecimal, zero-padded to at least aMinDigits digits; upper-case digits unless aLowerCase.
Text IntToHex(std::uint64_t aValue, std::size_t aMinDigits, bool aLowerCase = false);
// aDigits with "0" in front up to aWidth characters (a longer text stays whole); aValue in decimal so.
Text ZeroPadded(Text aDigits, std::size_t aWidth);
Text ZeroPadded(std::int64_t aValue, std::size_t aWidth);
// Lower-case hex codes, at least two digits each, separated by one blank: STX A B ETX -> "02 41 42 03".
Text HexCodes(TextView aText);

// ASCII-only case folding, as the request's enumeration texts need (no locale involved).
Text LowerCase(TextView aText);
Text UpperCase(TextView aText);
bool SameTextAscii(TextView a, TextView b);

// The text with the five XML entities (&amp; &lt; &gt; &quot; &apos;) in place of their characters.
// aKeepCr also writes CR as "&#13;": a parser reads a raw CR back as LF.
Text XmlEscaped(TextView aText, bool aKeepCr = false);

// The text with a space in place of every code unit that XML 1.0 cannot carry: C0 controls other than
// tab, LF and CR, U+FFFE, U+FFFF and surrogates that are not part of a pair.
Text XmlCharactersOnly(TextView aText);
// Appends XmlEscaped(XmlCharactersOnly(aText)) to aOut, without the two copies.
void AppendXmlText(Text& aOut, TextView aText);

// A value as an error text or a log line quotes it: whole up to 64 characters, otherwise its first 64,
// "…" and its length, e.g. "ABC…(1048576 characters)". A huge request value never comes back whole.
// Paths pass a wider aShown: a path cut at 64 characters would hide the part a technician must fix.
Text CutValue(TextView aValue, std::size_t aShown = 64);

// A log line's text with no control character left raw: STX, ETX, EOT, ACK, NAK, SOH and ESC by name
// ("<STX>"), every other C0 character and DEL as two upper-case hex digits ("<0A>"). A raw CR or LF
// would split the line; a check byte of any value must stay readable.
Text ControlCharactersShown(TextView aText);

// Lists of "name=value" lines (request parameters and similar).
using TextList = std::vector<Text>;
// Index of the first line whose name equals aName exactly, or -1.
int IndexOfName(const TextList& aList, TextView aName);
// Value of the first line named aName, or the empty text.
Text ValueOfName(const TextList& aList, TextView aName);
