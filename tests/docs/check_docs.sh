#!/bin/sh
# Runs the examples that the documentation shows and compares what quenfold
# writes with what the documentation says it writes.
#
#   check_docs.sh BINARY SOURCE_DIR examples   every examples/*.expected
#   check_docs.sh BINARY SOURCE_DIR manual     every example of man/quenfold.1
#   check_docs.sh BINARY SOURCE_DIR readme     every example of README.md
#   check_docs.sh BINARY SOURCE_DIR version VERSION
#
# An *.expected file, and a "console" block of the manual page or README, is
# a terminal session: each line that starts with "$ " is a command, run by sh
# with `quenfold` on the PATH and standard input empty unless the command
# redirects it; the lines up to the next command are what it must write,
# standard output and standard error together. The labels that mark examples
# in the manual page and README are described in extract.awk.
set -u

if [ $# -lt 3 ]; then
  echo "usage: $0 BINARY SOURCE_DIR examples|manual|readme|version [VERSION]" >&2
  exit 2
fi
binary=$1
source_dir=$2
mode=$3
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/quenfold-docs.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
trap 'exit 2' HUP INT TERM

# The commands find the binary under test as `quenfold`, with an environment
# that does not depend on the person running the tests.
mkdir "$work/bin"
ln -s "$binary" "$work/bin/quenfold"
PATH=$work/bin:/usr/bin:/bin
LC_ALL=C
TZ=UTC
export PATH LC_ALL TZ
unset quenfold LANG LANGUAGE
if command -v timeout >/dev/null 2>&1; then limit="timeout 20"; else limit=; fi

passed=0
failed=0

# run_transcript DIR FILE LABEL: runs the session in FILE with DIR as the
# current directory.
run_transcript() {
  dir=$1
  session=$2
  label=$3
  cmd=
  : >"$work/expected"
  while :; do
    if IFS= read -r line; then more=1; else more=0; fi
    if [ $more -eq 1 ] && [ "${line#\$ }" = "$line" ]; then
      # A line of output.
      if [ -z "$cmd" ]; then
        printf 'FAILED: %s: output shown before any command: %s\n' "$label" "$line"
        failed=$((failed + 1))
      fi
      printf '%s\n' "$line" >>"$work/expected"
      continue
    fi
    # A new command, or the end: run the command before it.
    if [ -n "$cmd" ]; then
      (cd "$dir" && $limit sh -c "$cmd") <"$work/empty" >"$work/actual" 2>&1
      if cmp -s "$work/expected" "$work/actual"; then
        passed=$((passed + 1))
        printf 'ok: %s: $ %s\n' "$label" "$cmd"
      else
        failed=$((failed + 1))
        printf 'FAILED: %s: $ %s\n' "$label" "$cmd"
        diff -u "$work/expected" "$work/actual" | sed -e '1s/.*/--- documented/' -e '2s/.*/+++ actual/'
      fi
    fi
    [ $more -eq 0 ] && break
    cmd=${line#\$ }
    : >"$work/expected"
  done <"$session"
}

: >"$work/empty"

case $mode in
  examples)
    # The examples run where a user who copied the directory would run them.
    cp -R "$source_dir/examples" "$work/examples" || exit 2
    found=0
    for expected in "$work"/examples/*.expected; do
      [ -f "$expected" ] || continue
      found=1
      name=$(basename "$expected" .expected)
      run_transcript "$work/examples" "$expected" "examples/$name"
    done
    # Every example has its session: NAME.qf and the directory NAME/ are
    # run by NAME.expected.
    for path in "$work"/examples/*.qf "$work"/examples/*/; do
      [ -e "$path" ] || continue
      name=$(basename "$path" .qf)
      if [ ! -f "$work/examples/$name.expected" ]; then
        echo "FAILED: examples/$(basename "$path") has no examples/$name.expected"
        failed=$((failed + 1))
      fi
    done
    [ $found -eq 1 ] || { echo "FAILED: no examples/*.expected found"; failed=$((failed + 1)); }
    ;;
  manual|readme)
    if [ "$mode" = manual ]; then
      doc=$source_dir/man/quenfold.1 format=roff
    else
      doc=$source_dir/README.md format=md
    fi
    mkdir "$work/cases"
    awk -v format="$format" -v out="$work/cases" -f "$here/extract.awk" "$doc" || failed=$((failed + 1))
    if [ ! -s "$work/cases/list" ]; then
      echo "FAILED: no example found in $doc"
      failed=$((failed + 1))
    else
      while IFS= read -r name; do
        if [ ! -s "$work/cases/$name/transcript" ]; then
          printf 'FAILED: %s: the example shows no output\n' "$name"
          failed=$((failed + 1))
          continue
        fi
        run_transcript "$work/cases/$name" "$work/cases/$name/transcript" "$name"
      done <"$work/cases/list"
    fi
    ;;
  version)
    want=${4:-}
    got=$(printf '$(__V_MAJOR__).$(__V_MINOR__)\n' | "$binary")
    if [ "$got" = "$want" ]; then
      passed=$((passed + 1))
      echo "ok: __V_MAJOR__.__V_MINOR__ is $got"
    else
      echo "FAILED: the project version is $want but quenfold reports $got"
      failed=$((failed + 1))
    fi
    th=$(grep '^\.TH ' "$source_dir/man/quenfold.1")
    case $th in
      *"quenfold $want"*) passed=$((passed + 1)); echo "ok: the manual page is for quenfold $want" ;;
      *) echo "FAILED: the manual page's .TH line does not name quenfold $want: $th"; failed=$((failed + 1)) ;;
    esac
    ;;
  *)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac

echo "$passed passed, $failed failed"
[ $failed -eq 0 ] && [ $passed -gt 0 ]
