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

# The tests of locale-independent number formats need a locale with a decimal comma.
test_locale=de_DE.UTF-8
has_test_locale() { locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; }

((${#missing[@]} == 0)) && has_test_locale && exit 0

if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "deps.sh: packages missing (${missing[*]:-none}) or locale $test_locale not generated, and I am not root" >&2
  exit 1
fi

if ((${#missing[@]} > 0)); then
  echo "Installing missing packages: ${missing[*]}" >&2
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
fi

if ! has_test_locale; then
  echo "Generating the locale $test_locale" >&2
  if grep -q "^# *$test_locale UTF-8" /etc/locale.gen; then
    "${sudo[@]}" sed -i "s/^# *$test_locale UTF-8/$test_locale UTF-8/" /etc/locale.gen
  elif ! grep -q "^$test_locale UTF-8" /etc/locale.gen; then
    echo "$test_locale UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo[@]}" locale-gen
fi
