#pragma once
// The little JSON the tool writes: strings always valid UTF-8 (a damaged log's bytes become U+FFFD).
#include <string>
#include <string_view>

// aText as a quoted JSON string.
std::string JsonString(std::string_view aText);

// aText with every malformed UTF-8 sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view aText);
