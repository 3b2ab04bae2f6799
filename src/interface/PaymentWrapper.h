#pragma once
// The command objects behind the nine command exports. One object is built per call: Process parses
// the request, finds or opens the device and runs its operation; Format writes the result document,
// the error text and the result code. Every error raised on the way becomes the record's Error and
// ErrorText; nothing leaves Process.
#include <cstdint>
#include <memory>

#include "base/Text.h"
#include "payment/Payment.h"
#include "payment/PaymentDefs.h"
#include "platform/Bstr.h"

class kPaymentWrapper {
public:
    kPaymentWrapper();
    virtual ~kPaymentWrapper();
    kPaymentWrapper(const kPaymentWrapper&) = delete;
    kPaymentWrapper& operator=(const kPaymentWrapper&) = delete;

    // --- in slot order -------------------------------------------------------------------------------
    // Resets fResult: Error true, everything else zero, empty or false.
    virtual void ClearResult() = 0;
    // aOutput := the result document, aErrorMessage := ErrorText unescaped (null when empty),
    // aResult := -1 when Error is set, else 0. Both outputs are new BSTRs the caller frees.
    virtual void Format(BSTR& aOutput, BSTR& aErrorMessage, std::int16_t& aResult) = 0;
    virtual void Process(const Text& aXml) = 0;

    static Text EscapeXml(const Text& aText);

    // The open device of the request's Handle (1 or more), or, with aAllowCreate and no handle, a new
    // device of the request's Driver under the next handle. aCreated tells which one it was.
    // Raises "Device Handle not found", "Payment Device has not previously opened" or
    // "Payment Driver [name] not registered.".
    std::shared_ptr<kPaymentDevice> GetDevice(bool aAllowCreate, bool* aCreated = nullptr);

    kPaymentHandler& Handler() const { return *fHandler; }

protected:
    std::unique_ptr<kPaymentHandler> fHandler;
};

// The result documents, one per record type (PAY and VERIFYTRAN share one).
Text PayResultDocument(const _int_PAY_result& aResult);
Text ReprintResultDocument(const _int_REPRINT_result& aResult);
Text OpenResultDocument(const _int_OPEN_result& aResult);
Text CloseResultDocument(const _int_CLOSE_result& aResult);
Text CancelResultDocument(const _int_CANCEL_result& aResult);
Text GetStatusResultDocument(const _int_GETSTATUS_result& aResult);
Text DayCloseResultDocument(const _int_DAYCLOSE_result& aResult);
Text GetTotalsResultDocument(const _int_GETTOTALS_result& aResult);

// The three outputs of Format; nothing is handed out unless both texts were allocated.
void WriteCommandOutputs(const Text& aDocument, bool aError, const Text& aErrorText, BSTR& aOutput,
                         BSTR& aErrorMessage, std::int16_t& aResult);

// A command whose record is TResult, written by Document.
template <typename TResult, Text (*Document)(const TResult&)> class kPaymentCommand : public kPaymentWrapper {
public:
    void ClearResult() override {
        fResult = TResult();
        fResult.Error = true;
    }
    void Format(BSTR& aOutput, BSTR& aErrorMessage, std::int16_t& aResult) override {
        WriteCommandOutputs(Document(fResult), fResult.Error, fResult.ErrorText, aOutput, aErrorMessage,
                            aResult);
    }
    TResult fResult;
};

class kPaymentWrapper_PAY : public kPaymentCommand<_int_PAY_result, PayResultDocument> {
public:
    // Also sets TransactionType and PaymentNetwork to "Other".
    void ClearResult() override;
    void Process(const Text& aXml) override;
};

// VERIFYTRAN answers with PAY's record and document.
class kPaymentWrapper_VERIFYTRAN : public kPaymentWrapper_PAY {
public:
    void Process(const Text& aXml) override;
};

class kPaymentWrapper_REPRINT : public kPaymentCommand<_int_REPRINT_result, ReprintResultDocument> {
public:
    void Process(const Text& aXml) override;
};

class kPaymentWrapper_OPEN : public kPaymentCommand<_int_OPEN_result, OpenResultDocument> {
public:
    void Process(const Text& aXml) override;
};

class kPaymentWrapper_CLOSE : public kPaymentCommand<_int_CLOSE_result, CloseResultDocument> {
public:
    void Process(const Text& aXml) override;
};

// CANCEL: ends the waits of the running commands on the request's Handle, or of every running command
// when the request names none (Handle absent, 0 or negative). Returns at once with their number in
// Cancelled; each cancelled command returns within a second ("Not performed: ..." when its request
// had not been sent to the terminal, else an unknown outcome). Fails only for a request that cannot
// be read.
class kPaymentWrapper_CANCEL : public kPaymentCommand<_int_CANCEL_result, CancelResultDocument> {
public:
    void Process(const Text& aXml) override;
};

class kPaymentWrapper_GETSTATUS : public kPaymentCommand<_int_GETSTATUS_result, GetStatusResultDocument> {
public:
    void Process(const Text& aXml) override;
};

class kPaymentWrapper_DAYCLOSE : public kPaymentCommand<_int_DAYCLOSE_result, DayCloseResultDocument> {
public:
    void Process(const Text& aXml) override;
};

class kPaymentWrapper_GETTOTALS : public kPaymentCommand<_int_GETTOTALS_result, GetTotalsResultDocument> {
public:
    void Process(const Text& aXml) override;
};

// VERSION: the version text of the driver registered as aDriverName. 0 with aVersion set, or -1 with
// aErrorMessage "Driver [name] not found" (or the message of an error on the way).
std::int32_t DriverVersion(const Text& aDriverName, Text& aVersion, Text& aErrorMessage);
