#!/usr/bin/env bash
# Installs the packages of scripts/packages.txt that are missing (apt-get, as root).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

missing=()
while read -r pkg; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done < "$here/packages.txt"

((${#missing[@]} == 0)) && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "deps.sh: these packages are missing and I am not root: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update

# The tests and benchmarks start the node exporter and Prometheus themselves, on loopback and
# free ports. Their Debian packages would start system daemons on install: a policy-rc.d that
# refuses every start keeps them from running while apt installs, and afterwards they are
# stopped and disabled in case something started them anyway.
daemons=(prometheus-node-exporter prometheus)
policy=/usr/sbin/policy-rc.d
own_policy=false
if [[ ! -e "$policy" ]]; then
  printf '#!/bin/sh\n# Written by Quellarimond scripts/deps.sh while it installs packages.\nexit 101\n' |
    "${sudo[@]}" tee "$policy" >/dev/null
  "${sudo[@]}" chmod 755 "$policy"
  own_policy=true
  trap '"${sudo[@]}" rm -f "$policy"' EXIT
fi
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
if $own_policy; then
  "${sudo[@]}" rm -f "$policy"
  trap - EXIT
fi
for daemon in "${daemons[@]}"; do
  if [[ -d /run/systemd/system ]] && command -v systemctl >/dev/null; then
    "${sudo[@]}" systemctl disable --now "$daemon.service" >/dev/null 2>&1 || true
  elif [[ -x "/etc/init.d/$daemon" ]]; then
    "${sudo[@]}" "/etc/init.d/$daemon" stop >/dev/null 2>&1 || true
    command -v update-rc.d >/dev/null && "${sudo[@]}" update-rc.d "$daemon" disable >/dev/null 2>&1 || true
  fi
  if pids=$(pidof "$daemon"); then
    echo "deps.sh: warning: $daemon is still running (pid $pids) after installing it" >&2
  fi
done
