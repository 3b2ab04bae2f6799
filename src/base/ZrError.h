#pragma once
// The one exception type of the library. Every command catches it (and everything else) in Process,
// so its message becomes the command's error text; nothing crosses an export.
#include <exception>
#include <string>

#include "base/Text.h"

class ZrError : public std::exception {
public:
    explicit ZrError(Text aMessage);
    const Text& Message() const noexcept { return fMessage; }
    const char* what() const noexcept override { return fUtf8.c_str(); }

private:
    Text fMessage;
    std::string fUtf8;
};

// Message of any caught exception as text: ours keeps its UTF-16 message, others their what().
Text ExceptionMessage(const std::exception& e);
