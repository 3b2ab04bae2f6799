// The settings store and the please-wait window of the application context.
#include "platform/Locale.h"
#include "platform/UserInterface.h"
#include "runtime/Application.h"

tZR_SetupEntry* tZR_Setup::FindEntry(const Text& aName) const {
    const Text wanted = HostLowerCase(aName);
    for (const auto& entry : fList) {
        if (HostLowerCase(entry->Name()) == wanted) {
            return entry.get();
        }
    }
    return nullptr;
}

void tZR_Setup::Define(const Text& aName) {
    SetValue(aName, tZR_Value());
}

tZR_Value tZR_Setup::GetValue(const Text& aName) const {
    const tZR_SetupEntry* entry = FindEntry(aName);
    return entry != nullptr ? entry->Value() : tZR_Value();
}

void tZR_Setup::SetValue(const Text& aName, const tZR_Value& aValue) {
    if (tZR_SetupEntry* entry = FindEntry(aName)) {
        entry->SetValue(aValue);
        return;
    }
    auto entry = std::make_unique<tZR_SetupEntry>();
    entry->SetName(aName);
    entry->SetValue(aValue);
    fList.push_back(std::move(entry));
}

tZR_Wait::tZR_Wait() = default;
tZR_Wait::~tZR_Wait() = default;

void tZR_Wait::SetText(const Text& aValue) {
    // While gApplication is being built there is no language yet: the label keeps its text.
    if (gApplication != nullptr) {
        const Text language = LowerCase(gApplication->Language());
        fBase = language == u"en"   ? fText_EN
                : language == u"fr" ? fText_FR
                : language == u"es" ? fText_ES
                : language == u"pt" ? fText_PT
                                    : fText_IT;
    }
    fLabel = aValue.empty() ? fBase : fBase + u"\r\n" + aValue;
    if (fForm) {
        fForm->SetText(fLabel);
    }
}

void tZR_Wait::Start(const Text& aText) {
    SetText(aText);
    if (!fForm) {
        fForm = std::make_unique<PlatformWaitWindow>();
        fForm->SetText(fLabel);
    }
    fForm->Show();
    fStarted = true;
    ProcessPendingMessages();
}

void tZR_Wait::Stop() {
    fStarted = false;
    if (fForm) {
        fForm->Hide();
    }
}
