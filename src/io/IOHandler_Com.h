#pragma once
#include "io/IOHandler_Unavailable.h"

class kIOHandler_Com : public kIOHandler_Unavailable {
public:
    kIOHandler_Com(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_Com() override;
    Text ClassName() const override { return u"kIOHandler_Com"; }
};
