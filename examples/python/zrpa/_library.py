"""The library loaded with ctypes, and BSTRs made and read through the right functions.

BSTRs are UTF-16 with a 32-bit length before the text. ctypes' c_wchar_p is not one (it is UTF-32 on
Linux and has no length prefix), so requests are made with SysAllocStringLen and outputs are read with
SysStringLen and freed with SysFreeString: the library's own on Linux, oleaut32's on Windows.
"""
import ctypes
import os
import sys

COMMANDS = ("PAY", "REPRINT", "OPEN", "CLOSE", "GETSTATUS", "DAYCLOSE", "GETTOTALS", "VERIFYTRAN", "CANCEL")


_log_dir_at_load = None  # the folder the library was loaded with: it reads ZRPA_LOG_DIR once, at its load


def default_log_dir():
    """The user's own folder for the logs of this package: %LOCALAPPDATA%\\zrpa on Windows,
    $XDG_STATE_HOME/zrpa or ~/.local/state/zrpa elsewhere. Never beside the interpreter, which every
    virtual environment shares."""
    if sys.platform == "win32":
        base = os.environ.get("LOCALAPPDATA") or os.path.join(os.path.expanduser("~"), "AppData", "Local")
    else:
        state = os.environ.get("XDG_STATE_HOME", "")
        base = state if os.path.isabs(state) else os.path.join(os.path.expanduser("~"), ".local", "state")
    return os.path.join(base, "zrpa")


def _choose_log_dir(log_dir):
    """ZRPA_LOG_DIR when set (the operator's choice), else log_dir (the program's), else default_log_dir().
    The library is told through ZRPA_LOG_DIR before its first load in the process, and writes under
    <folder>/LogFiles from then on: a later choice changes nothing, and the folder returned says so."""
    global _log_dir_at_load
    if _log_dir_at_load is None:
        chosen = os.environ.get("ZRPA_LOG_DIR") or (os.fspath(log_dir) if log_dir else default_log_dir())
        os.environ["ZRPA_LOG_DIR"] = chosen
        try:
            os.makedirs(chosen, mode=0o700, exist_ok=True)
        except OSError:
            pass  # the library then says on standard error where it logs instead, or that it cannot
        _log_dir_at_load = chosen
    return _log_dir_at_load


def default_path():
    """ZRPA_LIBRARY when set, else the library a wheel carries in _native, else the library's file name for
    the system's search path."""
    if os.environ.get("ZRPA_LIBRARY"):
        return os.environ["ZRPA_LIBRARY"]
    name = "ZRPA_RIVEVEDEV17_10.dll" if sys.platform == "win32" else "libZRPA_RIVEVEDEV17_10.so.1"
    bundled = os.path.join(os.path.dirname(os.path.abspath(__file__)), "_native", name)
    return bundled if os.path.isfile(bundled) else name


class Library:
    """The ten exports of one loaded library. Calls return (result, output text, error text).

    log_folder is the LogFiles folder the library was asked to log to (see _choose_log_dir); should it
    not be writable, the library falls back to the user's folder of its own, or keeps no log, and each
    result's LogFileName names the file really written (empty without one).
    """

    def __init__(self, path=None, log_dir=None):
        path = path or default_path()
        self.log_folder = os.path.join(_choose_log_dir(log_dir), "LogFiles")
        if sys.platform == "win32":
            self._dll = ctypes.WinDLL(path)  # __stdcall exports
            strings = ctypes.WinDLL("oleaut32")
        else:
            self._dll = ctypes.CDLL(path)
            strings = self._dll  # the library's own SysAllocStringLen, SysFreeString, SysStringLen
        self._alloc = strings.SysAllocStringLen
        self._alloc.argtypes = [ctypes.c_char_p, ctypes.c_uint32]
        self._alloc.restype = ctypes.c_void_p
        self._free = strings.SysFreeString
        self._free.argtypes = [ctypes.c_void_p]
        self._free.restype = None
        self._length = strings.SysStringLen
        self._length.argtypes = [ctypes.c_void_p]
        self._length.restype = ctypes.c_uint32
        out = ctypes.POINTER(ctypes.c_void_p)
        for name in COMMANDS + ("VERSION",):
            function = getattr(self._dll, name)
            function.argtypes = [ctypes.c_void_p, out, out]
            function.restype = ctypes.c_int32 if name == "VERSION" else ctypes.c_int16

    def _bstr(self, text):
        data = text.encode("utf-16-le", errors="surrogatepass")
        value = self._alloc(data, len(data) // 2)
        if not value:
            raise MemoryError("SysAllocStringLen failed")
        return value

    def _take(self, value):
        """The text of an output BSTR ("" for null), which is then freed."""
        if not value:
            return ""
        try:
            raw = ctypes.string_at(value, self._length(value) * 2)
            return raw.decode("utf-16-le", errors="surrogatepass")
        finally:
            self._free(value)

    def call(self, export, request):
        """Calls export (PAY, OPEN, ..., VERSION) with the request text; frees everything it made."""
        request_bstr = self._bstr(request)
        output = ctypes.c_void_p(None)  # passed empty: the library does not free what they hold
        error = ctypes.c_void_p(None)
        try:
            result = getattr(self._dll, export)(request_bstr, ctypes.byref(output), ctypes.byref(error))
        finally:
            self._free(request_bstr)
        return result, self._take(output.value), self._take(error.value)
