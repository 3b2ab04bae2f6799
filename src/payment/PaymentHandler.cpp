// The command sections of a request and the request handler of the commands.
#include "base/ZrError.h"
#include "payment/Payment.h"
#include "payment/Receipt.h"
#include "payment/Xml.h"

namespace {

// An empty element keeps the current value.
ZrPrintLocation ReadPrintLocation(const XmlElement& aSection, ZrPrintLocation aCurrent) {
    const Text text = krptUtil::GetNodeValueAsString(aSection, u"PrintLocation");
    if (text.empty()) {
        return aCurrent;
    }
    if (text == u"ECR") {
        return ZrPrintLocation::pl_ECR;
    }
    if (text == u"EFT") {
        return ZrPrintLocation::pl_EFT;
    }
    throw ZrError(u"Payment Location " + CutValue(text) + u" invalid. Allowed values are: ECR,EFT.");
}

ZrPaymentChannel ReadPaymentChannel(const XmlElement& aSection) {
    const Text text = krptUtil::GetNodeValueAsString(aSection, u"PaymentChannel");
    if (text.empty() || text == u"STD") {
        return ZrPaymentChannel::pc_Standard;
    }
    if (text == u"MVP") {
        return ZrPaymentChannel::pc_MealVoucherProvider;
    }
    if (text == u"NHS") {
        return ZrPaymentChannel::pc_NationalHealthService;
    }
    throw ZrError(u"Payment Channel " + CutValue(text) + u" invalid. Allowed values are: STD,MVP,NHS.");
}

zrPaymentAction ReadAction(const XmlElement& aSection) {
    const Text text = krptUtil::GetNodeValueAsString(aSection, u"Action");
    if (text.empty() || text == u"PAY") {
        return zrPaymentAction::pa_Pay;
    }
    if (text == u"REFUND") {
        return zrPaymentAction::pa_Refund;
    }
    if (text == u"VOID") {
        return zrPaymentAction::pa_Void;
    }
    throw ZrError(u"Action " + CutValue(text) + u" invalid. Allowed values are: PAY,REFUND,VOID.");
}

zrPaymentPhase ReadPhase(const XmlElement& aSection) {
    const Text text = krptUtil::GetNodeValueAsString(aSection, u"Phase");
    if (text.empty() || text == u"NONE") {
        return zrPaymentPhase::pp_None;
    }
    if (text == u"BEGIN") {
        return zrPaymentPhase::pp_Begin;
    }
    if (text == u"DO") {
        return zrPaymentPhase::pp_Do;
    }
    if (text == u"COMMIT") {
        return zrPaymentPhase::pp_Commit;
    }
    if (text == u"ROLLBACK") {
        return zrPaymentPhase::pp_Rollback;
    }
    throw ZrError(u"Phase " + CutValue(text) + u" invalid. Allowed values are: BEGIN,DO,COMMIT,ROLLBACK.");
}

// Any case; an unknown text is a receipt.
zrPaymentDocumentType ReadDocumentType(const XmlElement& aSection) {
    const Text text = LowerCase(krptUtil::GetNodeValueAsString(aSection, u"DocumentType"));
    if (text == u"invoice") {
        return zrPaymentDocumentType::dt_invoice;
    }
    if (text == u"taxfree") {
        return zrPaymentDocumentType::dt_taxfree;
    }
    return zrPaymentDocumentType::dt_receipt;
}

template <typename Section>
void LoadClosingSection(Section& aSection, const XmlElement& aRoot, TextView aName, const Text& aMissing) {
    const XmlElement* section = aRoot.Child(aName);
    if (section == nullptr) {
        throw ZrError(aMissing);
    }
    aSection.fStoreCode = krptUtil::GetNodeValueAsString(*section, u"StoreCode");
    aSection.fTillCode = krptUtil::GetNodeValueAsString(*section, u"TillCode");
    aSection.fPrintLocation = ReadPrintLocation(*section, aSection.fPrintLocation);
    aSection.fReference = krptUtil::GetNodeValueAsString(*section, u"Reference");
}

// A payment or refund whose amount was left out must not reach the terminal as 0.00: the terminal
// approves it and the till records a sale as paid. An explicit 0 is the host's own choice.
void CheckAmountGiven(const XmlElement& aRoot, zrPaymentAction aAction) {
    if (aAction != zrPaymentAction::pa_Pay && aAction != zrPaymentAction::pa_Refund) {
        return;
    }
    // The section the request was read from, in the reader's order.
    const XmlElement* section = nullptr;
    for (const char16_t* name : {u"Payment", u"Reprint", u"VerifyTran"}) {
        section = section != nullptr ? section : aRoot.Child(name);
    }
    if (section == nullptr) {
        return;
    }
    const Text action = aAction == zrPaymentAction::pa_Pay ? u"PAY" : u"REFUND";
    const XmlElement* amount = section->Child(u"Amount");
    if (amount == nullptr) {
        throw ZrError(u"Amount missing. A " + action + u" needs the Amount element in its " +
                      section->Name() + u" section, e.g. <Amount>12.34</Amount>.");
    }
    if (amount->GetText().empty()) {
        throw ZrError(u"Amount missing. The Amount element of the " + action +
                      u" is empty; write the amount, e.g. <Amount>12.34</Amount>.");
    }
}

} // namespace

