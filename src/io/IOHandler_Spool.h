#pragma once
#include "io/IOHandler_Unavailable.h"

class kIOHandler_Spool : public kIOHandler_Unavailable {
public:
    kIOHandler_Spool(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_Spool() override;
    Text ClassName() const override { return u"kIOHandler_Spool"; }
};
