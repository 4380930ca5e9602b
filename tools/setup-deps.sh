#!/bin/bash
# Installs what building and testing need from Debian's packages, idempotently: the
# mingw-w64 compilers (i686 for what ships, x86_64 for a 64-bit test build), Wine (32-bit
# through i386 multiarch, and 64-bit), X tools, servers and fonts.
set -e
pkgs=(cmake ninja-build python3
      g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-i686-dev
      g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
      libz-mingw-w64 libz-mingw-w64-dev googletest
      wine wine64 libwine
      xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei
      nginx aria2 curl)
# 32-bit Wine: runs the shipped programs themselves where the kernel runs 32-bit code.
pkgs_i386=(wine32 libwine:i386 libx11-6:i386 libxext6:i386 libxrender1:i386 libfreetype6:i386
           libfontconfig1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxcomposite1:i386)

# Some kernels run 64-bit user code only (32-bit execve gives "Exec format error"): 32-bit
# Wine cannot start there. Say so plainly; tools/build.sh then builds the tests for 64-bit.
warn_without_i386() {
  [ -x /usr/lib/wine/wine ] || return 0
  /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
  echo "note: this kernel does not run 32-bit programs (no IA-32 emulation): the tests run a 64-bit build of the same sources under 64-bit Wine" >&2
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=() missing_i386=()
for p in "${pkgs[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${pkgs_i386[@]}"; do installed "$p" || missing_i386+=("$p"); done
# Once 64-bit Wine is here and 32-bit Wine could not be had, the 64-bit test build is what runs
# (delete /var/lib/korvane-no-wine32 to try the 32-bit packages again).
[ ${#missing[@]} -eq 0 ] && { [ ${#missing_i386[@]} -eq 0 ] || [ -e /var/lib/korvane-no-wine32 ]; } && {
  warn_without_i386; exit 0; }

SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo

dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
echo "installing: ${missing[*]} ${missing_i386[*]}"
# Packages must not start their system services (nginx would listen on port 80): while
# installing, a service policy that refuses every start, unless the machine has one.
policy=/usr/sbin/policy-rc.d
own_policy=
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  own_policy=1
fi
# A mirror that is syncing fails an index now and then ("File has unexpected size"): one more
# try, then install with the indexes that were had.
$SUDO apt-get update -qq || { sleep 15; $SUDO apt-get update -qq || echo "apt-get update failed; going on" >&2; }
apt_install() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
rc=0
if ! apt_install "${missing[@]}" "${missing_i386[@]}"; then
  # Without the i386 packages (an index missing, or none for this machine) the tests still run
  # on 64-bit Wine.
  echo "the 32-bit Wine packages could not be installed; installing the rest" >&2
  if [ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"; then
    $SUDO touch /var/lib/korvane-no-wine32
  else
    rc=1
  fi
fi
[ -n "$own_policy" ] && $SUDO rm -f "$policy"
[ $rc -eq 0 ] && warn_without_i386
exit $rc
