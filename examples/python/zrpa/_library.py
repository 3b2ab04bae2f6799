"""The library loaded with ctypes, and BSTRs made and read through the right functions.

BSTRs are UTF-16 with a 32-bit length before the text. ctypes' c_wchar_p is not one (it is UTF-32 on
Linux and has no length prefix), so requests are made with SysAllocStringLen and outputs are read with
SysStringLen and freed with SysFreeString: the library's own on Linux, oleaut32's on Windows.
"""
import ctypes
import os
import sys

COMMANDS = ("PAY", "REPRINT", "OPEN", "CLOSE", "GETSTATUS", "DAYCLOSE", "GETTOTALS", "VERIFYTRAN", "CANCEL")


def default_path():
    """ZRPA_LIBRARY when set, else the library a wheel carries in _native, else the library's file name for
    the system's search path."""
    if os.environ.get("ZRPA_LIBRARY"):
        return os.environ["ZRPA_LIBRARY"]
    name = "ZRPA_RIVEVEDEV17_10.dll" if sys.platform == "win32" else "libZRPA_RIVEVEDEV17_10.so.1"
    bundled = os.path.join(os.path.dirname(os.path.abspath(__file__)), "_native", name)
    return bundled if os.path.isfile(bundled) else name


class Library:
    """The ten exports of one loaded library. Calls return (result, output text, error text)."""

    def __init__(self, path=None):
        path = path or default_path()
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
