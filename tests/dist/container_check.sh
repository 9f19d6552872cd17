#!/usr/bin/env bash
# Installs the packages on a minimal Debian 12 booted with systemd in a
# container that has no network but its own loopback, and checks them as an
# administrator would (container_inner.sh). Root only; skips (77) otherwise.
#
# The Debian tree comes from the configured Debian mirror once and is kept in
# KELVO_DEBIAN_TREE (default /var/cache/kelvo/bookworm), with the packages the
# Kelvo packages depend on downloaded into its apt cache, so the container
# installs without a network. Each run boots a throw-away copy of it.
# Usage: container_check.sh DEB_DIR
set -euo pipefail
debs=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root"; exit 77; }
for tool in debootstrap systemd-nspawn nsenter; do
  command -v $tool >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
ls "$debs"/kelvo-relay_*.deb >/dev/null 2>&1 || { echo "skipped: no packages in $debs"; exit 77; }
# The service runs the relay on the socket systemd holds for it.
dpkg-deb --fsys-tarfile "$debs"/kelvo-relay_*.deb | tar -xOf - ./usr/bin/kelvo-relay |
  grep -c LISTEN_FDS >/dev/null || { echo "skipped: this kelvo-relay cannot take its socket from systemd"; exit 77; }
# systemd-nspawn needs the host's cgroup hierarchy (absent, for example, under
# "ip netns exec", which mounts a /sys of its own).
[ -e /sys/fs/cgroup/cgroup.controllers ] || [ -d /sys/fs/cgroup/systemd ] ||
  { echo "skipped: no cgroup hierarchy mounted here"; exit 77; }
tree=${KELVO_DEBIAN_TREE:-/var/cache/kelvo/bookworm}

mirror() {
  local m
  m=$(grep -hE '^(URIs:|deb )' /etc/apt/sources.list /etc/apt/sources.list.d/*.sources \
        /etc/apt/sources.list.d/*.list 2>/dev/null | grep -m1 -o 'https\?://[^ ]*/debian/\?$' || true)
  echo "$m"
}
if [ ! -x "$tree/usr/bin/apt-get" ]; then
  echo "container: making a Debian 12 tree in $tree (once)"
  rm -rf "$tree.new"
  # No mirror, or none reachable: nothing here can be checked, which is no fault
  # of the packages.
  [ -n "$(mirror)" ] || { echo "skipped: no Debian mirror configured"; exit 77; }
  debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus,iproute2 \
    bookworm "$tree.new" "$(mirror)" >/dev/null ||
    { rm -rf "$tree.new"; echo "skipped: debootstrap could not make the tree"; exit 77; }
  echo 'Binary::apt::APT::Keep-Downloaded-Packages "true";' >"$tree.new/etc/apt/apt.conf.d/10keep"
  chroot "$tree.new" apt-get update -qq
  mv "$tree.new" "$tree"
fi
# The dependencies of these packages, fetched into the tree's cache while the
# host's network is at hand (nothing to do when they are there already).
mkdir -p "$tree/tmp/kelvo-debs"
cp "$debs"/*.deb "$tree/tmp/kelvo-debs/"
# git, which kelvo-cli recommends, runs the scheduled backup's check.
if ! chroot "$tree" sh -c 'apt-get install -qq -s --no-download /tmp/kelvo-debs/*.deb' >/dev/null 2>&1 ||
  ! ls "$tree"/var/cache/apt/archives/git_*.deb >/dev/null 2>&1; then
  mount -t proc proc "$tree/proc"
  chroot "$tree" sh -c 'apt-get update -qq && apt-get install -qq -y --download-only /tmp/kelvo-debs/*.deb git' >/dev/null ||
    { umount "$tree/proc"; echo "skipped: could not fetch the dependencies"; exit 77; }
  umount "$tree/proc"
fi
rm -rf "$tree/tmp/kelvo-debs"

log=$(mktemp)
machine=kelvo-test-$$
# --keep-unit and --register=no: no system bus needed on the host.
systemd-nspawn --quiet --register=no --keep-unit --ephemeral --boot --private-network \
  --machine="$machine" -D "$tree" --bind-ro="$debs:/debs" --bind-ro="$here:/check" \
  --console=pipe </dev/null >"$log" 2>&1 &
nspawn=$!
cleanup() { # SIGTERM powers the container off and removes its copy
  kill "$nspawn" 2>/dev/null || true
  for _ in $(seq 1 600); do kill -0 "$nspawn" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$nspawn" 2>/dev/null || true
  wait "$nspawn" 2>/dev/null || true
  rm -f "$log"
}
trap cleanup EXIT

# The container's init is the child of systemd-nspawn that runs systemd.
leader=""
for _ in $(seq 1 300); do
  for child in $(pgrep -P "$nspawn" || true); do
    [ "$(cat /proc/"$child"/comm 2>/dev/null)" = systemd ] && leader=$child
  done
  [ -n "$leader" ] && break
  kill -0 "$nspawn" 2>/dev/null || break
  sleep 0.2
done
[ -n "$leader" ] || { echo "the container did not start"; cat "$log"; exit 1; }
# systemctl can talk to it once its private socket exists.
for _ in $(seq 1 600); do
  [ -S /proc/"$leader"/root/run/systemd/private ] && break
  sleep 0.1
done
inside() { nsenter -t "$leader" -a env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
state=$(inside timeout 120 systemctl is-system-running --wait || true)
echo "container: booted ($state)"
case $state in running | degraded) ;; *) cat "$log"; exit 1 ;; esac
inside bash /check/container_inner.sh
