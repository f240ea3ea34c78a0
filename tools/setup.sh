#!/usr/bin/env bash
# Installs what the builds and tests need, from Debian's packages only; quick when all is present.
set -euo pipefail

DEPS_DIR=${ZX_DEPS_DIR:-/opt/zerithal-deps}
PACKAGES=(cmake ninja-build g++ make libbz2-dev googletest libbenchmark-dev
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 xvfb xauth dpkg-dev libopencv-dev libdc1394-dev libraw-dev
          ccache clang-format-14 clang libclang-rt-14-dev gdb
          fonts-liberation fonts-wqy-microhei fonts-tlwg-loma-ttf libz-mingw-w64-dev locales)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# bzip2 for the Windows build comes from Debian's own source package.
SRC_LIST=/etc/apt/sources.list.d/zerithal-src.sources
if [ ! -f "$SRC_LIST" ]; then
  as_root tee "$SRC_LIST" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  echo "setup: installing ${missing[*]:-(source lists only)}"
  as_root apt-get update -q
  if [ ${#missing[@]} -gt 0 ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
  fi
fi

MINGW=$DEPS_DIR/mingw
if [ ! -f "$MINGW/lib/libbz2.a" ]; then
  echo "setup: cross-building libbz2 for mingw-w64"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get source --download-only -q bzip2 >/dev/null 2>&1) || {
    as_root apt-get update -q
    (cd "$work" && apt-get source --download-only -q bzip2)
  }
  tar -C "$work" -xzf "$work"/bzip2_*.orig.tar.gz
  src=$(find "$work" -maxdepth 1 -type d -name 'bzip2-*' | head -n1)
  as_root mkdir -p "$MINGW/lib" "$MINGW/include"
  objs=()
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    x86_64-w64-mingw32-gcc-posix -O2 -D_FILE_OFFSET_BITS=64 -c "$src/$f.c" -o "$work/$f.o"
    objs+=("$work/$f.o")
  done
  x86_64-w64-mingw32-ar rcs "$work/libbz2.a" "${objs[@]}"
  as_root cp "$work/libbz2.a" "$MINGW/lib/"
  as_root cp "$src/bzlib.h" "$MINGW/include/"
fi
# The page tests run one suite as a Japanese user (LANG=ja_JP.UTF-8): wine needs the C library's
# locale to take the user's language from it.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
echo "setup: ready"
