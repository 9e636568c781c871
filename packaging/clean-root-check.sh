#!/usr/bin/env bash
# clean-root-check.sh DEB_DIR [MIRROR]: installs the packages built by dpkg-buildpackage (the
# .deb files in DEB_DIR) into a fresh minbase Debian 12 root made with debootstrap, as a user
# would with apt's defaults: first tonvela-convert alone (it must pull no Qt), then the rest.
# Each step prints the packages apt pulled in and their installed size; both programs run; then
# everything is purged and the root must hold no file it did not hold before.
# Run as root, by hand (it takes minutes and fetches from MIRROR, by default the first Debian
# archive in this machine's apt sources).
set -uo pipefail
DEBS="$(cd "${1:?usage: clean-root-check.sh DEB_DIR [MIRROR]}" && pwd)"
MIRROR="${2:-$(sed -n 's/^deb \(\[[^]]*\] \)\?\(http[^ ]*\) bookworm .*/\2/p' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -1)}"
if [ -z "$MIRROR" ]; then
  MIRROR="$(sed -n 's/^URIs: *\(http[^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)"
fi
MIRROR="${MIRROR:-http://deb.debian.org/debian}"
[ "$(id -u)" -eq 0 ] || { echo "clean-root-check.sh: run as root" >&2; exit 2; }
for p in tonvela-convert tonvela tonvela-data tonvela-webplayer; do
  ls "$DEBS"/${p}_*.deb >/dev/null 2>&1 || { echo "clean-root-check.sh: no ${p}_*.deb in $DEBS" >&2; exit 2; }
done

R="$(mktemp -d "${TMPDIR:-/var/tmp}/clean-root.XXXXXX")"
cleanup() {
  umount -l "$R/proc" 2>/dev/null || true
  rm -rf --one-file-system "$R"; rm -f "$R".*
}
trap cleanup EXIT
chmod 755 "$R"
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; return 1; fi; }

