"""The JDK 17 sources the benchmarks read, unpacked by bench/javac_agreement's
means into build-corpus/ (Debian's openjdk-17-source)."""

import importlib.machinery
import os
import types

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def jdk_tree():
    """The folder holding the JDK 17 sources' modules (java.base/ and the rest)."""
    path = os.path.join(ROOT, "bench", "javac_agreement")
    loader = importlib.machinery.SourceFileLoader("javac_agreement", path)
    module = types.ModuleType("javac_agreement")
    module.__file__ = path
    loader.exec_module(module)
    return module.jdk17_sources(os.path.join(ROOT, "build-corpus"), True)
