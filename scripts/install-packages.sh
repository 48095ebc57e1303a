#!/usr/bin/env bash
# Installs the Debian packages listed in the given files that are not installed yet.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wanted=()
for list in "$@"; do
  while read -r name; do
    [[ -z "$name" || "$name" == \#* ]] && continue
    wanted+=("$name")
  done < "$here/$list"
done
missing=()
for name in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" || missing+=("$name")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
# With their recommended packages, as a desktop install would have them (the keyring,
# sound and accessibility daemons rely on some).
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
