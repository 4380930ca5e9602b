"""Which Wine runs a build tree's programs, for the Python scripts (tools/wine-env.sh is the
shell's side): a 32-bit build runs under 32-bit Wine, a 64-bit test build under Wine's own
64-bit loader and server, named directly because Debian's wine and wineserver commands take
the 32-bit ones whenever those are installed."""
import os

WINE64 = "/usr/lib/wine/wine64"
# Wine's own services that a run does not need stay off (as in tools/wine-env.sh).
OVERRIDES = "mscoree,mshtml,winemenubuilder.exe="
WINESERVER64 = "/usr/lib/wine/wineserver64"


def arch(build_dir):
    """win32 or win64, as the build tree's configuration wrote it (KV_WINEARCH wins)."""
    if os.environ.get("KV_WINEARCH"):
        return os.environ["KV_WINEARCH"]
    try:
        with open(os.path.join(build_dir, "wine-arch")) as f:
            return f.read().strip() or "win32"
    except OSError:
        return "win32"


def environ(base, prefix, wine_arch):
    """base (a dict of the environment) with the prefix and the Wine of wine_arch set."""
    env = dict(base, WINEPREFIX=prefix, KV_WINEPREFIX=prefix, WINEARCH=wine_arch, KV_WINEARCH=wine_arch)
    if wine_arch == "win64":
        env.update(WINELOADER=WINE64, WINESERVER=WINESERVER64)
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", OVERRIDES)
    return env


def wine(wine_arch):
    return WINE64 if wine_arch == "win64" else "wine"


def wineserver(wine_arch):
    return WINESERVER64 if wine_arch == "win64" else "wineserver"
