#!/usr/bin/env bash
# Builds the Debian package (a Release build in build-package, or in the
# build folder given) and checks it: the program, its launcher entry, icon,
# AppStream description, usage notes, manual page and shell completions are
# in it; it names its libraries and recommends LibreOffice Calc; apt can
# resolve its dependencies on this Debian; the packed program answers
# --version without a display; lintian finds no error and no warning in it
# and appstreamcli accepts its AppStream description. Any of these failing
# fails the script.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# What packing and checking need besides the build: CPack's Debian
# generator runs file and dpkg-shlibdeps (dpkg-dev); lintian and appstream
# check the result.
PACKAGES+=(file dpkg-dev lintian appstream)
install_missing
build="${1:-$ROOT/build-package}"
BUILD_TARGET=ferrovan-batch configure_and_build "$build" -DCMAKE_BUILD_TYPE=Release -DFERRO_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr
rm -f "$build"/ferrovan-batch_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/ferrovan-batch_*.deb)
echo "== $deb"

fail=0
listing=$(dpkg -c "$deb")
for path in \
    ./usr/bin/ferrovan-batch \
    ./usr/share/applications/cn.ferrovan.FerrovanBatch.desktop \
    ./usr/share/metainfo/cn.ferrovan.FerrovanBatch.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/ferrovan-batch.svg \
    ./usr/share/icons/hicolor/48x48/apps/ferrovan-batch.png \
    ./usr/share/icons/hicolor/256x256/apps/ferrovan-batch.png \
    "./usr/share/ferrovan-batch/使用说明.txt" \
    ./usr/share/man/man1/ferrovan-batch.1.gz \
    ./usr/share/bash-completion/completions/ferrovan-batch \
    ./usr/share/zsh/vendor-completions/_ferrovan-batch \
    ./usr/share/doc/ferrovan-batch/copyright \
    ./usr/share/doc/ferrovan-batch/changelog.gz; do
    if grep -qF -- " $path" <<<"$listing"; then
        echo "has   $path"
    else
        echo "LACKS $path"
        fail=1
    fi
done

# The modules the program loads when needed, in its library folder.
for module in window video pdf; do
    if grep -qE -- " \./usr/lib/[^ ]*/ferrovan-batch/ferrovan-batch-$module\.so$" <<<"$listing"; then
        echo "has   ferrovan-batch-$module.so"
    else
        echo "LACKS ferrovan-batch-$module.so"
        fail=1
    fi
done

depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
for want in libqt6widgets6 libqt6network6 libicu liburing2; do
    grep -q "$want" <<<"$depends" || { echo "Depends lacks $want"; fail=1; }
done
grep -q libreoffice-calc <<<"$recommends" || { echo "Recommends lacks libreoffice-calc"; fail=1; }

# apt resolves the package's dependencies (nothing is installed).
if ! apt-get install --simulate --no-install-recommends "$deb" >/dev/null; then
    echo "apt cannot resolve the dependencies"
    fail=1
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg -x "$deb" "$unpacked"
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$unpacked/usr/bin/ferrovan-batch" --version)
echo "--version: $version"
grep -q "2\.6\.711" <<<"$version" || fail=1
# ...through the window's module beside it, not the build tree's.
loaded=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LD_DEBUG=files \
    "$unpacked/usr/bin/ferrovan-batch" --version 2>&1 >/dev/null || true)
if ! grep -qE "file=$unpacked/usr/(bin/\.\./)?lib/.*/ferrovan-batch/ferrovan-batch-window\.so" <<<"$loaded"; then
    echo "the packed program does not load its own window module"
    fail=1
fi

# Debian's own checks of the package, and AppStream's of the description.
echo "== lintian"
if ! lintian --fail-on error,warning --no-tag-display-limit "$deb"; then
    echo "lintian reports errors or warnings"
    fail=1
fi
echo "== appstreamcli validate"
if ! appstreamcli validate --no-net "$ROOT/packaging/cn.ferrovan.FerrovanBatch.metainfo.xml"; then
    echo "appstreamcli rejects the AppStream description"
    fail=1
fi

if [ "$fail" -ne 0 ]; then
    echo "package check FAILED"
    exit 1
fi
echo "package check passed"
