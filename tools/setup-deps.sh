#!/bin/bash
# Installs what building and testing need from Debian's packages, idempotently: the
# mingw-w64 i686 compilers, Wine (32-bit, i386 multiarch), X tools, servers and fonts.
set -e
pkgs=(cmake ninja-build python3
      g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-i686-dev
      libz-mingw-w64 libz-mingw-w64-dev googletest
      wine wine32 libwine:i386 libx11-6:i386 libxext6:i386 libxrender1:i386 libfreetype6:i386
      libfontconfig1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxcomposite1:i386
      xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei
      nginx aria2 curl)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
echo "installing: ${missing[*]}"
# Packages must not start their system services (nginx would listen on port 80): while
# installing, a service policy that refuses every start, unless the machine has one.
policy=/usr/sbin/policy-rc.d
own_policy=
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  own_policy=1
fi
rc=0
$SUDO apt-get update -qq && \
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || rc=$?
[ -n "$own_policy" ] && $SUDO rm -f "$policy"
exit $rc
