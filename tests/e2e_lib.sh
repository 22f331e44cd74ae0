# Shell functions shared by the end-to-end scripts (sourced).

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Polls every 0.1 s until the command succeeds; fails after $1 seconds.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || fail "waited $seconds s for $what"
    sleep 0.1
  done
}
