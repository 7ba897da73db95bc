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
# Packages with daemons (prometheus and the node exporter, for the tests) must not start them:
# policy-rc.d refuses every start during the install, and the units are stopped and disabled
# after it.
daemons=(prometheus prometheus-node-exporter)
policy=/usr/sbin/policy-rc.d
made_policy=
if [[ ! -e $policy ]]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
  "${sudo[@]}" chmod 755 "$policy"
  made_policy=1
fi
remove_policy() { [[ -n $made_policy ]] && "${sudo[@]}" rm -f "$policy"; made_policy=; }
trap remove_policy EXIT
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
remove_policy
if [[ -d /run/systemd/system ]]; then
  "${sudo[@]}" systemctl disable --now --quiet "${daemons[@]/%/.service}" 2>/dev/null || true
fi
for daemon in "${daemons[@]}"; do
  if pidof "$daemon" >/dev/null; then  # pgrep -x would miss names over 15 characters
    echo "deps.sh: $daemon is running after its install; stop it (systemctl stop $daemon)" >&2
    exit 1
  fi
done
