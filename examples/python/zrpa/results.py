"""The result documents as dataclasses: amounts as Decimal, date-times as datetime."""
import datetime
import re
from dataclasses import dataclass, field
from decimal import Decimal
from typing import Dict, Optional

_ELEMENT = re.compile(r"<([A-Za-z]+)>(.*?)</\1>", re.S)
_ENTITIES = {"&lt;": "<", "&gt;": ">", "&quot;": '"', "&apos;": "'", "&amp;": "&"}
_UNSET_DATE = "1899-12-30T00:00:00"


def parse_document(document):
    """The elements of a flat result document (no root element) as a dict of unescaped texts."""
    fields = {}
    for name, value in _ELEMENT.findall(document):
        fields[name] = re.sub(r"&(lt|gt|quot|apos|amp);", lambda m: _ENTITIES[m.group(0)], value)
    return fields


def _amount(text):
    return Decimal(text or "0")


def _date_time(text):
    return None if not text or text == _UNSET_DATE else datetime.datetime.fromisoformat(text)


@dataclass
class Payment:
    """A payment, refund or void."""

    amount: Decimal
    currency: str
    date_time: Optional[datetime.datetime]
    number: str
    device_id: str
    masked_pan: str
    network: str
    transaction_type: str
    auth_code: str
    trace_audit_id: str
    refund_reference: str
    receipt_text: str
    log_file: str
    fields: Dict[str, str] = field(repr=False)

    @classmethod
    def from_fields(cls, f):
        return cls(amount=_amount(f.get("PaymentAmount")), currency=f.get("PaymentCurrency", ""),
                   date_time=_date_time(f.get("PaymentDateTime")), number=f.get("PaymentNumber", ""),
                   device_id=f.get("DeviceId", ""), masked_pan=f.get("MaskedPAN", ""),
                   network=f.get("PaymentNetwork", ""), transaction_type=f.get("TransactionType", ""),
                   auth_code=f.get("AuthCode", ""), trace_audit_id=f.get("TraceAuditId", ""),
                   refund_reference=f.get("RefundReference", ""), receipt_text=f.get("ReceiptText", ""),
                   log_file=f.get("LogFileName", ""), fields=f)


@dataclass
class Receipt:
    """A reprint of the last receipt."""

    receipt_text: str
    cashier_receipt_text: str
    fields: Dict[str, str] = field(repr=False)

    @classmethod
    def from_fields(cls, f):
        return cls(receipt_text=f.get("ReceiptText", ""), cashier_receipt_text=f.get("CashierReceiptText", ""),
                   fields=f)


@dataclass
class Totals:
    """The totals of the accounting period (GETTOTALS), or of the one just closed (DAYCLOSE)."""

    device_id: str
    date_time: Optional[datetime.datetime]
    transactions_count: int
    total_amount: Decimal
    currency: str
    receipt_text: str
    log_file: str
    closure_number: str = ""
    fields: Dict[str, str] = field(default_factory=dict, repr=False)

    @classmethod
    def from_fields(cls, f):
        return cls(device_id=f.get("DeviceId", ""),
                   date_time=_date_time(f.get("DateTime") or f.get("ClosureDateTime")),
                   transactions_count=int(f.get("TransactionsCount") or 0),
                   total_amount=_amount(f.get("TotalAmount")), currency=f.get("Currency", ""),
                   receipt_text=f.get("ReceiptText", ""), log_file=f.get("LogFileName", ""),
                   closure_number=f.get("ClosureNumber", ""), fields=f)
