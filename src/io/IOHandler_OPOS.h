#pragma once
#include "io/IOHandler_Unavailable.h"

class kIOHandler_OPOS : public kIOHandler_Unavailable {
public:
    kIOHandler_OPOS(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_OPOS() override;
    Text ClassName() const override { return u"kIOHandler_OPOS"; }
};
