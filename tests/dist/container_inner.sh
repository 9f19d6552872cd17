#!/usr/bin/env bash
# Runs inside the booted Debian 12 container of container_check.sh, as root,
# with the packages in /debs. Prints the figures of the installation and
# fails on the first check that does not hold.
set -euo pipefail
fail() { echo "FAILED: $*"; journalctl -u kelvo-relay.socket -u kelvo-relay -u kelvo-backup --no-pager | tail -30; exit 1; }
cd /debs
snapshot() {
  find /etc /usr /var/lib /var/cache -xdev 2>/dev/null |
    grep -Ev '^/var/lib/(dpkg|apt|systemd)|^/var/cache/(apt|debconf|ldconfig)|^/etc/ld\.so\.cache' | sort
}
# git, which kelvo-cli recommends, runs the scheduled backup; it belongs to
# the system the packages are installed on, so the purge leaves it.
apt-get install -y -qq --no-download --no-install-recommends git >/dev/null 2>&1 ||
  fail "git is not in the tree's cache"
snapshot >/tmp/before

# What each role pulls into a minimal system: packages and disk space.
for set in "kelvo" "kelvo-cli kelvo-relay" "kelvo-lab"; do
  files=$(for p in $set; do echo /debs/${p}_*.deb; done)
  # shellcheck disable=SC2086
  plan=$(apt-get install -s --no-download --no-install-recommends $files)
  count=$(echo "$plan" | grep -c '^Inst ')
  kib=0
  for name in $(echo "$plan" | awk '/^Inst / { print $2 }'); do
    size=$(apt-cache show --no-all-versions "$name" 2>/dev/null | sed -n 's/^Installed-Size: //p' || true)
    [ -n "$size" ] || size=$(dpkg-deb -f /debs/"${name}"_*.deb Installed-Size)
    kib=$((kib + size))
  done
  echo "figures: $set: $count packages, $((kib / 1024)) MB installed"
  if [ "$set" = "kelvo-cli kelvo-relay" ] && echo "$plan" | grep -E '^Inst libqt6(gui|widgets)'; then
    fail "kelvo-cli and kelvo-relay pull Qt Gui or Widgets"
  fi
  if [ "$set" = kelvo-lab ] && echo "$plan" | grep '^Inst kelvo-relay'; then
    fail "kelvo-lab pulls the relay service"
  fi
done
apt-get install -y -qq --no-install-recommends /debs/kelvo-cli_*.deb /debs/kelvo-relay_*.deb >/dev/null
apt-get install -y -qq --no-install-recommends /debs/kelvo_*.deb /debs/kelvo-lab_*.deb >/dev/null
dpkg-query -W -f='figures: ${Package} ${Version} installed size ${Installed-Size} KiB\n' 'kelvo*'

wait_active() { # unit: bounded wait for a state a unit reaches by itself
  for _ in $(seq 1 100); do systemctl is-active --quiet "$1" && return 0; sleep 0.1; done
  return 1
}
wait_active kelvo-relay.socket || fail "kelvo-relay.socket is not active"
wait_active kelvo-relay.service || fail "kelvo-relay.service is not active"
pid=$(systemctl show -p MainPID --value kelvo-relay)
user=$(stat -c %u /proc/"$pid")
[ "$user" != 0 ] || fail "the relay runs as root"
grep -qx yes <<<"$(systemctl show -p DynamicUser --value kelvo-relay)" || fail "no dynamic user"
for cap in CapInh CapPrm CapEff CapBnd CapAmb; do
  grep -q "^$cap:[[:space:]]*0000000000000000$" /proc/"$pid"/status || fail "$cap is not empty"
done
echo "relay active as dynamic uid $user, no capabilities"

score=$(systemd-analyze security kelvo-relay.service --no-pager | sed -n 's/.*Overall exposure level for kelvo-relay.service: \([0-9.]*\).*/\1/p')
echo "figures: systemd-analyze security kelvo-relay: $score"
awk -v s="$score" 'BEGIN { exit !(s != "" && s <= 1.0) }' || fail "exposure $score above 1.0"

# A fleet on loopback; the relay reaches it once the administrator says so.
kelvo-devsim --listen 127.0.0.2:9999 --count 6 >/tmp/fleet.txt 2>/dev/null &
fleet=$!
for _ in $(seq 1 100); do [ -s /tmp/fleet.txt ] && break; sleep 0.1; done
found() { kelvo-cli search --quiet --no-names --all --format csv 2>/dev/null | tail -n +2 | grep -c . || true; }
sed -i 's/^KELVO_RELAY_OPTS=.*/KELVO_RELAY_OPTS="--devices 127.0.0.2:9999"/' /etc/default/kelvo-relay
systemctl restart kelvo-relay
n=$(found)
[ "$n" = 6 ] || fail "a search through the service found $n of 6 devices"
echo "search through the service after the edited configuration: $n devices"
mac=$(awk '/ type=2 / { print $1; exit }' /tmp/fleet.txt)
kelvo-cli set "$mac" --name Packaged --yes >/dev/null 2>&1 || fail "set through the service"
echo "set through the service: $mac renamed"

