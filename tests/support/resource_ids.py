"""The program's resource ids and the skin picture table, read from res/resource.h (their one
source) for the Python tests."""
import os
import re

RES_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res"))


def _header(res_dir):
    with open(os.path.join(res_dir, "resource.h"), encoding="utf-8") as f:
        return f.read()


def defines(res_dir=RES_DIR):
    """name -> number for every '#define NAME number' of resource.h."""
    return {m.group(1): int(m.group(2), 0)
            for m in re.finditer(r"^#define\s+(\w+)\s+(\d+|0x[0-9A-Fa-f]+)\b", _header(res_dir), re.M)}


def skin_pictures(res_dir=RES_DIR):
    """name -> (id, frames, width of one frame, height) for each row X(name, frames, cx, cy)."""
    ids = defines(res_dir)
    return {m.group(1): (ids[m.group(1)], int(m.group(2)), int(m.group(3)), int(m.group(4)))
            for m in re.finditer(r"X\((IDB_\w+),\s*(\d+),\s*(\d+),\s*(\d+)\)", _header(res_dir))}
