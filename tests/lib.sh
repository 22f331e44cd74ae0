# The driving scripts' failure (prefixed by $context, if set) and waiting.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
fail() { echo "FAIL: ${context:-}$*" >&2; exit 1; }
wait_for() {   # SECONDS WHAT COMMAND...: polls the command
  local deadline=$((SECONDS + $1)) what=$2
  shift 2
  until "$@"; do [ $SECONDS -lt $deadline ] || fail "waited for $what"; sleep 0.1; done
}