void kPaymentReceipt::LoadFromDocument(const XmlElement& aRoot) {
    const XmlElement* section = aRoot.Child(u"Payment");
    if (section == nullptr) {
        section = aRoot.Child(u"Reprint");
    }
    if (section == nullptr) {
        section = aRoot.Child(u"VerifyTran");
    }
    if (section == nullptr) {
        throw ZrError(u"Payment/Reprint/VerifyTran node not found");
    }
    const XmlElement& s = *section;
    fMerchantCode = krptUtil::GetNodeValueAsString(s, u"MerchantCode");
    fStoreCode = krptUtil::GetNodeValueAsString(s, u"StoreCode");
    fTillCode = krptUtil::GetNodeValueAsString(s, u"TillCode");
    fReference = krptUtil::GetNodeValueAsString(s, u"Reference");
    fReceiptSubType = krptUtil::GetNodeValueAsString(s, u"ReceiptSubType");
    fAmount = krptUtil::GetNodeValueAsCurrency(s, u"Amount");
    fCurrency = krptUtil::GetNodeValueAsString(s, u"Currency");
    fTipAmount = krptUtil::GetNodeValueAsCurrency(s, u"TipAmount");
    fRequestTipAmount = krptUtil::GetNodeValueAsBoolean(s, u"RequestTipAmount", false);
    fAttributes = krptUtil::GetNodeValueAsString(s, u"Attributes");
    fMaxItems = krptUtil::GetNodeValueAsInteger(s, u"MaxItems");
    fMaxAmount = krptUtil::GetNodeValueAsCurrency(s, u"MaxAmount");
    fTokenizeCard = krptUtil::GetNodeValueAsBoolean(s, u"TokenizeCard", false);
    fTokenReference = krptUtil::GetNodeValueAsString(s, u"TokenReference");
    fDocumentAmount = krptUtil::GetNodeValueAsCurrency(s, u"DocumentAmount");
    fDocumentNetAmount = krptUtil::GetNodeValueAsCurrency(s, u"DocumentNetAmount");
    fDocumentVatAmount = krptUtil::GetNodeValueAsCurrency(s, u"DocumentVatAmount");
    fDocumentType = ReadDocumentType(s);
    const std::int32_t colCount = krptUtil::GetNodeValueAsInteger(s, u"ReceiptColCount");
    if (colCount > 0) {
        fReceiptColCount = colCount;
    }
    fPrintLocation = ReadPrintLocation(s, fPrintLocation);
    fPaymentChannel = ReadPaymentChannel(s);
    fAction = ReadAction(s);
    fPhase = ReadPhase(s);
    fOperatorId = krptUtil::GetNodeValueAsString(s, u"OperatorId");
    if (const XmlElement* refund = s.Child(u"RefundReference")) {
        fRefundReference.PaymentNumber = krptUtil::GetNodeValueAsString(*refund, u"PaymentId");
        fRefundReference.PaymentDateTime = krptUtil::GetNodeValueAsDateTime(*refund, u"PaymentDateTime");
    }
    fReceiptId = krptUtil::GetNodeValueAsString(s, u"ReceiptId");
}

void kPaymentDayClose::LoadFromDocument(const XmlElement& aRoot) {
    LoadClosingSection(*this, aRoot, u"DayClose", u"DayClose node not found");
}

void kPaymentTotals::LoadFromDocument(const XmlElement& aRoot) {
    LoadClosingSection(*this, aRoot, u"GetTotals", u"GetTotals node not found");
}

kPaymentHandler::kPaymentHandler()
    : fPaymentReceipt(std::make_unique<kPaymentReceipt>()), fDayClose(std::make_unique<kPaymentDayClose>()),
      fTotals(std::make_unique<kPaymentTotals>()) {}

kPaymentHandler::~kPaymentHandler() = default;

void kPaymentHandler::Deserialize(const Text& aXml, zrPaymentHandlerDocumentTypes aDocumentTypes) {
    const std::unique_ptr<XmlDocument> document = kDeviceHandler::Deserialize(aXml);
    const XmlElement& root = *document->Root();
    using T = zrPaymentHandlerDocumentType;
    if (aDocumentTypes.Contains(T::dt_Pay) || aDocumentTypes.Contains(T::dt_PayReprint) ||
        aDocumentTypes.Contains(T::dt_VerifyTran)) {
        fPaymentReceipt->LoadFromDocument(root);
        if (aDocumentTypes.Contains(T::dt_Pay)) {
            CheckAmountGiven(root, fPaymentReceipt->fAction);
        }
    } else if (aDocumentTypes.Contains(T::dt_DayClose)) {
        fDayClose->LoadFromDocument(root);
    } else if (aDocumentTypes.Contains(T::dt_GetTotals)) {
        fTotals->LoadFromDocument(root);
    }
}
