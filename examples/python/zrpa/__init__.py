"""zrpa: the payment-terminal driver library from Python (ctypes).

    from decimal import Decimal
    from zrpa import Terminal

    with Terminal(tcp="127.0.0.1:5017") as terminal:   # OPEN ... CLOSE
        payment = terminal.pay(Decimal("12.34"))
        terminal.void(payment.refund_reference)

The library is found through ZRPA_LIBRARY, else the one a wheel carries, else by its file name on the
system's search path. Its logs go under ZRPA_LOG_DIR when set, else under the folder the program names
(Terminal(log_dir=...)), else under the user's own folder ($XDG_STATE_HOME/zrpa or ~/.local/state/zrpa;
%LOCALAPPDATA%\\zrpa on Windows): Terminal.log_folder says which.
"""
from .errors import InvalidAmountError, NotPerformedError, OutcomeUnknownError, ZrpaError
from .results import Payment, Receipt, Totals
from .terminal import Terminal

__all__ = ["Terminal", "Payment", "Receipt", "Totals", "ZrpaError", "OutcomeUnknownError", "NotPerformedError",
           "InvalidAmountError"]
