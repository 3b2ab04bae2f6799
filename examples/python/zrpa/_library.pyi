# Type hints of _library.py.
from typing import Optional, Tuple

COMMANDS: Tuple[str, ...]

def default_path() -> str: ...

class Library:
    def __init__(self, path: Optional[str] = ...) -> None: ...
    def call(self, export: str, request: str) -> Tuple[int, str, str]: ...
