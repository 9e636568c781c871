#!/usr/bin/env bash
# The Debian packages as Debian builds them: dpkg-buildpackage makes tonvela-convert, tonvela,
# tonvela-data, tonvela-webplayer and the -dbgsym packages from debian/; lintian reports no error
# or warning beyond overrides that give their reason; the programs are stripped and hardened,
# the packages xz-compressed with no time stamp after the change log's; each package holds its
# own files and depends on what it should (the command line pulls no Qt and no web player); and
# the autopkgtests pass on this machine (as root).
# Only optimised builds without sanitizers run it (the packages do not depend on the build tree,
# so the sanitizer passes skip it).
# Usage: deb_packages.sh BUILD_DIR SOURCE_DIR (TONVELA_DEB_KEEP=DIR keeps a copy of the packages)
# No pipefail: the checks pipe into grep -q, which stops reading at its first match; the
# writer's SIGPIPE must not turn a found line into a failed check.
set -u
BUILD="$1"; SRC="$2"
cache="$BUILD/CMakeCache.txt"
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
case "$(setting CMAKE_BUILD_TYPE)" in
  Release|RelWithDebInfo|MinSizeRel) ;;
  *) echo "skipped: packages are checked from optimised build trees"; exit 77 ;;
esac
[ "$(setting TONVELA_SANITIZE)" = ON ] || [ "$(setting TONVELA_TSAN)" = ON ] && { echo "skipped: sanitizer build"; exit 77; }
for tool in dpkg-buildpackage dh lintian dpkg-deb dpkg-parsechangelog dpkg-checkbuilddeps hardening-check flock; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
/usr/bin/python3 -c "import debian.copyright" 2>/dev/null || { echo "skipped: python3-debian not installed"; exit 77; }
RUFFLE="$SRC/node_modules/@ruffle-rs/ruffle"
[ -f "$RUFFLE/ruffle.js" ] || { echo "skipped: no prebuilt web player in $RUFFLE (npm ci)"; exit 77; }
(cd "$SRC" && dpkg-checkbuilddeps -Pnocheck) || { echo "skipped: build dependencies missing"; exit 77; }

T="$(mktemp -d)"
# The package build runs at one fixed path (one run at a time), so that ccache finds the
# compiler's command lines of the previous run again.
W="${TMPDIR:-/tmp}/tonvela-deb-build-$(id -u)"
exec 9>"$W.lock"
flock 9
trap 'rm -rf "$T" "$W"' EXIT
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; return 1; fi; }

# The source tree without build trees, VCS data and npm's other packages, plus the web player.
rm -rf "$W"; mkdir -p "$W/tonvela/node_modules/@ruffle-rs"
tar -C "$SRC" --exclude='./build*' --exclude=./.git --exclude=./node_modules --exclude='./obj-*' -cf - . | tar -C "$W/tonvela" -xf -
cp -r "$RUFFLE" "$W/tonvela/node_modules/@ruffle-rs/"
ccache_path=""
if [ -d /usr/lib/ccache ] && command -v ccache >/dev/null; then
  # debhelper gives the build a HOME of its own, where ccache would start an empty cache on
  # every run: name the user's cache.
  ccache_path=/usr/lib/ccache:
  CCACHE_DIR="${CCACHE_DIR:-$(ccache -k cache_dir)}"; export CCACHE_DIR
  # The window code is compiled with a precompiled header, which ccache caches only with this
  # sloppiness (the build tree's own compiles get it from their launcher).
  CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:+$CCACHE_SLOPPINESS,}pch_defines,time_macros,include_file_mtime,include_file_ctime"
  export CCACHE_SLOPPINESS
fi
start=$SECONDS
# At a low priority, as CI builds its other trees: a whole build beside the other tests must
# not starve their players.
(cd "$W/tonvela" && PATH="$ccache_path$PATH" DEB_BUILD_OPTIONS="nocheck parallel=2" \
  nice -n 10 dpkg-buildpackage -us -uc -b -Pnocheck) >"$T/build.log" 2>&1; rc=$?