echo "debootstrap --variant=minbase bookworm from $MIRROR"
debootstrap --variant=minbase bookworm "$R" "$MIRROR" >"$R.debootstrap.log" 2>&1 || { tail -20 "$R.debootstrap.log"; exit 1; }
rm -f "$R.debootstrap.log"
# Only /proc is shared; the root keeps the device nodes debootstrap made.
mount -t proc proc "$R/proc"
# No service may start inside the root.
printf '#!/bin/sh\nexit 101\n' >"$R/usr/sbin/policy-rc.d"; chmod 755 "$R/usr/sbin/policy-rc.d"
mkdir -p "$R/debs"; cp "$DEBS"/tonvela*_*.deb "$R/debs/"; rm -f "$R"/debs/*-dbgsym_*.deb
in_root() { chroot "$R" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
in_root apt-get update -qq || { echo "apt-get update failed in the root"; exit 1; }
# What the root holds before: every file outside the package manager's own records and logs.
snapshot() {
  (cd "$R" && find . -xdev \( -path ./proc -o -path ./sys -o -path ./dev -o -path ./debs -o -path ./tmp \
     -o -path ./var/cache -o -path ./var/lib/apt -o -path ./var/lib/dpkg -o -path ./var/log -o -path ./root \) -prune \
     -o -print | sort)
}
snapshot >"$R.before"
packages() { in_root dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Installed-Size}\n' | awk '$1 == "ii" { print $2, $3 }' | sort; }
pulled() {  # packages in $2 not in $1, with the sum of their installed size
  comm -13 "$1" "$2" >"$R.new"
  echo "     $(wc -l <"$R.new") packages, $(awk '{ s += $2 } END { printf "%.1f MB", s / 1024 }' "$R.new") installed:"
  awk '{ printf "%s ", $1 } END { print "" }' "$R.new" | fold -s -w 96 | sed 's/^/       /'
}

packages >"$R.p0"
echo "step 1: tonvela-convert alone (apt's defaults: with Recommends)"
in_root sh -c 'apt-get install -y -qq /debs/tonvela-convert_*.deb /debs/tonvela-data_*.deb' >"$R.log" 2>&1; rc=$?
check "apt installs tonvela-convert (rc $rc)" '[ $rc -eq 0 ]' || { tail -20 "$R.log"; exit 1; }
packages >"$R.p1"; pulled "$R.p0" "$R.p1"
check "no Qt, web player or xdg-utils pulled" '! grep -qiE "^(libqt|qt6|tonvela-webplayer|xdg-utils) " "$R.new"'
out="$(in_root sh -c 'cd /tmp && cp /usr/share/tonvela/samples/sample.wav . && tonvela-convert -q --set HtmlWebPlayer=1 sample.wav && ls -l sample.swf sample.htm*' 2>&1)"; rc=$?
check "tonvela-convert converts the sample (rc $rc)" '[ $rc -eq 0 ]'; echo "$out" | sed 's/^/     /'
out="$(in_root sh -c 'cd /tmp && tonvela-convert -q --set HtmlWebPlayer=2 --set TargetExistsOpt=22 sample.wav' 2>&1)"; rc=$?
check "without the web player, HtmlWebPlayer=2 says what is missing (rc $rc)" '[ $rc -eq 1 ] && grep -q tonvela-webplayer <<<"$out"'
echo "$out" | sed 's/^/     /'

echo "step 2: the desktop program and the web player"
in_root sh -c 'apt-get install -y -qq /debs/tonvela_*.deb /debs/tonvela-webplayer_*.deb' >"$R.log" 2>&1; rc=$?
check "apt installs tonvela and tonvela-webplayer (rc $rc)" '[ $rc -eq 0 ]' || { tail -20 "$R.log"; exit 1; }
packages >"$R.p2"; pulled "$R.p1" "$R.p2"
out="$(in_root env QT_QPA_PLATFORM=offscreen tonvela --version 2>&1)"; rc=$?
check "tonvela --version (rc $rc)" '[ $rc -eq 0 ] && grep -q "^Tonvela " <<<"$out"'
out="$(in_root sh -c 'cd /tmp && tonvela-convert -q --set HtmlWebPlayer=2 --set TargetExistsOpt=22 sample.wav && ls ruffle/ruffle.js' 2>&1)"; rc=$?
check "with the web player, HtmlWebPlayer=2 copies it beside the page (rc $rc)" '[ $rc -eq 0 ]'

echo "step 3: purge"
rm -rf "$R/tmp/"*
in_root apt-get purge -y -qq --autoremove tonvela tonvela-convert tonvela-data tonvela-webplayer >"$R.log" 2>&1; rc=$?
check "apt purges the four packages (rc $rc)" '[ $rc -eq 0 ] && ! packages | grep -q "^tonvela"' || tail -20 "$R.log"
# apt keeps what a package of the base system recommends (apt: ca-certificates, and so on);
# those are purged too, so that only leftovers of the packages' own scripts would remain.
comm -13 "$R.p0" <(packages) >"$R.kept"
if [ -s "$R.kept" ]; then
  echo "     kept by apt's autoremove (recommended by the base system): $(awk '{ printf "%s ", $1 }' "$R.kept")"
  in_root apt-get purge -y -qq $(awk '{ print $1 }' "$R.kept") >"$R.log" 2>&1
fi
check "the root has the packages it had before" '[ -z "$(comm -3 "$R.p0" <(packages))" ]' || comm -3 "$R.p0" <(packages)
snapshot >"$R.after"
comm -13 "$R.before" "$R.after" >"$R.left"
named="$(find "$R" -mindepth 1 -xdev -path "$R/debs" -prune -o -path "$R/proc" -prune -o -iname "*tonvela*" -print)"
check "no file of the four packages is left" '! grep -qiE "tonvela" "$R.left" && [ -z "$named" ]' || { grep -i tonvela "$R.left"; echo "$named"; }
# Files other packages' scripts made (the system's users, /etc/hosts...) stay, as after any install.
echo "     other new files after the purge: $(wc -l <"$R.left") (from the base system's maintainer scripts)"
sed -n '1,15s/^/       /p' "$R.left"
exit "$fail"
