#!/usr/bin/env bash
# Proves the release build installs the way users expect:
#  1. cmake --install into a scratch prefix gives bin/tagwright, the manual page and
#     the bash completion;
#  2. lintian finds no error and no warning in the Debian package, which carries the
#     copyright file, the changelog and formats.md;
#  3. the Debian package installs on this machine, its tagwright patches a sample
#     ROM and `man tagwright` shows the page; then the package is removed again.
#
# usage: tools/check_package.sh  (after: cmake --workflow --preset package)
# Needs root or sudo for dpkg.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/release"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

fail() { echo "check_package: $*" >&2; exit 1; }

echo "== cmake --install into a scratch prefix"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
[ -x "$work/prefix/bin/tagwright" ] || fail "bin/tagwright not installed"
[ -f "$work/prefix/share/man/man1/tagwright.1.gz" ] || fail "manual page not installed"
[ -f "$work/prefix/share/bash-completion/completions/tagwright" ] || fail "bash completion not installed"

debs=("$build"/tagwright_*.deb)
[ -f "${debs[0]}" ] || fail "no package in $build"
deb="${debs[0]}"
if dpkg-query -W -f='${Status}' tagwright 2>/dev/null | grep -q "install ok installed"; then
  fail "tagwright is already installed here; remove it first"
fi

echo "== lintian $(basename "$deb")"
command -v lintian >/dev/null || fail "lintian is not installed (apt-get install lintian)"
contents="$(dpkg-deb -c "$deb")"
for doc in copyright changelog.gz formats.md; do
  grep -q "./usr/share/doc/tagwright/$doc\$" <<<"$contents" || fail "no /usr/share/doc/tagwright/$doc"
done
grep -q "./usr/share/bash-completion/completions/tagwright\$" <<<"$contents" \
  || fail "no /usr/share/bash-completion/completions/tagwright"
# Root is warned about but fine for reading a .deb; errors and warnings fail.
lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2) \
  || fail "lintian reported errors or warnings"
echo "lintian: no error, no warning"

echo "== dpkg -i $(basename "$deb")"
$SUDO dpkg -i "$deb" >/dev/null
remove() { $SUDO dpkg -r tagwright >/dev/null; }
trap 'remove; rm -rf "$work"' EXIT

installed="$(command -v tagwright)" || fail "tagwright is not on the PATH"
[ "$installed" = /usr/bin/tagwright ] || fail "tagwright found at $installed"

echo "== tagwright on a sample ROM"
"$build/tools/make_sample_rom" "$work/sample.gba"
(cd "$work" && tagwright sample.gba -s6 -p -osample-patched.gba >/dev/null) \
  || fail "tagwright exited with $?"
in_size=$(stat -c %s "$work/sample.gba")
out_size=$(stat -c %s "$work/sample-patched.gba")
tag=$(dd if="$work/sample-patched.gba" bs=1 skip="$in_size" count=12 status=none | od -An -c | tr -s ' ')
[ "$tag" = " S R A M _ V 1 1 3 \0 \0 \0" ] || fail "save tag not found after the image: '$tag'"
[ $((out_size & (out_size - 1))) -eq 0 ] || fail "output of $out_size bytes is not padded"
echo "sample.gba: $in_size bytes -> sample-patched.gba: $out_size bytes, tag '$tag'"

echo "== man tagwright"
page=/usr/share/man/man1/tagwright.1.gz
if [ ! -f "$page" ]; then
  # Minimal container images tell dpkg to drop manual pages (path-exclude in
  # /etc/dpkg/dpkg.cfg.d); the page is then checked from the package itself.
  grep -rqs 'path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d \
    || fail "the package did not install $page"
  echo "(this machine excludes /usr/share/man from packages; reading the page from the .deb)"
  dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/tagwright.1.gz > "$work/tagwright.1.gz"
  shown=$(MANPAGER=cat MANWIDTH=80 man -l "$work/tagwright.1.gz")
else
  shown=$(MANPAGER=cat MANWIDTH=80 man tagwright)
fi
grep -Eq "^TAGWRIGHT\(1\)" <<<"$shown" && grep -Eq "tagwright +- +set the save type" <<<"$shown" || fail "man tagwright did not show the page"
grep -q "EXIT STATUS" <<<"$shown" || fail "the page lacks EXIT STATUS"
echo "man tagwright: $(grep -c '' <<<"$shown") lines"

echo "== dpkg -r tagwright"
remove
trap 'rm -rf "$work"' EXIT
[ ! -e /usr/bin/tagwright ] || fail "/usr/bin/tagwright remains after removal"
echo "package check passed"
