"""Runs the Python module's tests with pytest; exits 77 (CTest: skipped) when
numpy, pandas or pytest is not installed."""
import sys

try:
    import numpy  # noqa: F401
    import pandas  # noqa: F401
    import pytest
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

sys.exit(pytest.main(["-q", "-p", "no:cacheprovider", *sys.argv[1:]]))
