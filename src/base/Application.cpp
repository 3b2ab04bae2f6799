// Provisional application context: version information only, until the full context lands.
#include "base/Application.h"

tZR_Application* gApplication = nullptr;

void tZR_Application::Log(tZR_MessageType, const Text&) {}

const Text& tZR_Application::Version() const {
    static const Text kVersion = u"1.27";
    return kVersion;
}

TDateTime tZR_Application::ReleaseDate() const { return EncodeDateTime(2026, 5, 30); }

void CreateApplicationContext() { gApplication = new tZR_Application(); }

void FreeApplicationContext(bool) {
    delete gApplication;
    gApplication = nullptr;
}

Text FormatShortDate(TDateTime aDate) {
    const DateTimeParts p = DecodeDateTime(aDate);
    auto two = [](int v) { return (v < 10 ? u"0" : u"") + IntToText(v); };
    return two(p.Day) + u"/" + two(p.Month) + u"/" + IntToText(p.Year);
}
