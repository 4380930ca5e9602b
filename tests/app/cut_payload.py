"""Writes a copy of a program whose "BIN" resource ID claims half its length, so that the
file the program writes out of it is cut off (a damaged payload).
    cut_payload.py PROGRAM ID OUTPUT"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kvtest  # noqa: E402


def main(program, res_id, output):
    found = kvtest.bin_resource(program, int(res_id))
    if found is None:
        print("%s carries no BIN %s" % (program, res_id))
        return 1
    entry, _, size = found
    with open(program, "rb") as f:
        data = bytearray(f.read())
    struct.pack_into("<I", data, entry + 4, size // 2)
    tmp = output + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