echo "     dpkg-buildpackage: $((SECONDS - start)) s"
mv "$W"/*.deb "$W"/*.changes "$W"/*.buildinfo "$T"/ 2>/dev/null
version="$(dpkg-parsechangelog -l "$SRC/debian/changelog" -S Version)"
epoch="$(dpkg-parsechangelog -l "$SRC/debian/changelog" -S Timestamp)"
deb() { echo "$T/$1_${version}_$2.deb"; }
arch="$(dpkg --print-architecture)"
CONV="$(deb tonvela-convert "$arch")"; GUI="$(deb tonvela "$arch")"
DATA="$(deb tonvela-data all)"; WEB="$(deb tonvela-webplayer all)"
check "dpkg-buildpackage makes the four packages and two dbgsym packages (rc $rc)" \
  '[ $rc -eq 0 ] && for f in "$CONV" "$GUI" "$DATA" "$WEB" "$(deb tonvela-convert-dbgsym "$arch")" "$(deb tonvela-dbgsym "$arch")"; do [ -f "$f" ] || exit 1; done' \
  || { tail -40 "$T/build.log"; exit 1; }
check "debian/changelog's version $version is the project's" \
  'grep -qE "^project\(Tonvela VERSION ${version//./\\.} " "$SRC/CMakeLists.txt"'

[ -n "${TONVELA_DEB_KEEP:-}" ] && mkdir -p "$TONVELA_DEB_KEEP" && cp "$T"/*.deb "$T"/*.changes "$T"/*.buildinfo "$TONVELA_DEB_KEEP"/
field() { dpkg-deb -f "$1" "$2"; }
for d in "$CONV" "$GUI" "$DATA" "$WEB"; do
  echo "     $(basename "$d"): $(du -k "$d" | cut -f1) KiB, installed $(field "$d" Installed-Size) KiB"
  for f in Depends Recommends Suggests; do echo "       $f: $(field "$d" $f)"; done
done

# Dependencies: the command line pulls no Qt and no web player (only recommends it), and
# nothing desktop-ish; the data and the web player are for every architecture.
list() { field "$1" "$2" | tr ',' '\n' | sed 's/^ *//; s/ .*//; /^$/d'; }
has_dep() { list "$1" "$2" | grep -qx "$3"; }
exact() { field "$1" "$2" | grep -qE "(^|, )$3 \(= ${version//./\\.}\)(,|$)"; }
check "tonvela-convert depends on tonvela-data (= $version) and the libraries it links" \
  'exact "$CONV" Depends tonvela-data && has_dep "$CONV" Depends libmp3lame0 && list "$CONV" Depends | grep -q "^libavcodec"'
check "tonvela-convert's Depends name no Qt, web player, xdg-utils" \
  '! list "$CONV" Depends | grep -qiE "qt|tonvela-webplayer|xdg-utils|libx11"'
check "tonvela-convert recommends tonvela-webplayer, suggests xdg-utils, is Multi-Arch: foreign" \
  'exact "$CONV" Recommends tonvela-webplayer && ! has_dep "$CONV" Recommends xdg-utils && has_dep "$CONV" Suggests xdg-utils && [ "$(field "$CONV" Multi-Arch)" = foreign ]'
check "tonvela depends on tonvela-data, tonvela-webplayer (= $version) and Qt" \
  'exact "$GUI" Depends tonvela-data && exact "$GUI" Depends tonvela-webplayer && has_dep "$GUI" Depends libqt6widgets6'
check "tonvela-data and tonvela-webplayer are Architecture: all, depend on nothing" \
  'for d in "$DATA" "$WEB"; do [ "$(field "$d" Architecture)" = all ] && [ -z "$(list "$d" Depends)" ] || exit 1; done'
check "the web player's description says it is prebuilt, from npm, and what needs it" \
  'field "$WEB" Description | grep -q prebuilt && field "$WEB" Description | grep -q "@ruffle-rs/ruffle" && field "$WEB" Description | grep -q "HtmlWebPlayer=2"'

