#!/usr/bin/env python3
"""Keeps the product folders in one direction: reads every #include "..." of the product
code, fails on a cycle between folders, on an include that the including folder's static
library does not link (kv_folder_library ... LINK, or target_link_libraries), and on a
conditional include (__has_include), which would let a wrong path build a program that
silently lacks a part. Usage: check_folders.py SOURCE_DIR"""
import os
import re
import sys

FOLDERS = ("frame", "som", "text", "res", "engine", "dlengine", "startup", "install", "app", "restore")
# Headers that are the published interface of a DLL, not of a static library.
INTERFACE_HEADERS = {"dlengine/DLEngineApi.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def includes(top):
    """(folder, file, target folder, target path) for every cross-folder include."""
    for folder in FOLDERS:
        base = os.path.join(top, folder)
        for name in sorted(os.listdir(base)) if os.path.isdir(base) else ():
            if not name.endswith((".h", ".cpp", ".rc")):
                continue
            text = open(os.path.join(base, name), encoding="utf-8", errors="replace").read()
            if "__has_include" in text:
                yield folder, name, None, "__has_include"
            for path in INCLUDE.findall(text):
                norm = os.path.normpath(os.path.join(folder, path)) if path.startswith("..") else path
                parts = norm.replace("\\", "/").split("/")
                target = parts[0] if len(parts) > 1 and parts[0] in FOLDERS else folder
                if target != folder:
                    yield folder, name, target, "/".join(parts)


def libraries(top):
    """folder -> (library, linked libraries, files left to a program) from each folder's
    CMakeLists.txt."""
    libs = {}
    for folder in FOLDERS:
        path = os.path.join(top, folder, "CMakeLists.txt")
        if not os.path.exists(path):
            continue
        text = re.sub(r"#.*", "", open(path, encoding="utf-8").read())
        m = re.search(r"kv_folder_library\(\s*(\w+)([^)]*)\)", text)
        excluded = set()
        if m:
            name, args = m.group(1), m.group(2)
            links = set(re.findall(r"\bkv_\w+", args.split("LINK", 1)[1])) if "LINK" in args else set()
            ex = re.search(r"EXCLUDE\s+([^)]*?)(?:LINK|$)", args)
            excluded = set(ex.group(1).split()) if ex else set()
        else:
            m = re.search(r"add_library\(\s*(kv_\w+)\s+STATIC", text)
            if not m:
                continue
            name, links = m.group(1), set()
        for tl in re.findall(r"target_link_libraries\(\s*%s\s+([^)]*)\)" % name, text):
            links |= set(re.findall(r"\bkv_\w+", tl))
        libs[folder] = (name, links, excluded)
    return libs


def find_cycle(edges):
    state, stack = {}, []

    def visit(n):
        state[n] = 1
        stack.append(n)
        for m in sorted(edges.get(n, ())):
            if state.get(m) == 1:
                return stack[stack.index(m):] + [m]
            if m not in state:
                found = visit(m)
                if found:
                    return found
        stack.pop()
        state[n] = 2
        return None

    for n in sorted(edges):
        if n not in state:
            found = visit(n)
            if found:
                return found
    return None


def main():
    top = sys.argv[1]
    failures = []
    edges = {}
    libs = libraries(top)
    for folder, name, target, path in includes(top):
        if target is None:
            failures.append("%s/%s: conditional include (__has_include)" % (folder, name))
            continue
        edges.setdefault(folder, set()).add(target)
        if path in INTERFACE_HEADERS or folder not in libs or target not in libs:
            continue
        if name in libs[folder][2]:
            continue   # a program's own source: the program links what it needs
        if libs[target][0] not in libs[folder][1]:
            failures.append("%s/%s includes %s, but %s does not link %s"
                            % (folder, name, path, libs[folder][0], libs[target][0]))
    cycle = find_cycle(edges)
    if cycle:
        failures.append("folder cycle: " + " -> ".join(cycle))
    link_edges = {}
    by_lib = {lib: folder for folder, (lib, _, _) in libs.items()}
    for folder, (_, links, _) in libs.items():
        link_edges[folder] = {by_lib[l] for l in links if l in by_lib}
    cycle = find_cycle(link_edges)
    if cycle:
        failures.append("library cycle: " + " -> ".join(cycle))
    for f in failures:
        print("FAIL:", f)
    if not failures:
        order = ", ".join("%s -> %s" % (f, "/".join(sorted(t))) for f, t in sorted(edges.items()))
        print("folders in one direction:", order)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
