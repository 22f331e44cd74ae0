#!/usr/bin/env bash
# Draws the frames of a quorvane-render --frames run on several machines at
# once: the range is cut into parts, GNU parallel runs one renderer per part
# on the machines given (over ssh), brings the frames back and they are
# named here as one run would have named them, byte for byte the same.
#   bash scripts/film-parallel.sh [-S LOGINS] [-j PARTS] N1:N2[:STEP] PATTERN [RENDERER OPTION]...
# LOGINS is parallel's --sshlogin list, such as 8/alice@big,4/bob@small,:
# (":" is this machine; the default); PARTS the number of ranges (default
# 4 per login). Each machine needs quorvane-render on its PATH
# ($QUORVANE_RENDER names another); a --settings FILE is sent along.
# PATTERN is the frames' name as for -o, such as frames/n-%06d.png.
set -euo pipefail

fail() {
  echo "film-parallel.sh: $*" >&2
  exit 2
}

logins=:
parts=
while getopts S:j: option; do
  case $option in
  S) logins=$OPTARG ;;
  j) parts=$OPTARG ;;
  *) fail "usage: film-parallel.sh [-S LOGINS] [-j PARTS] N1:N2[:STEP] PATTERN [RENDERER OPTION]..." ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 2 ] || fail "usage: film-parallel.sh [-S LOGINS] [-j PARTS] N1:N2[:STEP] PATTERN [RENDERER OPTION]..."
range=$1 pattern=$2
shift 2
options=("$@")
render=${QUORVANE_RENDER:-quorvane-render}
IFS=, read -ra hosts <<<"$logins"
parts=${parts:-$((4 * ${#hosts[@]}))}
[[ $parts =~ ^[1-9][0-9]*$ ]] || fail "-j: expected a whole number of parts, got '$parts'"

# The range in whole units of its finest decimal, as the renderer counts it:
# no rounding anywhere, so that each part's first n is exactly one run's.
IFS=: read -ra numbers <<<"$range"
[ ${#numbers[@]} = 2 ] || [ ${#numbers[@]} = 3 ] || fail "expected N1:N2[:STEP], got '$range'"
decimals=0
for x in "${numbers[@]}"; do
  [[ $x =~ [0-9] && $x =~ ^[-+]?[0-9]*(\.([0-9]*))?$ ]] || fail "'$x' is not a decimal number"
  fraction=${BASH_REMATCH[2]}
  ((${#fraction} <= decimals)) || decimals=${#fraction}
done
((decimals <= 9)) || fail "at most 9 decimals"
units() {
  local x=$1 sign=
  [[ $x == [-+]* ]] && { [[ $x == -* ]] && sign=-; x=${x:1}; }
  local whole=${x%%.*} fraction=
  [[ $x == *.* ]] && fraction=${x#*.}
  while ((${#fraction} < decimals)); do fraction+=0; done
  echo "$sign$((10#${whole:-0}${fraction}))"
}
decimal() {
  local u=$1 sign=
  ((u < 0)) && { sign=-; u=$((-u)); }
  if ((decimals == 0)); then echo "$sign$u"; return; fi
  local scale=$((10 ** decimals))
  printf '%s%d.%0*d\n' "$sign" $((u / scale)) "$decimals" $((u % scale))
}
first=$(units "${numbers[0]}") last=$(units "${numbers[1]}")
if [ ${#numbers[@]} = 3 ]; then step=$(units "${numbers[2]}"); else step=$(units $((first > last ? -1 : 1))); fi
((step != 0 && (last - first) * step >= 0)) || fail "STEP must go from N1 toward N2"
count=$(((last - first) / step + 1))
# One run names its frames by n when every n is whole, else by number.
whole=1
for u in $first $step; do ((u % (10 ** decimals) == 0)) || whole=0; done
((parts <= count)) || parts=$count

work=.film-parallel-$$
# The parts are drawn in the format of the pattern's extension, if any.
base=${pattern##*/} extension=
[[ $base == ?*.* ]] && extension=.${base##*.}
jobs=()
for ((p = 0; p < parts; p++)); do
  from=$((p * count / parts)) to=$(((p + 1) * count / parts - 1))
  jobs+=("$p $(decimal $((first + from * step))):$(decimal $((first + to * step))):$(decimal "$step")")
done
quoted=$(printf '%q ' "$render" --quiet "${options[@]}")
transfer=()
for ((k = 0; k + 1 < ${#options[@]}; k++)); do
  [ "${options[k]}" = --settings ] && transfer+=(--basefile "${options[k + 1]}")
done
# Each part comes back in a folder of its own, its frames named by n or by
# their number within the part.
for host in "${hosts[@]}"; do
  [ "${host#*/}" = : ] || transfer+=(--return "$work-{1}" --cleanup)
done
printf '%s\n' "${jobs[@]}" |
  parallel --will-cite --halt now,fail=1 --sshlogin "$logins" "${transfer[@]}" --colsep ' ' \
    "mkdir -p $work-{1} && $quoted --frames {2} -o $work-{1}/%d$extension"

for ((p = 0; p < parts; p++)); do
  from=$((p * count / parts)) to=$(((p + 1) * count / parts - 1))
  for ((k = from; k <= to; k++)); do
    if ((whole)); then
      number=$(((first + k * step) / 10 ** decimals))
      source=$number
    else
      number=$k
      source=$((k - from))
    fi
    # shellcheck disable=SC2059  # the pattern is the renderer's -o, a printf format
    printf -v name "$pattern" "$number"
    mv -f "$work-$p/$source$extension" "$name"
  done
  rmdir "$work-$p"
done
echo "film-parallel.sh: $count frames in $parts parts, named as $pattern"
