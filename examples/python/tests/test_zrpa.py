import datetime
import os
import subprocess
import sys
import threading
import time
from decimal import Decimal

import pytest

from zrpa import NotPerformedError, OutcomeUnknownError, Payment, Terminal, Totals, ZrpaError
from zrpa.errors import error_for
from zrpa.results import parse_document


def test_a_day_at_the_till_on_an_open_device(emulator):
    address = emulator("--void-check")
    with Terminal(tcp=address) as terminal:
        assert terminal.handle
        payment = terminal.pay(Decimal("12.34"), reference="R-0001")
        assert isinstance(payment, Payment)
        assert payment.amount == Decimal("12.34") and payment.currency == "EUR"
        assert isinstance(payment.date_time, datetime.datetime)
        assert len(payment.refund_reference) == 34
        assert "12,34" in payment.receipt_text and "\r\n" in payment.receipt_text

        voided = terminal.void(payment.refund_reference)
        assert "ANNULL" in voided.receipt_text
        refund = terminal.refund("5.00")
        assert refund.amount == Decimal("5")
        assert terminal.reprint().receipt_text.endswith("\r\n")

        totals = terminal.totals()
        assert isinstance(totals, Totals) and totals.total_amount == Decimal("-5")
        closed = terminal.dayclose()
        assert closed.total_amount == Decimal("-5")
        assert terminal.version().startswith("Version ")
    assert terminal.handle is None


def test_a_command_without_open_uses_a_device_of_its_own(emulator):
    payment = Terminal(tcp=emulator(), print_location="EFT").pay(1)
    assert payment.amount == Decimal("1") and payment.receipt_text == ""


@pytest.mark.parametrize("options, amount, expected", [
    (("--decline",), "10", "OPERAZIONE RIFIUTATA"),
    ((), "1000000", "Amount 1000000 invalid. Allowed values are: 0 to 999999.99."),
])
def test_failures_raise_with_the_error_text_and_the_document(emulator, options, amount, expected):
    with pytest.raises(ZrpaError) as failure:
        Terminal(tcp=emulator(*options)).pay(amount)
    assert not isinstance(failure.value, OutcomeUnknownError)
    assert failure.value.text.rstrip() == expected  # a decline text is the terminal's 24 characters
    assert failure.value.fields["Error"] == "True"


def test_texts_cross_as_utf16_both_ways(emulator):
    # U+20AC cannot be sent to the terminal: the refusal quotes the reference as the library received it.
    with pytest.raises(ZrpaError) as failure:
        Terminal(tcp=emulator()).pay(1, reference="Caffè €")
    assert failure.value.text.startswith("Reference [Caffè €] invalid: the character U+20AC at position 7")


def test_an_unreachable_terminal_is_an_ordinary_error():
    with pytest.raises(ZrpaError) as failure:
        Terminal(tcp="127.0.0.1:1", connect_timeout_ms=500).pay(1)
    assert failure.value.text == "Unable to connect to device 127.0.0.1:1"


def test_cancel_from_another_thread_and_the_time_limit(emulator):
    # Silent for payments only: before a payment the library may read the terminal's total and last receipt
    # (the first time, or to settle the cancelled one), and that reading is answered.
    address = emulator("--fault", "silence", "--fault-on", "X")
    with Terminal(tcp=address, print_location="EFT", command_timeout_ms=60000) as terminal:
        outcome = []

        def pay():
            try:
                terminal.pay(1)
            except ZrpaError as e:
                outcome.append(e)

        payer = threading.Thread(target=pay)
        payer.start()
        reached = 0
        for _ in range(500):  # until the PAY is inside the library (bounded)
            reached = terminal.cancel()
            if reached:
                break
            time.sleep(0.01)
        payer.join(timeout=30)
        assert reached == 1 and not payer.is_alive()
        assert isinstance(outcome[0], (OutcomeUnknownError, NotPerformedError)), outcome[0].text
    with pytest.raises(OutcomeUnknownError) as limited:
        Terminal(tcp=address, print_location="EFT", command_timeout_ms=300).pay(1)
    assert "(its time limit of 300 ms passed)" in limited.value.text


@pytest.mark.parametrize("text, kind", [
    ("Not performed: the request was not sent to the terminal (cancelled by the host).", NotPerformedError),
    ("Outcome unknown: no answer from the terminal", OutcomeUnknownError),
    ("Outcome unknown", OutcomeUnknownError),
    ("outcome unknown", ZrpaError),
    ("Errore", ZrpaError),
    ("", ZrpaError),
])
def test_outcome_unknown_is_told_apart_by_its_text(text, kind):
    error = error_for("PAY", text, {})
    assert type(error) is kind and error.text == text


