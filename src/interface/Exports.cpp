// The ten exports. Each runs on the caller's thread and never lets anything escape: not our errors,
// not a C++ exception, not an allocation failure.
#include <cstdint>

#include "interface/PaymentWrapper.h"
#include "platform/Bstr.h"

namespace {
// A host may read the 16-bit result as a 32-bit value: its upper half must be zero, so -1 reads as 65535
// on every path. The compiler leaves those bits undefined for a 16-bit return (a failure path ended with
// all 32 bits set); passing the value through a function it cannot see into makes the register hold the
// zero-extended word the function returned, and narrowing it again costs no instruction.
[[gnu::noipa]] std::uint32_t ZeroExtended(std::int16_t aResult) noexcept {
    return static_cast<std::uint16_t>(aResult);
}

// One command call: private copy of the request, the command object, Process, then Format in every case.
// Both outputs are nulled first without being released: the caller passes them empty.
template <typename TCommand> std::int16_t RunCommand(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) noexcept {
    if (aOutput != nullptr) {
        *aOutput = nullptr;
    }
    if (aErrorMessage != nullptr) {
        *aErrorMessage = nullptr;
    }
    // Without both outputs the caller could never learn what happened at the terminal, so nothing is run.
    if (aOutput == nullptr || aErrorMessage == nullptr) {
        return -1;
    }
    try {
        const Text xml = BstrToText(aXml);
        TCommand command;
        try {
            command.Process(xml);
        } catch (...) {
            // Process keeps its own errors; whatever still escapes it leaves the cleared record (Error
            // set), which Format writes.
        }
        std::int16_t result = -1;
        command.Format(*aOutput, *aErrorMessage, result);
        return result;
    } catch (...) {
        return -1;
    }
}
} // namespace

extern "C" {

ZRPA_API int16_t ZRPA_CALL PAY(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) {
    return static_cast<int16_t>(ZeroExtended(RunCommand<kPaymentWrapper_PAY>(aXml, aOutput, aErrorMessage)));
}

ZRPA_API int16_t ZRPA_CALL REPRINT(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) {
    return static_cast<int16_t>(
        ZeroExtended(RunCommand<kPaymentWrapper_REPRINT>(aXml, aOutput, aErrorMessage)));
}

ZRPA_API int16_t ZRPA_CALL OPEN(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) {
    return static_cast<int16_t>(ZeroExtended(RunCommand<kPaymentWrapper_OPEN>(aXml, aOutput, aErrorMessage)));
}

ZRPA_API int16_t ZRPA_CALL CLOSE(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) {
    return static_cast<int16_t>(
        ZeroExtended(RunCommand<kPaymentWrapper_CLOSE>(aXml, aOutput, aErrorMessage)));
}

ZRPA_API int16_t ZRPA_CALL GETSTATUS(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) {
    return static_cast<int16_t>(
        ZeroExtended(RunCommand<kPaymentWrapper_GETSTATUS>(aXml, aOutput, aErrorMessage)));
}

ZRPA_API int16_t ZRPA_CALL DAYCLOSE(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) {
    return static_cast<int16_t>(
        ZeroExtended(RunCommand<kPaymentWrapper_DAYCLOSE>(aXml, aOutput, aErrorMessage)));
}

ZRPA_API int16_t ZRPA_CALL GETTOTALS(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) {
    return static_cast<int16_t>(
        ZeroExtended(RunCommand<kPaymentWrapper_GETTOTALS>(aXml, aOutput, aErrorMessage)));
}

ZRPA_API int16_t ZRPA_CALL VERIFYTRAN(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) {
    return static_cast<int16_t>(
        ZeroExtended(RunCommand<kPaymentWrapper_VERIFYTRAN>(aXml, aOutput, aErrorMessage)));
}

ZRPA_API int16_t ZRPA_CALL CANCEL(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage) {
    return static_cast<int16_t>(
        ZeroExtended(RunCommand<kPaymentWrapper_CANCEL>(aXml, aOutput, aErrorMessage)));
}

ZRPA_API int32_t ZRPA_CALL VERSION(BSTR aDriverName, BSTR* aVersion, BSTR* aErrorMessage) {
    if (aVersion != nullptr) {
        *aVersion = nullptr;
    }
    if (aErrorMessage != nullptr) {
        *aErrorMessage = nullptr;
    }
    if (aVersion == nullptr || aErrorMessage == nullptr) {
        return -1;
    }
    try {
        Text version;
        Text error;
        const std::int32_t result = DriverVersion(BstrToText(aDriverName), version, error);
        // The error text first: if the version text cannot be allocated afterwards, the caller still
        // gets -1 and no half-filled pair.
        *aErrorMessage = TextToBstr(error);
        *aVersion = TextToBstr(version);
        return result;
    } catch (...) {
        if (*aErrorMessage != nullptr) {
            SysFreeString(*aErrorMessage);
            *aErrorMessage = nullptr;
        }
        *aVersion = nullptr;
        return -1;
    }
}
}
