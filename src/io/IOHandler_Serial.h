#pragma once
#include "io/IOHandler_Unavailable.h"

class kIOHandler_Serial : public kIOHandler_Unavailable {
public:
    kIOHandler_Serial(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_Serial() override;
    Text ClassName() const override { return u"kIOHandler_Serial"; }
};