# The scheduled backup is installed off; one run of the timer's service
# commits the fleet's documents, owner-only, with one line in the journal.
backup_log() { journalctl -u kelvo-backup --no-pager -o cat | tail -5; }
! systemctl is-enabled --quiet kelvo-backup.timer || fail "the backup timer is enabled on install"
! systemctl is-active --quiet kelvo-backup.timer || fail "the backup timer runs on install"
[ "$(systemctl show -p Triggers --value kelvo-backup.timer)" = kelvo-backup.service ] ||
  fail "the timer does not start kelvo-backup.service"
[ "$(stat -c %a:%U /etc/kelvo/backup-http-password)" = 600:root ] || fail "the password file is not root's alone"
echo secret >/etc/kelvo/backup-http-password
sed -i 's|^KELVO_BACKUP_OPTS=.*|KELVO_BACKUP_OPTS="--http-user admin --http-password-file /run/credentials/kelvo-backup.service/http-password"|' \
  /etc/default/kelvo-backup
repo=/var/lib/kelvo-backup/history
rgit() { git -c safe.directory='*' -C "$repo" "$@"; }
for run in 1 2; do
  systemctl start kelvo-backup.service || fail "backup run $run: $(backup_log)"
  [ "$(rgit rev-list --count HEAD)" = 1 ] || fail "backup run $run: not one commit"
done
[ "$(rgit ls-tree --name-only HEAD | grep -c '\.xml$')" = 4 ] || fail "not 4 documents committed"
open=$(find /var/lib/private/kelvo-backup/ -perm /077)
[ -z "$open" ] || fail "backup files open to others: $open"
[ "$(journalctl -u kelvo-backup --no-pager -o cat | grep -c 'configuration document(s) in history')" = 2 ] ||
  fail "not one summary line per run: $(backup_log)"
grep -q 'nothing changed, no commit' <<<"$(journalctl -u kelvo-backup --no-pager -o cat)" ||
  fail "the second run committed: $(backup_log)"
echo "backup through the timer's service: $(rgit ls-tree --name-only HEAD | grep -c .) documents, one commit for two runs"

# A crash brings the relay back; a stopped service leaves the address held.
pid=$(systemctl show -p MainPID --value kelvo-relay)
kill -SEGV "$pid"
for _ in $(seq 1 100); do
  new=$(systemctl show -p MainPID --value kelvo-relay)
  [ "$new" != 0 ] && [ "$new" != "$pid" ] && break
  sleep 0.1
done
[ "$new" != 0 ] && [ "$new" != "$pid" ] || fail "the relay was not restarted after a crash"
echo "restarted after a crash"
systemctl stop kelvo-relay.service
systemctl is-active --quiet kelvo-relay.socket || fail "stopping the service closed the socket"
# Another user tries to take the address, with SO_REUSEADDR as a squatter would.
squat='use Socket; socket(my $s, PF_INET, SOCK_DGRAM, 0) or die;
  setsockopt($s, SOL_SOCKET, SO_REUSEADDR, 1);
  exit(bind($s, sockaddr_in(9999, inet_aton("127.0.0.1"))) ? 0 : 1)'
if setpriv --reuid=nobody --regid=nogroup --clear-groups perl -e "$squat"; then
  fail "another user could bind the relay address"
fi
[ "$(found)" = 6 ] || fail "the socket did not start the service again"
echo "stopped service: address still held, the next search starts it"

# A reinstall keeps the administrator's edit.
apt-get install -y -qq --reinstall /debs/kelvo-relay_*.deb >/dev/null
grep -qx 'KELVO_RELAY_OPTS="--devices 127.0.0.2:9999"' /etc/default/kelvo-relay ||
  fail "the reinstall replaced the configuration"
[ "$(found)" = 6 ] || fail "search after the reinstall"
echo "configuration kept by a reinstall"
kill "$fleet"
wait "$fleet" 2>/dev/null || true

apt-get purge -y -qq --autoremove kelvo kelvo-cli kelvo-relay kelvo-lab >/dev/null
systemctl daemon-reload
snapshot >/tmp/after
if ! diff /tmp/before /tmp/after; then fail "the purge left files behind"; fi
[ -z "$(systemctl list-units --all --plain --no-legend 'kelvo*')" ] || fail "units left after purge"
echo "container check passed"
