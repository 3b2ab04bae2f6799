// The message dictionary of the application context.
#include "base/Formatting.h"
#include "platform/StringTable.h"
#include "runtime/Application.h"

namespace {
TextList SplitLines(const Text& aText) {
    TextList lines;
    std::size_t start = 0;
    while (start <= aText.size()) {
        std::size_t end = aText.find(u'\n', start);
        if (end == Text::npos) {
            end = aText.size();
        }
        Text line = aText.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r') {
            line.pop_back();
        }
        if (!(end == aText.size() && line.empty())) {
            lines.push_back(line);
        }
        start = end + 1;
    }
    return lines;
}
} // namespace

Text tZR_Application::GetMessage(const Text& aMessageId) const {
    return GetMessage(aMessageId, {});
}

Text tZR_Application::GetMessage(const Text& aMessageId, const std::vector<tZR_Value>& aValues) const {
    Text messageTemplate = aMessageId;
    auto found = fMessages.find(fLanguage + u"." + aMessageId);
    if (found == fMessages.end()) {
        found = fMessages.find(aMessageId + u"." + fDefaultLanguage);
    }
    if (found != fMessages.end()) {
        messageTemplate = found->second;
    }
    return FormatMessageTemplate(messageTemplate, aValues);
}

void tZR_Application::AddMessages(const TextList& aLines) {
    for (const Text& line : aLines) {
        fMessages.emplace(ExtractField(line, 1, u':', false), ExtractField(line, 2, u':', false));
    }
}

void tZR_Application::LoadMessages(const Text& aResourceName) {
    std::string bytes;
    if (!LoadOwnRawResource(aResourceName, bytes)) {
        return;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        bytes.erase(0, 3);
    }
    AddMessages(SplitLines(Utf8ToText(bytes)));
}
