#!/usr/bin/env bash
# Installs the build into a temporary root, as `cmake --install` or as the Debian package
# CPack makes, checks the layout, and starts the installed program offscreen to see that it
# finds its language module there.
#   installed_program.sh install BUILD_DIR PROGRAM...
#   installed_program.sh deb BUILD_DIR PROGRAM...
set -euo pipefail
mode=$1 build=$2
shift 2
programs=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

case $mode in
install)
    cmake --install "$build" --prefix "$work/root/usr" > "$work/install.log"
    ;;
deb)
    (cd "$build" && cpack -G DEB -B "$work/package" > "$work/cpack.log") \
        || { cat "$work/cpack.log" >&2; fail "cpack did not make a package"; }
    deb=$(ls "$work"/package/*.deb)
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for lib in libqt6widgets6 libcurl4 libsqlite3-0 libpugixml1v5; do
        [[ $depends == *"$lib"* ]] || fail "the package does not depend on $lib"
    done
    dpkg-deb -x "$deb" "$work/root"
    ;;
*) fail "unknown mode $mode" ;;
esac

usr=$work/root/usr
for program in "${programs[@]}"; do
    [ -x "$usr/bin/$program" ] || fail "bin/$program is missing"
    [ -s "$usr/share/man/man1/$program.1" ] || fail "the man page of $program is missing"
done
for file in share/ravelind/Zem437.rcc share/ravelind/tips437.txt share/ravelind/docs/index.html \
            share/ravelind/Zem932.rcc share/ravelind/tips932.txt share/ravelind/strings932.txt \
            share/ravelind/docs/images/browse.png share/ravelind/docs/ja/index.html \
            share/ravelind/docs/ja/images/browse.png share/ravelind/docs/ja/images/options.png \
            share/applications/ravelind.desktop share/metainfo/ravelind.metainfo.xml \
            share/icons/hicolor/48x48/apps/ravelind.png share/icons/hicolor/256x256/apps/ravelind.png; do
    [ -s "$usr/$file" ] || fail "$file is missing"
done
[ ! -e "$usr/share/ravelind/docs/dev" ] || fail "the developer notes were installed"
if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$usr/share/applications/ravelind.desktop" || fail "desktop file"
fi

# The installed program must take its module from the installed share/ravelind, not from
# the build tree: the module file is mapped into the process once it is registered.
# Each module, English and Japanese.
for codepage in 437 932; do
    module=$usr/share/ravelind/Zem$codepage.rcc
    mkdir -p "$work/config"
    RAVELIND_CONFIG_DIR=$work/config RAVELIND_CODEPAGE=$codepage QT_QPA_PLATFORM=offscreen \
        "$usr/bin/ravelind" --no-splash > "$work/out.log" 2> "$work/err.log" &
    pid=$!
    found=0
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2> /dev/null || break
        if grep -qF "$module" "/proc/$pid/maps" 2> /dev/null; then
            found=1
            break
        fi
        sleep 0.1
    done
    running=0
    kill -0 "$pid" 2> /dev/null && running=1
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
    if [ "$found" != 1 ] || [ "$running" != 1 ]; then
        cat "$work/err.log" >&2
        fail "the installed program did not start with $module"
    fi
    echo "installed program started with $module"
done

# The installed command-line client takes its string table from share/ravelind: with nothing
# listening on the port, it says in the module's words that the logon failed.
if [ -x "$usr/bin/ravelind-cli" ]; then
    out=$(RAVELIND_CODEPAGE=437 "$usr/bin/ravelind-cli" --server http://127.0.0.1:9/Service.asmx \
        --timeout 5 logon 2>&1) && fail "ravelind-cli logon succeeded without a server"
    [[ $out == "Logon failed: "* ]] || fail "the installed ravelind-cli said: $out"
    echo "installed ravelind-cli found its string table"
fi
