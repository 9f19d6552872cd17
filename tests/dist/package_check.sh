#!/usr/bin/env bash
# Builds the Debian packages from the source tree as a maintainer would
# (dpkg-buildpackage -us -uc -b on a copy of the checkout) and checks them:
# the four packages, lintian without error or warning, no Qt Gui/Widgets for
# the headless ones, every program hardened. Skips (77) without the tools.
# Usage: package_check.sh SOURCE_DIR OUT_DIR   (the .debs stay in OUT_DIR)
set -euo pipefail
src=$1 out=$2
for tool in dpkg-buildpackage dh lintian hardening-check git; do
  command -v $tool >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
rm -rf "$out"
mkdir -p "$out/src"
# The files of the checkout as they are now, tracked or new, without builds.
git -C "$src" ls-files -z --cached --others --exclude-standard |
  (cd "$src" && xargs -0 tar -cf - --no-recursion) | tar -xf - -C "$out/src"
# A developer's compiler cache speeds the rebuild; the package does not need it.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
(cd "$out/src" && dpkg-buildpackage -us -uc -b -j2) >"$out/build.log" 2>&1 ||
  { tail -n 12 "$out/build.log" | cut -c1-400; exit 1; }

fail=0
for p in kelvo kelvo-cli kelvo-relay kelvo-lab; do
  deb=$(echo "$out"/${p}_*.deb)
  [ -f "$deb" ] || { echo "no package $p"; fail=1; continue; }
  echo "== $p: $(dpkg-deb -f "$deb" Depends)"
  if [ "$p" = kelvo-cli ] || [ "$p" = kelvo-relay ]; then
    if dpkg-deb -f "$deb" Depends | grep -E 'libqt6(gui|widgets)|libgl|libx11'; then
      echo "$p depends on a graphical library"; fail=1
    fi
  fi
  mkdir -p "$out/x/$p"
  dpkg-deb -x "$deb" "$out/x/$p"
done
grep -q kelvo-relay <<<"$(dpkg-deb -f "$out"/kelvo-lab_*.deb Depends Recommends)" &&
  { echo "kelvo-lab pulls the relay service in"; fail=1; }
for p in kelvo kelvo-cli; do
  grep -qE '(^|, )kelvo-relay(,|$)' <<<"$(dpkg-deb -f "$out"/${p}_*.deb Recommends)" ||
    { echo "$p does not recommend kelvo-relay"; fail=1; }
done
grep -qx /etc/default/kelvo-relay <<<"$(dpkg-deb -I "$out"/kelvo-relay_*.deb conffiles)" ||
  { echo "/etc/default/kelvo-relay is no conffile"; fail=1; }
grep -qx /etc/default/kelvo-backup <<<"$(dpkg-deb -I "$out"/kelvo-cli_*.deb conffiles)" ||
  { echo "/etc/default/kelvo-backup is no conffile"; fail=1; }
# The listing is read whole first: grep -q would stop reading at its match,
# and under pipefail dpkg-deb's broken pipe would count as a failure.
cli_files=$(dpkg-deb -c "$out"/kelvo-cli_*.deb)
grep -q '^-rw------- root/root .* ./etc/kelvo/backup-http-password$' <<<"$cli_files" ||
  { echo "the backup's password file is not root's alone"; fail=1; }

# The code is built with -fcf-protection, but Debian 12's own start-up files
# carry no CET note, so no program linked there (not even /bin/ls) gets one.
for program in "$out"/x/*/usr/bin/*; do
  hardening-check --nocfprotection "$program" || fail=1
done
if command -v blhc >/dev/null; then
  blhc --all "$out/build.log" || { echo "blhc found unhardened build lines"; fail=1; }
fi

rc=0
lintian --fail-on error,warning "$out"/*.changes >"$out/lintian.log" 2>&1 || rc=$?
# lintian warns about running as root, which CI does; that line is not a finding.
grep -v 'running with root privileges' "$out/lintian.log" || true
[ $rc -eq 0 ] || { echo "lintian failed ($rc)"; fail=1; }
[ $fail -eq 0 ] || exit 1
echo "package check passed"
