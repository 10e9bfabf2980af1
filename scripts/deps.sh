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

# What the program needs to build and run (Qt Charts' CMake files need Qt OpenGL's, which
# its package does not pull in; libtiff to read TIFF pictures as stored; minizip to store
# a workbook's numbers as the sheet shows them; GSL to fit overlapping bands and
# band sizes; OpenSSL's libcrypto for fast SHA-256 of pictures).
KESTO_BUILD_PACKAGES=(g++ make cmake pkgconf qt6-base-dev qt6-svg-dev qt6-charts-dev libqt6opengl6-dev libxlsxwriter-dev zlib1g-dev
                      libminizip-dev libtiff-dev libgsl-dev libssl-dev qt6-image-formats-plugins fonts-liberation2)
# What the tests need on top: benchmarks compile with the tests, PDF text for print checks,
# a PDF checker for exported figures and reports, unzip to read saved workbooks back, a
# virtual display with input, screenshots and the clipboard for the smoke test of the real
# window; clang-format for the format check of the changed lines.
KESTO_TEST_PACKAGES=(libbenchmark-dev poppler-utils qpdf unzip xvfb xauth xdotool imagemagick xclip
                     clang-format)
# What the fuzz stage needs: clang with libFuzzer and the sanitizer runtimes.
KESTO_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# What scripts/package needs on top: the manual page, the PNG icon, CPack's search for the
# libraries the program uses (dpkg-shlibdeps, and file to find the programs) and Debian's
# build flags.
KESTO_PACKAGE_PACKAGES=(help2man librsvg2-bin dpkg-dev file)
# What the package check needs on top: the validators of the desktop entry, the AppStream
# metadata and the package, and licensecheck to read the licence in the copyright file.
KESTO_PACKAGE_CHECK_PACKAGES=(desktop-file-utils appstream lintian licensecheck)
