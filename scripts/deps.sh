# Sourced by scripts/run and scripts/test: installs the Debian packages a build needs.
# Usage: kesto_install_packages PACKAGE...
kesto_install_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What the program needs to build and run.
KESTO_BUILD_PACKAGES=(g++ make cmake pkgconf qt6-base-dev qt6-svg-dev libxlsxwriter-dev zlib1g-dev
                      libtiff-dev qt6-image-formats-plugins fonts-liberation2)
# What the tests need on top: benchmarks compile with the tests, PDF text for print checks,
# unzip to read saved workbooks back, a virtual display with input, screenshots and the
# clipboard for the smoke test of the real window.
KESTO_TEST_PACKAGES=(libbenchmark-dev poppler-utils unzip xvfb xauth xdotool imagemagick xclip)
# What the fuzz stage needs: clang with libFuzzer and the sanitizer runtimes.
KESTO_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
