#pragma once
// Message templates of the application context: %-placeholders filled from a list of values.
#include <cstdint>
#include <variant>
#include <vector>

#include "base/Text.h"

// A value of the settings store and an argument of a message template: empty, integer, floating point,
// Boolean or text.
using tZR_Value = std::variant<std::monostate, std::int64_t, double, bool, Text>;

// aTemplate with its placeholders ([index ":"] ["-"] [width] ["." precision] type; "%%" is "%") filled
// from aValues and every backslash-n turned into CR LF. Raises ZrError "Format '<template>' invalid or
// incompatible with argument" for a placeholder without a matching value.
Text FormatMessageTemplate(const Text& aTemplate, const std::vector<tZR_Value>& aValues);
