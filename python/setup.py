"""Builds the native half of kubelmar with the project's own CMake build.

    python3 -m pip install --no-build-isolation ./python

Needs the Debian packages of scripts/install-deps.sh (pybind11-dev,
python3-dev, python3-numpy among them); nothing is downloaded. Set
KUBELMAR_CMAKE_BUILD_DIR to reuse a configured build folder.
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent.parent  # the repository: CMakeLists.txt is there


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(os.environ.get("KUBELMAR_CMAKE_BUILD_DIR") or Path(self.build_temp).resolve() / "cmake")
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
            "-DKUBELMAR_PYTHON=ON", "-DKUBELMAR_BUILD_GUI=OFF", "-DKUBELMAR_BUILD_TESTS=OFF",
            "-DKUBELMAR_BUILD_BENCH=OFF", f"-DPython_EXECUTABLE={sys.executable}",
        ]
        if not (build / "CMakeCache.txt").exists() and shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "_kubelmar"], check=True)
        built = sorted((build / "python" / "kubelmar").glob("_kubelmar*.so"))
        if not built:
            raise RuntimeError(f"CMake built no _kubelmar module in {build}")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[-1], target)


setup(ext_modules=[CMakeExtension("kubelmar._kubelmar")], cmdclass={"build_ext": CMakeBuild})
