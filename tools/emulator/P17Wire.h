#pragma once
// Protocol 17 as the terminal sees it: frames, check characters and a readable account of every frame.
// Frames and check characters are written independently of the library's driver so that each checks the
// other; the fields are read through the driver's message layouts (MessageFields.h).
#include <cstdint>
#include <string>

namespace p17emu {

constexpr char kSOH = 0x01;
constexpr char kSTX = 0x02;
constexpr char kETX = 0x03;
constexpr char kEOT = 0x04;
constexpr char kACK = 0x06;
constexpr char kESC = 0x1B;

// 0x7F exclusive-or every byte of aBytes.
char Lrc(const std::string& aBytes);
// STX + text + terminator + LRC over STX..terminator.
std::string DataFrame(const std::string& aText, char aTerminator = kETX);
// SOH + text + ETX: status frames carry no check character.
std::string StatusFrame(const std::string& aText);
// 06 03 7A.
std::string AckFrame();

// "STX 000000000E1 ETX LRC=3a" style: control bytes named, printable text shown as it is, other bytes
// as <xx>.
std::string ShowBytes(const std::string& aBytes);
// What a request or answer text means, field by field ("PAY ecr=00000005 amount=00001234 ...").
std::string DescribeRequest(const std::string& aText);
std::string DescribeAnswer(char aRequestCode, const std::string& aText);

} // namespace p17emu
