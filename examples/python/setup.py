"""The package's version and wheel tag, which pyproject.toml cannot compute.

Version: the library's, from ZRPA_VERSION, else the project line of the repository's CMakeLists.txt, else
the VERSION file that the release archives put here. Wheel tag: py3-none-<ZRPA_WHEEL_PLATFORM> when the
native library has been copied into zrpa/_native (scripts/package.sh does both); else a pure wheel.
"""
import os
import pathlib
import re

from setuptools import setup
from setuptools.dist import Distribution
from wheel.bdist_wheel import bdist_wheel

HERE = pathlib.Path(__file__).resolve().parent


def library_version():
    if os.environ.get("ZRPA_VERSION"):
        return os.environ["ZRPA_VERSION"]
    cmake = HERE.parents[1] / "CMakeLists.txt"
    if cmake.is_file():
        found = re.search(r"^project\(ZRPA_RIVEVEDEV17_10 VERSION ([0-9.]+)", cmake.read_text(), re.M)
        if found:
            return found.group(1)
    if (HERE / "VERSION").is_file():
        return (HERE / "VERSION").read_text().strip()
    raise SystemExit("zrpa: no version: set ZRPA_VERSION, or build from the repository or a release archive")


class NativeDistribution(Distribution):
    """With a native library the package is platform-specific (installed to platlib, not "pure"), although
    it has no extension module of its own."""

    def has_ext_modules(self):
        return bool(os.environ.get("ZRPA_WHEEL_PLATFORM"))


class PlatformWheel(bdist_wheel):
    """A wheel for one platform, tagged by hand: the package is Python (ctypes) around a native library
    that no repair tool has inspected, so the tag says what the library needs; any Python 3 can use it."""

    def get_tag(self):
        platform = os.environ.get("ZRPA_WHEEL_PLATFORM")
        return ("py3", "none", platform) if platform else super().get_tag()


setup(version=library_version(), distclass=NativeDistribution, cmdclass={"bdist_wheel": PlatformWheel})
