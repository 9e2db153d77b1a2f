#!/usr/bin/env bash
# Builds, once per machine, what the Windows launcher links and ships: a static Qt for x86-64 Windows, a
# static libsodium and the engine's 7z.dll, all from Debian's source packages, with the MinGW-w64 cross
# compiler. Results are cached outside the work tree, keyed by version and options; a second run prints
# the paths.
#   tools/windows/build-deps.sh [qt|engine|sodium]   prints QT_PREFIX=..., ENGINE_DLL=..., SODIUM_PREFIX=...
set -euo pipefail
CACHE=${VELMORA_WIN_CACHE:-/var/cache/velmora-win}
JOBS=$(nproc 2>/dev/null || echo 2)
HOST=x86_64-w64-mingw32
QT_VERSION=5.15.8

# Everything a user of the launcher needs: widgets, network over Schannel, the test library, and FreeType
# for the offscreen platform the tests draw on. What would reach for sources Debian's package leaves out
# (wintab, sqlite) or that nobody here uses is left out.
QT_OPTIONS=(-xplatform win32-g++ -device-option CROSS_COMPILE=$HOST-
    -static -static-runtime -release -opensource -confirm-license -nomake examples -nomake tests
    -no-opengl -no-dbus -no-icu -no-fontconfig -qt-freetype -qt-zlib -qt-libpng -no-libjpeg -qt-pcre
    -qt-harfbuzz -schannel -no-openssl -no-feature-tabletevent -no-feature-sql -no-feature-xml
    -no-feature-printer -no-feature-concurrent -no-feature-direct2d)

key() { printf '%s\n' "$@" | sha256sum | cut -c1-12; }

ensure_sources() {
    local pkg=$1
    ls "$CACHE"/src/"${pkg}"_*.orig.tar.* >/dev/null 2>&1 && return 0
    mkdir -p "$CACHE/src" # the download goes into the cache, never into the working directory
    if ! (cd "$CACHE/src" && apt-get source --download-only "$pkg" >/dev/null 2>&1 </dev/null); then
        # The source index needs a deb-src entry for the archive the binaries come from.
        cat >/etc/apt/sources.list.d/velmora-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
        apt-get update -qq
        (cd "$CACHE/src" && apt-get source --download-only "$pkg" >/dev/null)
    fi
}

build_qt() {
    local prefix="$CACHE/qt-$QT_VERSION-$HOST-static-$(key "${QT_OPTIONS[@]}")"
    if [ ! -f "$prefix/.complete" ]; then
        ensure_sources qtbase-opensource-src
        local work="$CACHE/work/qtbase"
        rm -rf "$work" "$prefix" && mkdir -p "$work"
        tar xf "$CACHE"/src/qtbase-opensource-src_${QT_VERSION}*.orig.tar.* -C "$work" --strip-components=1
        echo "velmora: building Qt $QT_VERSION for Windows (once per machine) into $prefix" >&2
        (cd "$work" && ./configure -prefix "$prefix" "${QT_OPTIONS[@]}" >"$CACHE/qt-configure.log" 2>&1 \
            && make -j "$JOBS" >"$CACHE/qt-build.log" 2>&1 && make install >/dev/null 2>&1) || {
            echo "velmora: the Qt build failed; see $CACHE/qt-configure.log and $CACHE/qt-build.log" >&2
            tail -20 "$CACHE/qt-build.log" >&2 2>/dev/null || tail -20 "$CACHE/qt-configure.log" >&2
            exit 1
        }
        rm -rf "$work"
        # Qt names two system libraries as Windows spells them; MinGW's files are lower case, and this file
        # system tells case apart.
        find "$prefix" -name '*.prl' -exec sed -i 's/-lSecur32/-lsecur32/g; s/-lCrypt32/-lcrypt32/g' {} +
        touch "$prefix/.complete"
    fi
    echo "QT_PREFIX=$prefix"
}

build_engine() {
    local out="$CACHE/7zip-$(key 7zip Format7zF DISABLE_RAR "$HOST")"
    if [ ! -f "$out/7z.dll" ]; then
        ensure_sources 7zip
        local work="$CACHE/work/7zip"
        rm -rf "$work" && mkdir -p "$work"
        tar xf "$CACHE"/src/7zip_*.orig.tar.* -C "$work" --strip-components=1
        echo "velmora: building 7z.dll (once per machine) into $out" >&2
        # 7-Zip's GCC makefiles take their MinGW branches when a Windows variable (SystemDrive) is set;
        # Debian's source leaves out the RAR codecs, as its own build does.
        (cd "$work/CPP/7zip/Bundles/Format7zF" && make -f makefile.gcc -j "$JOBS" DISABLE_RAR=1 \
            SystemDrive=C: MSYSTEM=MINGW64 IS_X64=1 CC=$HOST-gcc-posix CXX=$HOST-g++-posix \
            RC=$HOST-windres >"$CACHE/7zip-build.log" 2>&1) || {
            echo "velmora: the 7z.dll build failed; see $CACHE/7zip-build.log" >&2
            tail -20 "$CACHE/7zip-build.log" >&2
            exit 1
        }
        mkdir -p "$out"
        cp "$work/CPP/7zip/Bundles/Format7zF/_o/7z.dll" "$out/7z.dll"
        rm -rf "$work"
    fi
    echo "ENGINE_DLL=$out/7z.dll"
}

build_sodium() {
    local prefix="$CACHE/libsodium-$HOST-static-$(key libsodium static "$HOST")"
    if [ ! -f "$prefix/.complete" ]; then
        ensure_sources libsodium
        local work="$CACHE/work/libsodium"
        rm -rf "$work" "$prefix" && mkdir -p "$work"
        tar xf "$CACHE"/src/libsodium_*.orig.tar.* -C "$work" --strip-components=1
        echo "velmora: building libsodium for Windows (once per machine) into $prefix" >&2
        # Debian's source is the project's repository: its configure script is made here.
        (cd "$work" && ./autogen.sh -s >"$CACHE/sodium-build.log" 2>&1 && ./configure --host=$HOST --prefix="$prefix" --disable-shared --enable-static \
            CC=$HOST-gcc-posix >>"$CACHE/sodium-build.log" 2>&1 && make -j "$JOBS" >>"$CACHE/sodium-build.log" 2>&1 \
            && make install >>"$CACHE/sodium-build.log" 2>&1) || {
            echo "velmora: the libsodium build failed; see $CACHE/sodium-build.log" >&2
            tail -20 "$CACHE/sodium-build.log" >&2
            exit 1
        }
        rm -rf "$work"
        touch "$prefix/.complete"
    fi
    echo "SODIUM_PREFIX=$prefix"
}

mkdir -p "$CACHE"
case "${1:-all}" in
qt) build_qt ;;
engine) build_engine ;;
sodium) build_sodium ;;
*) build_engine && build_sodium && build_qt ;;
esac
