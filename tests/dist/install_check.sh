#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR under /usr and checks what a
# package would ship: every program answers --version, the desktop entry,
# the metainfo and the relay's and the scheduled backup's units validate, the completion completes.
# Usage: install_check.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

for program in kelvo kelvo-cli kelvo-relay kelvo-devsim; do
  got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version)
  [ "$got" = "$program $version" ] || { echo "$program --version said: $got"; exit 1; }
done
for page in kelvo kelvo-cli kelvo-relay kelvo-devsim; do
  grep -q "^.TH .* \"kelvo $version\"" "$root/usr/share/man/man1/$page.1"
done

# The service reads the options file where this prefix keeps it.
unit=$root/usr/lib/systemd/system/kelvo-relay.service
grep -qx 'ExecStart=/usr/bin/kelvo-relay $KELVO_RELAY_OPTS' "$unit"
grep -qx "EnvironmentFile=-/etc/default/kelvo-relay" "$unit"
grep -qx 'KELVO_RELAY_OPTS=""' "$root/etc/default/kelvo-relay"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root"/usr/share/applications/*.desktop
else echo "skipped: desktop-file-validate (desktop-file-utils) not installed"; fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
else echo "skipped: appstreamcli (appstream) not installed"; fi
backup=$root/usr/lib/systemd/system/kelvo-backup
grep -qx 'ExecStart=/usr/bin/kelvo-cli backup ${KELVO_BACKUP_FOLDER} --history --brief --quiet $KELVO_BACKUP_OPTS' "$backup.service"
grep -qx "EnvironmentFile=-/etc/default/kelvo-backup" "$backup.service"
grep -qx 'KELVO_BACKUP_FOLDER=history' "$root/etc/default/kelvo-backup"
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify --root="$root" --man=no --recursive-errors=no "$unit" "${unit%.service}.socket" \
    "$backup.service" "$backup.timer"
else echo "skipped: systemd-analyze (systemd) not installed"; fi

# The completion offers the commands, then a command's own options.
# shellcheck disable=SC1091
source "$root/usr/share/bash-completion/completions/kelvo-cli"
COMP_WORDS=(kelvo-cli se); COMP_CWORD=1; _kelvo_cli
[ "${COMPREPLY[*]}" = "search set" ] || { echo "commands: ${COMPREPLY[*]}"; exit 1; }
COMP_WORDS=("$root/usr/bin/kelvo-cli" search --form); COMP_CWORD=2; _kelvo_cli
[ "${COMPREPLY[*]}" = "--format" ] || { echo "options: ${COMPREPLY[*]}"; exit 1; }
echo "install check passed"
