#pragma once
#include "io/IOHandler_Unavailable.h"

class kIOHandler_TCP : public kIOHandler_Unavailable {
public:
    kIOHandler_TCP(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_TCP() override;
    Text ClassName() const override { return u"kIOHandler_TCP"; }
};
