"""Writes the test payload pattern: byte i = (i * 31 + (i >> 8)) & 0xFF (AppTestFiles.h)."""
import sys
n = int(sys.argv[2])
with open(sys.argv[1], "wb") as f:
    f.write(bytes(((i * 31 + (i >> 8)) & 0xFF) for i in range(n)))
