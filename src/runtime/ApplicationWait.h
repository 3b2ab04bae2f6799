#pragma once
// The application's please-wait window.
#include <memory>

#include "base/Text.h"

class PlatformWaitWindow;

// tZR_Wait: a small stay-on-top "please wait" window with one label (Windows only; elsewhere it keeps its
// state and shows nothing).
class tZR_Wait {
public:
    tZR_Wait();
    virtual ~tZR_Wait();
    tZR_Wait(const tZR_Wait&) = delete;
    tZR_Wait& operator=(const tZR_Wait&) = delete;

    void Start(const Text& aText);
    void Stop();
    // The text for the language of gApplication, and aValue on a second line when it is not empty.
    void SetText(const Text& aValue);
    bool Started() const { return fStarted; }
    const Text& LabelText() const { return fLabel; }

private:
    std::unique_ptr<PlatformWaitWindow> fForm; // created when first shown
    Text fBase;
    Text fLabel;
    bool fStarted = false;
    const Text fText_IT = u"Attendere prego ...";
    const Text fText_EN = u"Wait please ...";
    const Text fText_ES = u"Espere, por favor ...";
    const Text fText_PT = u"Aguarde, por favor ...";
    const Text fText_FR = u"Veuillez patienter ...";
};