# What goes where: dpkg refuses a second package that brings a file the first one owns.
for d in "$CONV" "$GUI" "$DATA" "$WEB"; do
  dpkg-deb -c "$d" | awk '$1 !~ /^d/ { print $6 }' | sort >"$T/$(field "$d" Package).files"
done
has() { grep -qx "./usr/$2" "$T/$1.files"; }
check "tonvela-convert: program and man page, no data" \
  'has tonvela-convert bin/tonvela-convert && has tonvela-convert share/man/man1/tonvela-convert.1.gz && ! grep -q "^./usr/share/tonvela/" "$T/tonvela-convert.files"'
check "tonvela: program, desktop entry, icon, metainfo, man page" \
  'has tonvela bin/tonvela && has tonvela share/applications/tonvela.desktop && has tonvela share/icons/hicolor/scalable/apps/tonvela.svg && has tonvela share/metainfo/org.tonvela.Tonvela.metainfo.xml && has tonvela share/man/man1/tonvela.1.gz'
check "tonvela-data: templates, manual, samples, no web player" \
  'has tonvela-data share/tonvela/ControlSWF/square_gradient_3.swf && has tonvela-data share/tonvela/help/index.html && has tonvela-data share/tonvela/samples/sample.wav && ! grep -q "/ruffle/" "$T/tonvela-data.files"'
check "tonvela-webplayer: Ruffle and its licences only" \
  'has tonvela-webplayer share/tonvela/ruffle/ruffle.js && has tonvela-webplayer share/tonvela/ruffle/LICENSE_MIT && [ -z "$(grep -v -e "^./usr/share/tonvela/ruffle/" -e "^./usr/share/doc/" "$T/tonvela-webplayer.files")" ]'
for p in tonvela-convert tonvela tonvela-data tonvela-webplayer; do
  check "$p: copyright and changelog.gz in /usr/share/doc/$p/" 'has $p share/doc/$p/copyright && has $p share/doc/$p/changelog.gz'
