#!/usr/bin/env python3
"""Python's plistlib on the engine's property lists.

    plist_interop.py check FILE   exit 0 when FILE holds exactly SAMPLE
    plist_interop.py write FILE   write SAMPLE as an XML property list

SAMPLE is built the same way in test_fileutils.cpp.
"""
import math
import plistlib
import sys


def card(tab, index, x, value):
    return {"tab": tab, "index": index, "x": x, "value": value}


SAMPLE = {
    "name": "カード 1 ✓ 😀",
    "escaped": "<&> \"quoted\" ]]> 'x'",
    "blank": "",
    "spaces": "  two  ",
    "lines": "a\tb\nc",
    "": "empty key",
    "count": 42,
    "min": -2147483648,
    "max": 2147483647,
    "ratio": 0.1,
    "third": 1 / 3,
    "tiny": 5e-324,
    "big": 1e300,
    "whole": 2.0,
    "infinite": [math.inf, -math.inf],
    "yes": True,
    "no": False,
    "datas": [card(0, 3, -12, "100"), card(2, 0, 512, "")],
    "emptyList": [],
    "emptyDict": {},
    "nested": [[[1, "two", 3.5, {"deep": True}]]],
}


def difference(expected, got, path="root"):
    """The first difference, with strict types (True is not 1, 1 is not 1.0)."""
    if type(expected) is not type(got):
        return f"{path}: expected {type(expected).__name__} {expected!r}, got {type(got).__name__} {got!r}"
    if isinstance(expected, dict):
        if expected.keys() != got.keys():
            return f"{path}: expected keys {sorted(expected)}, got {sorted(got)}"
        for key in expected:
            found = difference(expected[key], got[key], f"{path}[{key!r}]")
            if found:
                return found
    elif isinstance(expected, list):
        if len(expected) != len(got):
            return f"{path}: expected {len(expected)} elements, got {len(got)}"
        for i, (e, g) in enumerate(zip(expected, got)):
            found = difference(e, g, f"{path}[{i}]")
            if found:
                return found
    elif expected != got:
        return f"{path}: expected {expected!r}, got {got!r}"
    return None


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("check", "write"):
        sys.exit(__doc__)
    command, path = sys.argv[1:]
    if command == "write":
        with open(path, "wb") as f:
            f.write(plistlib.dumps(SAMPLE, fmt=plistlib.FMT_XML))
        return
    with open(path, "rb") as f:
        got = plistlib.load(f, fmt=plistlib.FMT_XML)
    found = difference(SAMPLE, got)
    if found:
        sys.exit(found)


if __name__ == "__main__":
    main()
