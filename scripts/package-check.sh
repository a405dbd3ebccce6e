#!/bin/sh
# Builds the Debian package, installs it on this machine and tries it as a
# fresh ordinary user: toponyx-create on the installed samples with relative
# paths, then the desktop program under a virtual X display, started,
# used, closed, started and closed again, to see that it keeps its
# settings where it may write. Prints each check; exits non-zero on the
# first failure. Not part of ctest: it installs packages and adds a user
# (removed again at the end), so it wants root.
#   scripts/package-check.sh [build folder]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-build}
case $BUILD in /*) build=$BUILD ;; *) build=$here/$BUILD ;; esac

step() { printf '== %s\n' "$*"; }
ok() { printf 'ok   %s\n' "$*"; }
fail() {
  printf 'FAIL %s\n' "$*" >&2
  exit 1
}

[ "$(id -u)" -eq 0 ] || fail "run as root: the check installs the package and adds a user"

step "Building the package"
mkdir -p "$build"
"$here/scripts/install-deps.sh" --package
make -C "$here" --no-print-directory package BUILD="$build" >"$build/package-check-build.log" 2>&1 ||
  { tail -20 "$build/package-check-build.log" >&2; fail "make package (log: $build/package-check-build.log)"; }
version=$(sed -n 's/^#define TOPONYX_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/toponyx/Version.h")
arch=$(dpkg --print-architecture)
deb=$build/toponyx-creator_${version}-1_${arch}.deb
[ -f "$deb" ] || fail "no package $deb"
ok "built $(basename "$deb") ($(wc -c <"$deb") bytes)"
ok "Depends: $(dpkg-deb -f "$deb" Depends)"

step "lintian"
lintian_out=$(lintian "$deb" 2>&1 | grep -v '^running with root privileges' || true)
[ -z "$lintian_out" ] || printf '%s\n' "$lintian_out" | sed 's/^/     /'
if printf '%s\n' "$lintian_out" | grep -q '^E: '; then fail "lintian reports errors"; fi
ok "lintian: no errors ($(printf '%s\n' "$lintian_out" | grep -c '^W: ' || true) warnings)"

step "Installing with apt-get"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall "$deb" >"$build/package-check-install.log" 2>&1 ||
  { tail -20 "$build/package-check-install.log" >&2; fail "apt-get install $deb (log: $build/package-check-install.log)"; }
ok "installed $(dpkg-query -W -f='${Package} ${Version}' toponyx-creator)"
prog=/usr/lib/toponyx-creator
for f in /usr/bin/toponyx-create /usr/bin/toponyx-creator "$prog/USACodes.list" "$prog/OsmCodes.list" \
  "$prog/WorldCodes.list" "$prog/toponyx.chm" "$prog/Toponyx/NZ.txt" \
  /usr/share/applications/org.toponyx.creator.desktop \
  /usr/share/metainfo/org.toponyx.creator.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/toponyx-creator.svg \
  /usr/share/icons/hicolor/48x48/apps/toponyx-creator.png \
  /usr/share/man/man1/toponyx-create.1.gz /usr/share/man/man1/toponyx-creator.1.gz \
  /usr/share/bash-completion/completions/toponyx-create /usr/share/doc/toponyx-creator/copyright; do
  [ -e "$f" ] || fail "missing $f"
done
[ "$(readlink -f /usr/bin/toponyx-creator)" = "$prog/toponyx-creator" ] ||
  fail "/usr/bin/toponyx-creator does not lead to $prog"
ok "layout: links in /usr/bin, program folder $prog, menu entry, icons, manual pages, completion"

# A fresh user with nothing of ours in its home.
user=tpxcheck$$
id "$user" >/dev/null 2>&1 && fail "user $user exists already"
xvfb=""
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  if id "$user" >/dev/null 2>&1; then
    sleep 0.5
    userdel -r "$user" >/dev/null 2>&1 || echo "note: could not remove user $user" >&2
  fi
}
trap cleanup EXIT INT TERM
useradd -m -s /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
ok "added user $user (home $home)"

# Runs a command as the user, in a clean environment, from a given folder.
as_user() {
  dir=$1
  shift
  runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" \
    PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 ${DISPLAY:+DISPLAY=$DISPLAY} \
    sh -c 'cd "$1" && shift && exec "$@"' sh "$dir" "$@"
}

step "toponyx-create as $user"
first=$(as_user "$home" toponyx-create --version | head -n 1)
[ "$first" = "toponyx-create $version" ] || fail "--version says '$first'"
ok "--version: $first"
as_user "$home" toponyx-create --help | grep -q '^Usage: toponyx-create ' || fail "--help"
ok "--help starts with its usage"

out=$home/check.out
err=$home/check.err
# name, folder to run in, arguments (relative paths all)
try_create() {
  name=$1
  dir=$2
  shift 2
  status=0
  as_user "$dir" toponyx-create --quiet --name "$name" "$@" >"$out" 2>"$err" || status=$?
  [ "$status" -eq 0 ] || fail "toponyx-create $* (in $dir) exits with $status: $(cat "$err")"
  [ ! -s "$err" ] || fail "toponyx-create $* (in $dir) says: $(cat "$err")"
  [ "$(wc -l <"$out")" -eq 2 ] || fail "toponyx-create $* prints: $(cat "$out")"
  while read -r written; do
    case $written in /*) path=$written ;; *) path=$dir/$written ;; esac
    [ -s "$path" ] || fail "toponyx-create $* names $written, which is not there"
  done <"$out"
  ok "in $dir: toponyx-create --quiet --name $name $* -> $(tr '\n' ' ' <"$out")"
}
try_create all "$prog" --save "$home/databases" --all Toponyx
try_create two "$prog/Toponyx" --save "$home/databases" NZ.txt wellington_nzmg.tpx
try_create rel "$home" --save databases/rel --temp scratch --all ../..$prog/Toponyx
names=$(($(wc -c <"$home/databases/all.names") - $(wc -c <"$home/databases/two.names")))
[ "$names" -gt 0 ] || fail "all.names is not larger than two.names"
cmp -s "$home/databases/all.names" "$home/databases/rel/rel.names" ||
  fail "the same samples gave different tables"
ok "all.names and rel.names are the same table; two.names is smaller"
[ ! -e "$prog/TOPONYX.INI" ] || fail "a settings file appeared in $prog"

step "toponyx-creator as $user under Xvfb"
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -ac >/dev/null 2>&1 &
xvfb=$!
i=0
while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
[ -e "/tmp/.X11-unix/X$n" ] || fail "Xvfb did not start"
export DISPLAY=":$n"
ok "display $DISPLAY"

title="Toponyx Creator (version $version)"
ini=$home/.config/toponyx/TOPONYX.INI
app_log=$home/creator.log

# The titles of the windows on the screen but the main window ($wid).
window_names() {
  for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    [ "$w" = "${wid:-}" ] || printf '"%s" ' "$(xdotool getwindowname "$w")"
  done
}
# Starts the program as the user and waits for its main window.
start_program() {
  as_user "$home" toponyx-creator >"$app_log" 2>&1 &
  app=$!
  wid=$(timeout 20 xdotool search --sync --onlyvisible --name "^Toponyx Creator \\(version") ||
    fail "no main window within 20 s; windows: $(window_names) $(cat "$app_log")"
  wid=$(printf '%s\n' "$wid" | head -n 1)
  [ "$(xdotool getwindowname "$wid")" = "$title" ] || fail "window title $(xdotool getwindowname "$wid")"
  sleep 1
  # Nothing else on the screen: a message box at start would stand here.
  others=$(window_names)
  [ -z "$others" ] || fail "other windows at start: $others"
  xdotool windowfocus --sync "$wid"
}
# Clicks at a point of the main window (its coordinates, from Mainfm.ui).
click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }
# Exit, then the program must end by itself: a message box at close (such
# as "Unable to write to ...") would keep it running.
exit_program() {
  xdotool windowraise "$wid"
  click 314 403
  i=0
  while kill -0 "$app" 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  kill -0 "$app" 2>/dev/null && fail "still running 10 s after Exit; windows: $(window_names)"
  status=0
  wait "$app" || status=$?
  app=""
  [ "$status" -eq 0 ] || fail "toponyx-creator exits with $status: $(cat "$app_log")"
}
key_of() { sed -n "s/^$1=\\(.*\\)\\r\$/\\1/p" "$ini"; }

start_program
ok "first start: the main window, no message"
# The save folder typed anew, all files ticked, a database named and created.
click 254 265
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "$home/Databases"
click 128 210
click 254 341
xdotool type --delay 20 "samples"
click 79 403
i=0
while [ ! -s "$home/Databases/samples.types" ] && [ $i -lt 150 ]; do sleep 0.1; i=$((i + 1)); done
[ -s "$home/Databases/samples.names" ] || fail "Create wrote no $home/Databases/samples.names"
sleep 1
cmp -s "$home/Databases/samples.names" "$home/databases/all.names" ||
  fail "the window's table differs from toponyx-create's"
ok "Create in the window wrote $home/Databases/samples.names, the same table as toponyx-create's"
click 379 403
timeout 10 xdotool search --sync --onlyvisible --name '^Toponyx Creator Help$' >/dev/null ||
  fail "Help opened no help window; windows: $(window_names)"
ok "Help shows the installed help file"
exit_program
ok "closed by Exit, no message"
[ -f "$ini" ] || fail "no settings file $ini"
[ ! -e "$prog/TOPONYX.INI" ] || fail "a settings file appeared in $prog"
[ "$(key_of 'Last Save Directory')" = "$home/Databases" ] || fail "Last Save Directory: $(key_of 'Last Save Directory')"
[ "$(key_of 'Last Start Directory')" = "$prog/Toponyx" ] || fail "Last Start Directory: $(key_of 'Last Start Directory')"
[ "$(key_of 'Save Directory')" = "$home/Toponyx" ] || fail "Save Directory: $(key_of 'Save Directory')"
ok "settings in $ini: downloads $prog/Toponyx, save folder $home/Databases"
before=$(stat -c %Y "$ini")

sleep 1.1
start_program
ok "second start: the main window, no message"
exit_program
after=$(stat -c %Y "$ini")
[ "$after" -gt "$before" ] || fail "the second close did not write $ini"
[ "$(key_of 'Last Save Directory')" = "$home/Databases" ] || fail "second start forgot the save folder: $(key_of 'Last Save Directory')"
[ "$(key_of 'Last Start Directory')" = "$prog/Toponyx" ] || fail "second start forgot the download folder: $(key_of 'Last Start Directory')"
ok "closed again: the folders were remembered (written back as the second start read them)"

step "All checks passed"
echo "The package stays installed (apt-get purge toponyx-creator removes it); user $user is removed."
