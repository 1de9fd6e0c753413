#!/usr/bin/python3
"""Copies a file time-stamped by RFC 3161 with the time inside its token moved by one second and the token's
signature left as it was: a stamp altered after the authority signed it.
    alter_stamp.py STAMPED ALTERED
    alter_stamp.py --help   this text"""
import re
import sys

if len(sys.argv) != 3 or sys.argv[1] == "--help":
    print(__doc__)
    sys.exit(0 if sys.argv[1:2] == ["--help"] else 2)
data = bytearray(open(sys.argv[1], "rb").read())
stamp = list(re.finditer(rb"\x18\x0f(\d{14})Z", data))[-1]  # the token's GeneralizedTime (certificates use UTCTime)
second = stamp.start(1) + 13
data[second] = ord("0") + (data[second] - ord("0") + 1) % 10
open(sys.argv[2], "wb").write(data)
