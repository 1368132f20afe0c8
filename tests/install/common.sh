# Sourced by the install and package checks: a temporary directory $work,
# removed at the end; the counts of checks passed and failed, and the
# closing line that reports them.
work=$(mktemp -d "${TMPDIR:-/tmp}/quenfold-check.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
trap 'exit 2' HUP INT TERM

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }

# finish: prints the counts and exits, with status 0 when nothing failed.
finish() {
  echo "$passed passed, $failed failed"
  [ $failed -eq 0 ]
  exit
}

# run LOG COMMAND...: runs the command with its output in LOG, which is
# shown when it fails.
run() {
  log=$1
  shift
  if "$@" >"$log" 2>&1; then return 0; fi
  cat "$log"
  return 1
}

# check_run LABEL COMMAND...: one check that the command succeeds, with the
# command's own closing line (its counts) after the label.
check_run() {
  label=$1
  shift
  if run "$work/check.log" "$@"; then
    pass "$label ($(tail -1 "$work/check.log"))"
  else
    fail "$label"
  fi
}

# check_listing LABEL LISTING PATTERNS: one check that every line of the file
# LISTING matches one of the shell patterns of the file PATTERNS (one a
# line), and every pattern a line.
check_listing() {
  label=$1 listing=$2 patterns=$3
  : >"$work/matched"
  : >"$work/unexpected"
  while IFS= read -r line; do
    matched=0
    while IFS= read -r pattern; do
      # shellcheck disable=SC2254
      case $line in $pattern) matched=1; printf '%s\n' "$pattern" >>"$work/matched" ;; esac
    done <"$patterns"
    [ $matched -eq 1 ] || printf '%s\n' "$line" >>"$work/unexpected"
  done <"$listing"
  sort -u "$work/matched" >"$work/matched.sorted"
  sort -u "$patterns" | comm -23 - "$work/matched.sorted" >"$work/missing"
  if [ -s "$work/unexpected" ] || [ -s "$work/missing" ]; then
    fail "$label"
    sed 's/^/  unexpected: /' "$work/unexpected"
    sed 's/^/  missing: /' "$work/missing"
  else
    pass "$label"
  fi
}
