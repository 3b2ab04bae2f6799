"""Terminal: one payment terminal reached over TCP or a serial line."""
from decimal import Decimal, InvalidOperation
from xml.sax.saxutils import escape

from ._library import Library
from .errors import InvalidAmountError, error_for
from .results import Payment, Receipt, Totals, parse_document

DRIVER = "ZRPA_RIVEVEDEV17_10"


class Terminal:
    """Commands on one terminal. As a context manager the device is opened once (OPEN) and closed at the
    end (CLOSE); otherwise each command builds and frees a device of its own.

    tcp: "address:port". serial: "COM1" (on Linux the device named by ZRPA_SERIAL_COM1, else /dev/ttyS0),
    with speed, data_bits, parity, stop_bits. print_location: "ECR" (the receipt text comes back) or "EFT"
    (the terminal prints it). command_timeout_ms: the longest one command may wait for the terminal (0:
    the protocol's own waits); cancel() stops a command from another thread. log_dir: the folder to log
    under when ZRPA_LOG_DIR is not set (default: the user's own, see zrpa._library.default_log_dir);
    log_folder says where the logs go.
    """

    def __init__(self, tcp=None, serial=None, *, speed=9600, data_bits=8, parity="NONE", stop_bits=1,
                 till_code=1, currency="EUR", print_location="ECR", log_id="zrpa", connect_timeout_ms=3000,
                 command_timeout_ms=0, library=None, log_dir=None):
        if (tcp is None) == (serial is None):
            raise ValueError("give exactly one of tcp='address:port' or serial='COMn'")
        if tcp is not None:
            address, _, port = str(tcp).rpartition(":")
            if not address or not port.isdigit():
                raise ValueError(f"tcp {tcp!r} is not 'address:port'")
            connection = (f"<Type>TCP</Type><Address>{escape(address)}</Address><Port>{port}</Port>")
        else:
            connection = (f"<Type>SERIAL</Type><SerialPort>{escape(serial)}</SerialPort><Speed>{int(speed)}</Speed>"
                          f"<DataBits>{int(data_bits)}</DataBits><Parity>{escape(parity)}</Parity>"
                          f"<StopBits>{int(stop_bits)}</StopBits>")
        self._envelope = (f"<Driver>{DRIVER}</Driver><LogId>{escape(log_id)}</LogId><Connection>{connection}"
                          f"<ConnectTimeout>{int(connect_timeout_ms)}</ConnectTimeout></Connection>"
                          f"<Parameters><CommandTimeout>{int(command_timeout_ms)}</CommandTimeout></Parameters>")
        self._till_code = int(till_code)
        self._currency = currency
        self._print_location = print_location
        self._library = library if isinstance(library, Library) else Library(library, log_dir=log_dir)
        self.handle = None

    @property
    def log_folder(self):
        """The LogFiles folder the library logs to: its application log, and Payment/ with the device logs."""
        return self._library.log_folder

    # --- device life ------------------------------------------------------------------------------
    def open(self):
        """OPEN: builds the device (it does not connect); later commands use it."""
        if self.handle is None:
            self.handle = self._run("OPEN", "")["Handle"]

    def close(self):
        """CLOSE of the device opened by open()."""
        if self.handle is not None:
            try:
                self._run("CLOSE", "")
            finally:
                self.handle = None

    def __enter__(self):
        self.open()
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    # --- commands ---------------------------------------------------------------------------------
    def pay(self, amount, reference=""):
        """A payment of amount (Decimal, int or str; never a float)."""
        return Payment.from_fields(self._payment("PAY", f"<Amount>{_amount_text(amount)}</Amount>"
                                                 f"<Reference>{escape(reference)}</Reference>"))

    def refund(self, amount):
        """A refund of amount, not tied to an earlier payment."""
        return Payment.from_fields(self._payment("REFUND", f"<Amount>{_amount_text(amount)}</Amount>"))

    def void(self, refund_reference):
        """The void of an earlier payment, named by its Payment.refund_reference."""
        return Payment.from_fields(self._payment(
            "VOID", f"<RefundReference><PaymentId>{escape(refund_reference)}</PaymentId></RefundReference>"))

    def reprint(self):
        """The terminal's last receipt."""
        section = f"<Reprint><PrintLocation>{self._print_location}</PrintLocation></Reprint>"
        return Receipt.from_fields(self._run("REPRINT", section))

    def totals(self):
        """The totals of the current accounting period."""
        return Totals.from_fields(self._run("GETTOTALS", f"<GetTotals>{self._period()}</GetTotals>"))

    def dayclose(self):
        """Closes the accounting period; returns its totals."""
        return Totals.from_fields(self._run("DAYCLOSE", f"<DayClose>{self._period()}</DayClose>"))

    def cancel(self, every_command=False):
        """CANCEL, from any thread: the command running on this terminal's device (opened with open()), or
        every command the library runs when every_command is true or no device is open. The cancelled
        command raises NotPerformedError (nothing reached the terminal) or OutcomeUnknownError within a
        second. Returns how many commands were reached."""
        handle = "" if every_command or self.handle is None else f"<Handle>{self.handle}</Handle>"
        result, document, error = self._library.call("CANCEL", f"<Cancel>{handle}</Cancel>")
        fields = parse_document(document)
        if result != 0:
            raise error_for("CANCEL", error, fields)
        return int(fields["Cancelled"])

    def version(self):
        """The driver's version text."""
        result, text, error = self._library.call("VERSION", DRIVER)
        if result != 0:
            raise error_for("VERSION", error, {})
        return text

    # --- requests ---------------------------------------------------------------------------------
    def _period(self):
        return f"<TillCode>{self._till_code}</TillCode><PrintLocation>{self._print_location}</PrintLocation>"

    def _payment(self, action, fields):
        return self._run("PAY", f"<Payment><Action>{action}</Action><Currency>{escape(self._currency)}</Currency>"
                                f"{self._period()}{fields}</Payment>")

    def _run(self, command, section):
        handle = f"<Handle>{self.handle}</Handle>" if self.handle is not None else ""
        request = f'<ReceiptPrinterManager Version="1.0">{handle}{self._envelope}{section}</ReceiptPrinterManager>'
        result, document, error = self._library.call(command, request)
        fields = parse_document(document)
        if result != 0:
            raise error_for(command, error, fields)
        return fields


def _amount_text(amount):
    if isinstance(amount, float):
        raise TypeError("give amounts as Decimal, int or str: a float cannot hold cents exactly")
    try:
        value = Decimal(amount)
    except (InvalidOperation, TypeError, ValueError):
        raise InvalidAmountError(amount) from None
    if not value.is_finite():
        raise InvalidAmountError(amount)
    return format(value, "f")
