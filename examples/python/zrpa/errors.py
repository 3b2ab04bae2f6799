"""Failed commands as exceptions."""

OUTCOME_UNKNOWN_PREFIX = "Outcome unknown"
NOT_PERFORMED_PREFIX = "Not performed:"


class ZrpaError(Exception):
    """A command failed. text: the library's error text; fields: the whole result document."""

    def __init__(self, command, text, fields):
        super().__init__(f"{command} failed: {text}" if text else f"{command} failed without an error text")
        self.command = command
        self.text = text
        self.fields = fields


class OutcomeUnknownError(ZrpaError):
    """The request reached the terminal but its answer did not come back: the payment may have been
    approved. Do not charge again before checking (the device log, or the terminal's totals)."""


class NotPerformedError(ZrpaError):
    """The command was cancelled (cancel(), or its time limit) before its request reached the terminal:
    nothing happened there, and it is safe to try again."""


def error_for(command, text, fields):
    """The exception for a failed command: OutcomeUnknownError or NotPerformedError when the error text
    says so."""
    kind = (OutcomeUnknownError if text.startswith(OUTCOME_UNKNOWN_PREFIX)
            else NotPerformedError if text.startswith(NOT_PERFORMED_PREFIX) else ZrpaError)
    return kind(command, text, fields)


class InvalidAmountError(ValueError):
    """An amount that is not a decimal number (such as "12,34"): no request was made. value: the amount."""

    def __init__(self, value):
        super().__init__(f"amount {value!r} is not a decimal number such as 12.34")
        self.value = value
