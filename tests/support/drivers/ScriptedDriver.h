#pragma once
// The Protocol 17 driver over the scripted channel, and the till's request the driver tests send it.
#include <utility>
#include <vector>

#include "drivers/P17Protocol.h"
#include "payment/Payment.h"
#include "support/FakeChannel.h"

// The driver on a FakeChannel named aChannelClass (the TCP or the serial channel's behaviour): its pauses
// are kept in Pauses instead of taken, its clock is aNow.
struct ScriptedDriver {
    explicit ScriptedDriver(Text aChannelClass = u"kIOHandler_TCP",
                            kP17Protocol::NowFn aNow = kP17Protocol::NowFn(),
                            Text aDesignation = u"127.0.0.1:4000")
        : Channel(std::move(aChannelClass)), P17(Channel, Custom, std::move(aDesignation), std::move(aNow),
                                                 [this](std::int32_t aMs) { Pauses.push_back(aMs); }) {}
    FakeChannel Channel;
    TextList Custom;
    std::vector<std::int32_t> Pauses;
    kP17Protocol P17;
};

// A till's card request: till 5, reference R1, aAmount in EUR, the receipt printed where aWhere says.
// A test sets what its case is about on top (the action, the refund reference, ...).
inline kPaymentReceipt TillRequest(ZrPrintLocation aWhere = ZrPrintLocation::pl_ECR,
                                   Currency aAmount = Currency::FromRaw(123400)) {
    kPaymentReceipt r;
    r.fTillCode = u"5";
    r.fReference = u"R1";
    r.fAmount = aAmount;
    r.fCurrency = u"EUR";
    r.fPrintLocation = aWhere;
    return r;
}
