#pragma once
#include "io/IOHandler_Unavailable.h"

class kIOHandler_Dll : public kIOHandler_Unavailable {
public:
    kIOHandler_Dll(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_Dll() override;
    Text ClassName() const override { return u"kIOHandler_Dll"; }
};
