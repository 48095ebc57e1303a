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
# Two builds of the project may install at once; apt takes one at a time.
exec 9>"${TMPDIR:-/tmp}/sorvane-install-packages.lock"
flock 9
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}"
