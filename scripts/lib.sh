# Shared helpers for scripts/build, scripts/test and scripts/demo. Sourced, not run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# A separate build root lets several work trees or runs share a machine.
BUILD_ROOT=${KBT_BUILD_ROOT:-$ROOT/build}
CACHE_DIR=${KBT_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrove-backup-tool}
MINIZIP_DIR=$CACHE_DIR/minizip
ZLIB_DIR=$CACHE_DIR/zlib
LIBDEFLATE_DIR=$CACHE_DIR/libdeflate

PACKAGES=(cmake ninja-build python3 pkg-config
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-tools libz-mingw-w64-dev
  zlib1g-dev libminizip-dev libdeflate-dev libssl-dev libgtest-dev libgmock-dev googletest
  wine64 wine fonts-wine xvfb x11-utils imagemagick zip unzip clang time 7zip)
# What scripts/package and its checks use besides.
RELEASE_PACKAGES=(wixl osslsigncode openssl)

log() { printf '== %s\n' "$*" >&2; }

# Installs PACKAGES and the packages named as arguments, where missing.
install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# minizip for the Windows target comes from Debian's zlib source package and is never committed;
# so does the Windows build's zlib itself (the packaged mingw library deflates about 20% slower),
# and its libdeflate (no mingw package exists), from Debian's libdeflate source package.
fetch_minizip() {
  [ -f "$MINIZIP_DIR/iowin32.c" ] && [ -f "$ZLIB_DIR/deflate.c" ] && [ -f "$LIBDEFLATE_DIR/libdeflate.h" ] && return 0
  log "fetching zlib, minizip and libdeflate sources"
  mkdir -p "$CACHE_DIR"
  local st; st=$(mktemp -d); chmod 755 "$st"
  mkdir -p "$st/parts" "$st/lists/partial" "$st/dl"
  local src=/etc/apt/sources.list.d/debian.sources
  if [ -f "$src" ]; then
    sed -e 's/^Types: deb$/Types: deb-src/' "$src" > "$st/parts/src.sources"
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > "$st/parts/src.list"
  fi
  local O=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$st/parts"
           -o "Dir::State::Lists=$st/lists" -o APT::Sandbox::User=root)
  apt-get "${O[@]}" update -qq
  . /etc/os-release
  (cd "$st/dl" && apt-get "${O[@]}" source --download-only "zlib/$VERSION_CODENAME" \
    "libdeflate/$VERSION_CODENAME" >/dev/null)
  mkdir -p "$st/x" "$st/d"
  tar -xjf "$st"/dl/zlib_*.orig.tar.bz2 -C "$st/x"
  tar -xf "$st"/dl/libdeflate_*.orig.tar.* -C "$st/d"
  # Each folder appears whole or not at all: other builds may be reading the cache.
  local part
  if [ ! -f "$MINIZIP_DIR/iowin32.c" ]; then
    part=$(mktemp -d "$CACHE_DIR/minizip.XXXXXX")
    cp "$st"/x/*/contrib/minizip/{ioapi.c,ioapi.h,iowin32.c,iowin32.h,zip.c,zip.h,unzip.c,unzip.h,crypt.h} "$part/"
    rm -rf "$MINIZIP_DIR"; mv "$part" "$MINIZIP_DIR"; chmod 755 "$MINIZIP_DIR"
  fi
  if [ ! -f "$ZLIB_DIR/deflate.c" ]; then
    part=$(mktemp -d "$CACHE_DIR/zlib.XXXXXX")
    cp "$st"/x/*/*.[ch] "$part/"
    rm -rf "$ZLIB_DIR"; mv "$part" "$ZLIB_DIR"; chmod 755 "$ZLIB_DIR"
  fi
  if [ ! -f "$LIBDEFLATE_DIR/libdeflate.h" ]; then
    part=$(mktemp -d "$CACHE_DIR/libdeflate.XXXXXX")
    cp -r "$st"/d/*/libdeflate.h "$st"/d/*/common_defs.h "$st"/d/*/lib "$part/"
    rm -rf "$LIBDEFLATE_DIR"; mv "$part" "$LIBDEFLATE_DIR"; chmod 755 "$LIBDEFLATE_DIR"
  fi
  rm -rf "$st"
}

build_all() {
  install_packages
  fetch_minizip
  local jobs; jobs=$(nproc)
  if [ ! -f "$BUILD_ROOT/native/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD_ROOT/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  configure_windows "$BUILD_ROOT/windows"
  log "building native"
  cmake --build "$BUILD_ROOT/native" -j "$jobs"
  log "building windows"
  cmake --build "$BUILD_ROOT/windows" -j "$jobs"
  build_hardening
}

# A Windows build folder (Release, cross compiled); further cmake arguments are applied every time.
configure_windows() {
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ] || [ $# -gt 0 ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw.cmake" -DKBT_MINIZIP_DIR="$MINIZIP_DIR" "$@" >/dev/null
  fi
}

# Hardening builds, native with clang: the unit tests under ASan and UBSan (native-asan), and the
# libFuzzer targets, also under ASan and UBSan (native-fuzz).
build_hardening() {
  local jobs; jobs=$(nproc)
  if [ ! -f "$BUILD_ROOT/native-asan/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD_ROOT/native-asan" -G Ninja \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKBT_SANITIZE=ON >/dev/null
  fi
  log "building native-asan"
  cmake --build "$BUILD_ROOT/native-asan" -j "$jobs" --target unit_tests
  if [ ! -f "$BUILD_ROOT/native-fuzz/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD_ROOT/native-fuzz" -G Ninja \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKBT_SANITIZE=ON -DKBT_FUZZ=ON >/dev/null
  fi
  log "building native-fuzz"
  cmake --build "$BUILD_ROOT/native-fuzz" -j "$jobs" --target \
    fuzz_settings_file fuzz_hex fuzz_command_line fuzz_archive make_fuzz_seeds
}

# A private Wine prefix, a wine server that stays up and a virtual display.
WINE_STARTED=""
start_wine() {
  export WINEPREFIX=${WINEPREFIX_OVERRIDE:-$BUILD_ROOT/wine}
  # winemenubuilder would copy shortcuts into the host's desktop menus.
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [ -z "${DISPLAY_NUMBER:-}" ]; then
    DISPLAY_NUMBER=$(( 90 + RANDOM % 400 ))
    while [ -e "/tmp/.X${DISPLAY_NUMBER}-lock" ]; do DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1)); done
  fi
  export DISPLAY=:$DISPLAY_NUMBER
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] && break; sleep 0.1; done
  # The server and Wine's services must not inherit our pipes, or readers never see the end.
  wineserver -p </dev/null >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating wine prefix $WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 || true
  fi
  # A fresh prefix links Documents, Desktop and the like to the host's home: make them plain folders.
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    [ -L "$link" ] && rm "$link" && mkdir "$link"
  done
  # Wine's dialog fonts, before any program starts: a process reads the font list once, so a
  # test that installed them itself would measure with another font than the wizard it drives.
  local font
  for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
    [ -f "/usr/share/wine/fonts/$font" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/$font" ] &&
      cp "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
  WINE_STARTED=1
}

stop_wine() {
  [ -n "$WINE_STARTED" ] || return 0
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait "${XVFB_PID:-}" 2>/dev/null || true
  WINE_STARTED=""
}

# Runs a program under Wine with its output in a file (never a pipe: see start_wine).
run_wine() {
  local out=$1; shift
  wine "$@" </dev/null >"$out" 2>&1
}