@pytest.mark.parametrize("bad", [
    dict(tcp="127.0.0.1"), dict(tcp="host:port"), dict(), dict(tcp="127.0.0.1:1", serial="COM1"),
])
def test_a_connection_is_given_exactly_once_and_well_formed(bad):
    with pytest.raises(ValueError):
        Terminal(**bad)


def test_amounts_are_never_floats():
    with pytest.raises(TypeError):
        Terminal(tcp="127.0.0.1:1").pay(12.34)


def test_documents_are_read_without_a_root_element():
    fields = parse_document("<A>x &amp; &lt;y&gt; &apos;z&apos;</A>\r\n<B>line 1\r\nline 2</B>\r\n<C></C>")
    assert fields == {"A": "x & <y> 'z'", "B": "line 1\r\nline 2", "C": ""}


@pytest.mark.parametrize("amount", ["12,34", "", "1.2.3", "abc", "NaN", "Infinity", None, [1]])
def test_a_malformed_amount_raises_the_packages_error_naming_it(amount):
    from zrpa import InvalidAmountError
    with pytest.raises(InvalidAmountError) as failure:
        Terminal(tcp="127.0.0.1:9").pay(amount)  # refused before any request
    assert repr(amount) in str(failure.value) and failure.value.value == amount


@pytest.mark.parametrize("module", ["terminal", "results", "errors", "_library"])
def test_the_type_hints_name_every_public_function_and_class(module):
    # The hints live in .pyi stubs beside the modules: a function or class added without one would be
    # invisible to type checkers.
    import ast
    import importlib
    import inspect
    import pathlib
    real = importlib.import_module(f"zrpa.{module}")
    stub = ast.parse((pathlib.Path(real.__file__).with_suffix(".pyi")).read_text())
    hinted = {node.name: {n.name for n in node.body if isinstance(n, ast.FunctionDef)}
              for node in stub.body if isinstance(node, (ast.ClassDef, ast.FunctionDef))}
    for name, value in vars(real).items():
        if name.startswith("_") or getattr(value, "__module__", None) != real.__name__:
            continue
        assert name in hinted, f"{module}.{name} has no type hints"
        if inspect.isclass(value):
            methods = {m for m, f in vars(value).items() if (callable(f) or isinstance(f, classmethod))
                       and (not m.startswith("_") or m in ("__enter__", "__exit__"))}
            assert methods <= hinted[name], f"{module}.{name}: no hints for {methods - hinted[name]}"
    assert (pathlib.Path(real.__file__).parent / "py.typed").is_file()


_SHOW_LOG_FOLDER = """
import sys
from zrpa import Terminal
terminal = Terminal(tcp=sys.argv[1], log_dir=sys.argv[2] or None)
print(terminal.log_folder)
print(terminal.pay(1).log_file)
"""


@pytest.mark.parametrize("variable, named, expected", [
    (None, None, "state/zrpa"),         # the user's own folder, never beside the interpreter
    (None, "named", "named"),           # the folder the program names
    ("operator", "named", "operator"),  # ZRPA_LOG_DIR wins
])
def test_the_logs_go_to_a_folder_of_the_user_and_the_package_says_which(emulator, tmp_path, variable, named,
                                                                        expected):
    env = {k: v for k, v in os.environ.items() if k != "ZRPA_LOG_DIR"}
    env["XDG_STATE_HOME"] = str(tmp_path / "state")
    env["PYTHONPATH"] = os.pathsep.join([str(os.path.dirname(os.path.dirname(__file__))), env.get("PYTHONPATH", "")])
    if variable:
        env["ZRPA_LOG_DIR"] = str(tmp_path / variable)
    shown = subprocess.run([sys.executable, "-c", _SHOW_LOG_FOLDER, emulator(), str(tmp_path / named) if named else ""],
                           env=env, capture_output=True, text=True, timeout=120)
    assert shown.returncode == 0, shown.stderr
    folder, log_file = shown.stdout.splitlines()
    assert folder == str(tmp_path / expected / "LogFiles")
    assert log_file.startswith(os.path.join(folder, "Payment", "ZRPA_RIVEVEDEV17_10_zrpa_"))
    assert os.path.isfile(log_file)
