#!/usr/bin/env bash
# Installs what is missing, builds, and starts Sorvane.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/install-packages.sh" packages-build.txt
"$here/build.sh"
exec "$here/../build/bin/sorvane" "$@"
