# Sourced by scripts/test and scripts/run: installs what the build and the tests
# need from Debian's packages when it is missing (with sudo when not root).

TARVIX_PACKAGES=(
  cmake ninja-build g++ gcc python3
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  wine wine64 xvfb xauth xdotool x11-utils imagemagick procps
)

tarvix_install_deps() {
  local missing=() pkg
  for pkg in "${TARVIX_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "tarvix: installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# CMake's answer for a configured preset (default windows): nuklear.h was found
# installed or fetched, so the GUI and tarvix.exe are built.
tarvix_have_nuklear() {
  grep -qx 'TARVIX_HAVE_NUKLEAR:INTERNAL=ON' "build/${1:-windows}/CMakeCache.txt" 2>/dev/null
}

# Configure and build one preset; extra arguments go to the configure step.
tarvix_build() {
  local preset=$1; shift
  cmake --preset "$preset" -DTARVIX_WERROR=ON "$@" >/dev/null
  cmake --build --preset "$preset"
}