done
check "no file in two packages" '[ -z "$(sort "$T"/*.files | uniq -d)" ]' || sort "$T"/*.files | uniq -d

# xz, and no time stamp later than the change log's entry (SOURCE_DATE_EPOCH).
for d in "$CONV" "$GUI" "$DATA" "$WEB"; do
  newest="$(dpkg-deb --fsys-tarfile "$d" | /usr/bin/python3 -c 'import sys, tarfile; print(max(m.mtime for m in tarfile.open(fileobj=sys.stdin.buffer, mode="r|")))')"
  check "$(basename "$d"): xz-compressed, newest time stamp $newest <= $epoch" \
    'ar t "$d" | grep -qx data.tar.xz && [ "$newest" -le "$epoch" ]'
done

# lintian on the upload, with the packages' overrides; each override says why on the line above.
lintian --fail-on error,warning --tag-display-limit 0 "$T"/tonvela_*.changes >"$T/lintian.log" 2>&1; rc=$?
grep -v "running with root privileges" "$T/lintian.log" | sed 's/^/     lintian: /'
check "lintian: no error, no warning (rc $rc)" '[ $rc -eq 0 ] && ! grep -qE "^[EW]: " "$T/lintian.log"'
for o in "$SRC"/debian/*.lintian-overrides; do
  [ -f "$o" ] || continue
  check "every override in $(basename "$o") has its reason" \
    'awk "/^[^#[:space:]]/ && prev !~ /^# ./ { bad = 1 } { prev = \$0 } END { exit bad }" "$o"'
done

for d in "$CONV" "$GUI" "$DATA" "$WEB"; do x="$T/x/$(field "$d" Package)"; mkdir -p "$x"; dpkg-deb -x "$d" "$x"; done
# The copyright file as python-debian's strict DEP-5 parser reads it: every licence named has
# its text, and each Ruffle file (paths in the file are the source tree's) falls under Ruffle's
# own stanza, not Tonvela's.
(cd "$T/x/tonvela-webplayer/usr/share/tonvela" && find ruffle -type f) >"$T/ruffle.files"
/usr/bin/python3 - "$T/x/tonvela-webplayer/usr/share/doc/tonvela-webplayer/copyright" "$T/ruffle.files" >"$T/dep5.log" 2>&1 <<'PY'
import re, sys
from debian import copyright as c
cp = c.Copyright(open(sys.argv[1]), strict=True)
texts = {p.license.synopsis for p in cp.all_license_paragraphs()}
problems = []
for p in cp.all_files_paragraphs():
    for name in filter(None, re.split(r"[()\s]+|\band\b|\bor\b", p.license.synopsis)):
        if name not in texts and not p.license.text:
            problems.append(f"{p.files}: no text for {name}")
for f in open(sys.argv[2]).read().split():
    p = cp.find_files_paragraph("node_modules/@ruffle-rs/" + f)
    if p is None or "GPL" in p.license.synopsis:
        problems.append(f"{f}: not under Ruffle's licence")
print("\n".join(problems))
sys.exit(1 if problems else 0)
PY
rc=$?
check "copyright is valid DEP-5 and covers Ruffle's $(wc -l <"$T/ruffle.files") files (rc $rc)" '[ $rc -eq 0 ] && [ -s "$T/ruffle.files" ]' || cat "$T/dep5.log"
check "changelog.gz is debian/changelog" 'zcat "$T/x/tonvela-data/usr/share/doc/tonvela-data/changelog.gz" | cmp -s - "$SRC/debian/changelog"'

# The packaged programs: stripped by dh (no .comment), hardened as Debian builds, licence in --version.
for bin in tonvela-convert/usr/bin/tonvela-convert tonvela/usr/bin/tonvela; do
  check "$(basename "$bin") is stripped, without a .comment section" \
    '! readelf -S "$T/x/$bin" | grep -qE "\.(comment|debug_info|symtab)\b"'
  # Debian 12's C start-up files carry no CET marking, so no program there is marked for
  # control-flow protection as a whole, whatever it was compiled with.
  # Debian 12's build flags bring no stack-clash probes, so that line is not asked for.
  out="$(hardening-check --nocfprotection "$T/x/$bin" 2>&1)"
  yes="$(grep -cE "^ (Position Independent Executable|Stack protected|Fortify Source functions|Read-only relocations|Immediate binding): yes" <<<"$out")"
  check "hardening-check $(basename "$bin"): PIE, stack protector, fortify, RELRO, bind-now" '[ "$yes" -eq 5 ]'
  sed 's/^/     /' <<<"$out"
  ver="$(QT_QPA_PLATFORM=offscreen "$T/x/$bin" --version 2>&1)"
  check "$(basename "$bin") --version names version $version and the GPL v3+" \
    'grep -q " $version$" <<<"$ver" && grep -q "GNU GPL version 3 or later" <<<"$ver"' || echo "$ver"
done

# The autopkgtests, on this machine: they install the packages, so only as root; what they
# installed is purged afterwards.
if [ "$(id -u)" -ne 0 ] || ! command -v autopkgtest >/dev/null; then
  echo "skipped: autopkgtest (needs root and autopkgtest)"
else
  installed=()
  for p in tonvela-convert tonvela tonvela-data tonvela-webplayer; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" && installed+=("$p")
  done
  autopkgtest "$CONV" "$GUI" "$DATA" "$WEB" "$W/tonvela/" -- null >"$T/autopkgtest.log" 2>&1; rc=$?
  grep -E "^(convert|window) " "$T/autopkgtest.log" | awk '!seen[$0]++ { print "     autopkgtest: " $0 }'
  check "autopkgtest: convert and window pass (rc $rc)" \
    '[ $rc -eq 0 ] && grep -qE "^convert +PASS" "$T/autopkgtest.log" && grep -qE "^window +PASS" "$T/autopkgtest.log"' || tail -40 "$T/autopkgtest.log"
  if ((${#installed[@]} == 0)); then
    DEBIAN_FRONTEND=noninteractive dpkg --purge tonvela tonvela-convert tonvela-webplayer tonvela-data >/dev/null 2>&1
  fi
fi
exit "$fail"
