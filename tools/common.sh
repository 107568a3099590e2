# Shared by tools/test and tools/run: builds both builds and sets up Wine.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
JOBS=$(nproc 2>/dev/null || echo 2)

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=zh_CN.UTF-8  # code page 936, as on our users' Windows

# The Windows build is the release build: what the tests run is what ships.
# build_windows [TARGET]: everything, or the one target.
build_windows() {
  cmake -S "$ROOT" -B "$BUILD/windows" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null &&
    cmake --build "$BUILD/windows" -j "$JOBS" ${1:+--target "$1"} >"$BUILD/windows.log" 2>&1 ||
    { tail -40 "$BUILD/windows.log"; return 1; }
}

build_all() {
  cmake -S "$ROOT" -B "$BUILD/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build "$BUILD/native" -j "$JOBS" >"$BUILD/native.log" 2>&1 || { tail -40 "$BUILD/native.log"; return 1; }
  build_windows
}

# The unit tests and the fuzzers built by clang with AddressSanitizer and UndefinedBehaviorSanitizer.
build_sanitized() {
  mkdir -p "$BUILD/fuzz"
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD/fuzz" -DQV_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build "$BUILD/fuzz" -j "$JOBS" >"$BUILD/fuzz/build.log" 2>&1 || { tail -40 "$BUILD/fuzz/build.log"; return 1; }
}

# One Wine prefix for a whole run, initialised once.
wine_prefix() {
  export WINEPREFIX=$1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
}
