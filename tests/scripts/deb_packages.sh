#!/usr/bin/env bash
# The Debian packages, made by cpack from this build tree: lintian reports no error or warning
# beyond the packages' own overrides (each with its reason), tonvela-convert pulls no Qt,
# tonvela needs tonvela-convert of its own version, the two install side by side, the change
# log is the one in NEWS, and both programs are hardened and name their licence.
# Only optimised builds without sanitizers are packaged; other build trees skip this test.
# Usage: deb_packages.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$1"; SRC="$2"
cache="$BUILD/CMakeCache.txt"
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
case "$(setting CMAKE_BUILD_TYPE)" in
  Release|RelWithDebInfo|MinSizeRel) ;;
  *) echo "skipped: packages come from optimised builds"; exit 77 ;;
esac
[ "$(setting TONVELA_SANITIZE)" = ON ] && { echo "skipped: sanitizer build"; exit 77; }
[ -x "$BUILD/bin/tonvela-convert" ] && [ -x "$BUILD/bin/tonvela" ] || { echo "skipped: build both programs first"; exit 77; }
for tool in cpack lintian dpkg-deb dpkg-shlibdeps dpkg-parsechangelog hardening-check; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
/usr/bin/python3 -c "import debian.copyright" 2>/dev/null || { echo "skipped: python3-debian not installed"; exit 77; }

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

# cpack's work folder goes with the packages into the temporary folder, not the build tree.
cpack --config "$BUILD/CPackConfig.cmake" -B "$T/out" >"$T/cpack.log" 2>&1; rc=$?
CONV="$(ls "$T"/out/tonvela-convert_*.deb 2>/dev/null)"; GUI="$(ls "$T"/out/tonvela_*.deb 2>/dev/null)"
check "cpack makes both packages (rc $rc)" '[ $rc -eq 0 ] && [ -f "$CONV" ] && [ -f "$GUI" ]' || { cat "$T/cpack.log"; exit 1; }
field() { dpkg-deb -f "$1" "$2"; }
version="$(field "$GUI" Version)"
for deb in "$CONV" "$GUI"; do
  echo "     $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB, installed $(field "$deb" Installed-Size) KiB"
  echo "     Depends: $(field "$deb" Depends)"
done

# Dependencies as dpkg-shlibdeps worked them out from the programs.
conv_deps="$(field "$CONV" Depends)"; gui_deps="$(field "$GUI" Depends)"
check "tonvela-convert depends on the libraries it links" 'grep -q "libmp3lame0" <<<"$conv_deps" && grep -q "libavcodec" <<<"$conv_deps"'
check "tonvela-convert's Depends names no Qt" '! grep -qi "qt" <<<"$conv_deps"'
check "tonvela depends on tonvela-convert (= $version) and Qt" \
  'grep -qE "(^|, )tonvela-convert \(= ${version//./\\.}\)(,|$)" <<<"$gui_deps" && grep -q "libqt6widgets6" <<<"$gui_deps"'
check "both packages have version $version" '[ "$(field "$CONV" Version)" = "$version" ]'
check "NEWS's latest entry is version $version" '[ "$(dpkg-parsechangelog -l "$SRC/NEWS" -S Version)" = "$version" ]'

# What goes where: dpkg refuses a second package that brings a file the first one owns.
dpkg-deb -c "$CONV" | awk '$1 !~ /^d/ { print $6 }' | sort >"$T/conv.files"
dpkg-deb -c "$GUI" | awk '$1 !~ /^d/ { print $6 }' | sort >"$T/gui.files"
has() { grep -qx "./usr/$2" "$T/$1.files"; }
check "tonvela-convert: program, data folder, Ruffle, man page" \
  'has conv bin/tonvela-convert && has conv share/tonvela/ControlSWF/square_gradient_3.swf && has conv share/tonvela/help/index.html && has conv share/tonvela/ruffle/ruffle.js && has conv share/man/man1/tonvela-convert.1.gz'
