# Type hints of errors.py.
from typing import Any, Dict

OUTCOME_UNKNOWN_PREFIX: str
NOT_PERFORMED_PREFIX: str

class ZrpaError(Exception):
    command: str
    text: str
    fields: Dict[str, str]
    def __init__(self, command: str, text: str, fields: Dict[str, str]) -> None: ...

class OutcomeUnknownError(ZrpaError): ...

class NotPerformedError(ZrpaError): ...

class InvalidAmountError(ValueError):
    value: Any
    def __init__(self, value: Any) -> None: ...

def error_for(command: str, text: str, fields: Dict[str, str]) -> ZrpaError: ...
