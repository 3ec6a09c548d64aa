#!/usr/bin/env bash
# Fails when a folder of the sources includes a header from a folder above it.
# The folders from the bottom up; each may include only itself and those
# before it:
LAYERS=(conversion shell export widgets batch_window single_window app)
#
# Usage: check-includes.sh [SOURCE_ROOT]   (default: src/ of this checkout)
set -euo pipefail
root=${1:-"$(dirname "$0")/../src"}

rank() {
    local i
    for i in "${!LAYERS[@]}"; do
        [ "${LAYERS[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}

status=0
for layer in "${LAYERS[@]}"; do
    [ -d "$root/$layer" ] || continue
    own=$(rank "$layer")
    while IFS=: read -r file line text; do
        target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<< "$text")
        theirs=$(rank "$target")
        if [ "$theirs" -gt "$own" ]; then
            echo "$file:$line: $layer may not include $target (${text#"${text%%[![:space:]]*}"})" >&2
            status=1
        fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$root/$layer" || true)
done
[ "$status" -eq 0 ] && echo "Includes point downwards: ${LAYERS[*]}"
exit "$status"
