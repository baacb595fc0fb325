#!/usr/bin/env bash
# Installs the build into a staging prefix inside the build folder and checks
# that the installed programs work from there, on their own files: the
# command line answers as the build tree's does, the libraries come from the
# prefix, and the desktop entry and AppStream metadata pass their validators.
#   check-install.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
stage="$(mktemp -d "$build/install-check.XXXXXX")"
trap 'rm -rf "$stage"' EXIT
prefix="$stage/prefix"
export HOME="$stage/home" XDG_CONFIG_HOME="$stage/home/.config"
mkdir -p "$XDG_CONFIG_HOME"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# Only the programs are in bin/, and nothing is beside them: the installed
# programs must find their files through the prefix.
[ "$(ls "$prefix/bin")" = "$(printf 'tarvello\ntarvello-cli')" ] || fail "bin/ holds: $(ls "$prefix/bin")"
data="$prefix/share/tarvello"
for f in langages/Francais.lng langages/English.lng langages/Francais/Tarvello.html \
         langages/English/Tarvello.html langages/common/oui.gif; do
  [ -f "$data/$f" ] || fail "share/tarvello/$f is missing"
done

# The core library resolves inside the prefix, never from the build tree.
for program in tarvello tarvello-cli; do
  core="$(ldd "$prefix/bin/$program" | awk '/libtarvello_core/ {print $3}')"
  case "$core" in
    "$prefix"/*) ;;
    *) fail "$program loads its core library from '${core:-nowhere}'" ;;
  esac
done

# The staged command line says and does what the build tree's does.
mkdir -p "$stage/photos"
touch "$stage/photos/b.jpg" "$stage/photos/a.jpg"
compare() {
  local expected actual
  expected="$("$build/bin/tarvello-cli" "$@" 2>&1)" || fail "the build tree's tarvello-cli $* failed: $expected"
  actual="$("$prefix/bin/tarvello-cli" "$@" 2>&1)" || fail "the installed tarvello-cli $* failed: $actual"
  [ "$expected" = "$actual" ] || fail "tarvello-cli $* differs once installed:
--- build tree
$expected
--- installed
$actual"
}
compare --help
compare preview --lang English --help
compare preview --rule 'Photo_###' "$stage/photos/b.jpg" "$stage/photos/a.jpg"

# The desktop entry starts an installed program and shows an installed icon.
desktop="$prefix/share/applications/org.tarvello.Tarvello.desktop"
metainfo="$prefix/share/metainfo/org.tarvello.Tarvello.metainfo.xml"
[ -f "$desktop" ] && [ -f "$metainfo" ] || fail "desktop entry or metainfo missing"
exec_program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -x "$prefix/bin/$exec_program" ] || fail "Exec names '$exec_program', which is not installed in bin/"
icon="$(sed -n 's/^Icon=//p' "$desktop")"
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"
if command -v rsvg-convert >/dev/null; then
  [ -f "$prefix/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "no 48x48 icon named $icon"
fi
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" \
  || fail "the metainfo does not launch $(basename "$desktop")"

skipped=()
if command -v desktop-file-validate >/dev/null; then
  out="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
else
  skipped+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >/dev/null 2>&1 \
    || fail "appstreamcli validate: $(appstreamcli validate --no-net "$metainfo" 2>&1)"
else
  skipped+=(appstreamcli)
fi
if [ ${#skipped[@]} -gt 0 ]; then
  echo "not installed, not run: ${skipped[*]}"
  exit 77
fi
