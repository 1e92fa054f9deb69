#!/usr/bin/env bash
# Starts or stops the real services that tests and the demo use:
#   scripts/services.sh start|stop [NAME...]     (default: every service)
# Each service is scripts/services/NAME.sh with the functions start and stop; starting a
# service that already runs is quick and harmless.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
action=${1:-start}
shift || true
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in "$here"/services/*.sh; do names+=("$(basename "$f" .sh)"); done
fi
for name in "${names[@]}"; do
  script="$here/services/$name.sh"
  [ -f "$script" ] || { echo "services: no service named $name" >&2; exit 2; }
  ( source "$script"; "$action" )
done