check "tonvela: program, desktop entry, icon, metainfo, man page" \
  'has gui bin/tonvela && has gui share/applications/tonvela.desktop && has gui share/icons/hicolor/scalable/apps/tonvela.svg && has gui share/metainfo/org.tonvela.Tonvela.metainfo.xml && has gui share/man/man1/tonvela.1.gz'
for p in conv:tonvela-convert gui:tonvela; do
  check "${p#*:}: copyright and changelog.gz in /usr/share/doc/${p#*:}/" \
    'has ${p%%:*} share/doc/${p#*:}/copyright && has ${p%%:*} share/doc/${p#*:}/changelog.gz'
done
check "no file in both packages" '[ -z "$(comm -12 "$T/conv.files" "$T/gui.files")" ]' || comm -12 "$T/conv.files" "$T/gui.files"

# lintian applies the overrides shipped in the packages; each must say why on the line above.
lintian --fail-on error,warning --tag-display-limit 0 "$CONV" "$GUI" >"$T/lintian.log" 2>&1; rc=$?
grep -v "running with root privileges" "$T/lintian.log" | sed 's/^/     lintian: /'
check "lintian: no error, no warning (rc $rc)" '[ $rc -eq 0 ] && ! grep -qE "^[EW]: " "$T/lintian.log"'
for deb in "$CONV" "$GUI"; do
  x="$T/x/$(field "$deb" Package)"; mkdir -p "$x"; dpkg-deb -x "$deb" "$x"
  for o in "$x"/usr/share/lintian/overrides/*; do
    [ -f "$o" ] || continue
    check "every override in $(basename "$o") has its reason" \
      'awk "/^[^#[:space:]]/ && prev !~ /^# ./ { bad = 1 } { prev = \$0 } END { exit bad }" "$o"'
  done
done
# The copyright file as python-debian's strict DEP-5 parser reads it: every licence named has
# its text, and each bundled Ruffle file (paths in the file are the source tree's) falls under
# Ruffle's own stanza, not Tonvela's.
(cd "$T/x/tonvela-convert/usr/share/tonvela" && find ruffle -type f) >"$T/ruffle.files"
/usr/bin/python3 - "$T/x/tonvela-convert/usr/share/doc/tonvela-convert/copyright" "$T/ruffle.files" >"$T/dep5.log" 2>&1 <<'PY'
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
check "changelog.gz is NEWS" 'zcat "$T/x/tonvela-convert/usr/share/doc/tonvela-convert/changelog.gz" | cmp -s - "$SRC/NEWS"'

# The packaged (stripped) programs: hardened as Debian builds, licence in --version.
for bin in tonvela-convert/usr/bin/tonvela-convert tonvela/usr/bin/tonvela; do
  # Debian 12's C start-up files carry no CET marking, so no program there is marked for
  # control-flow protection as a whole, whatever it was compiled with.
  out="$(hardening-check --nocfprotection "$T/x/$bin" 2>&1)"; rc=$?
  # Stack-clash probes appear only in functions with large frames: "unknown" where there are none.
  yes="$(grep -cE "^ (Position Independent Executable|Stack protected|Fortify Source functions|Read-only relocations|Immediate binding): yes" <<<"$out")"
  check "hardening-check $(basename "$bin"): PIE, stack protector, fortify, RELRO, bind-now (rc $rc)" \
    '[ $rc -eq 0 ] && [ "$yes" -eq 5 ] && ! grep -q "^ Stack clash protection: no" <<<"$out"'
  sed 's/^/     /' <<<"$out"
  ver="$(QT_QPA_PLATFORM=offscreen "$T/x/$bin" --version 2>&1)"
  check "$(basename "$bin") --version names version $version and the GPL v3+" \
    'grep -q " $version$" <<<"$ver" && grep -q "GNU GPL version 3 or later" <<<"$ver"' || echo "$ver"
done
exit "$fail"
