# Type hints of results.py.
import datetime
from decimal import Decimal
from typing import Dict, Optional

def parse_document(document: str) -> Dict[str, str]: ...

class Payment:
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
    fields: Dict[str, str]
    @classmethod
    def from_fields(cls, f: Dict[str, str]) -> "Payment": ...

class Receipt:
    receipt_text: str
    cashier_receipt_text: str
    fields: Dict[str, str]
    @classmethod
    def from_fields(cls, f: Dict[str, str]) -> "Receipt": ...

class Totals:
    device_id: str
    date_time: Optional[datetime.datetime]
    transactions_count: int
    total_amount: Decimal
    currency: str
    receipt_text: str
    log_file: str
    closure_number: str
    fields: Dict[str, str]
    @classmethod
    def from_fields(cls, f: Dict[str, str]) -> "Totals": ...
