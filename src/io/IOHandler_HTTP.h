#pragma once
#include "io/IOHandler_Unavailable.h"

class kIOHandler_HTTP : public kIOHandler_Unavailable {
public:
    kIOHandler_HTTP(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_HTTP() override;
    Text ClassName() const override { return u"kIOHandler_HTTP"; }
};
