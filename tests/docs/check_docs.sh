#!/bin/sh
# Runs the examples that the documentation shows and compares what quenfold
# writes with what the documentation says it writes.
#
#   check_docs.sh BINARY SOURCE_DIR examples   every examples/*.expected
#   check_docs.sh BINARY SOURCE_DIR manual     every example of man/quenfold.1
#   check_docs.sh BINARY SOURCE_DIR manual3    every example of man/quenfold.3
#   check_docs.sh BINARY SOURCE_DIR manual-check  every example of man/quenfold-check.1
#   check_docs.sh BINARY SOURCE_DIR readme     every example of README.md
#   check_docs.sh BINARY SOURCE_DIR version VERSION
#
# Examples that build programs on the library (those with c or cmake blocks)
# need an installed copy of it: they are skipped unless --installed follows
# the mode, and then they alone are run, with the environment the caller
# gives (PKG_CONFIG_PATH, CMAKE_PREFIX_PATH and LD_LIBRARY_PATH leading to
# the installed copy). Likewise examples that run programs on the npm
# package or the Python module (js or py blocks) run only, and alone, with
# --bindings: NODE_MODULES names a node_modules directory holding the
# package (linked into the example's directory), PYTHON_BIN a directory
# whose python3 has the module (put first on the PATH), and QUENFOLD_LIBRARY
# the library the module loads.
#
# An *.expected file, and a "console" block of the manual page or README, is
# a terminal session: each line that starts with "$ " is a command, run by sh
# with `quenfold` (and `quenfold-check`, found beside BINARY) on the PATH and
# standard input empty unless the command
# redirects it; the lines up to the next command are what it must write,
# standard output and standard error together. The labels that mark examples
# in the manual page and README are described in extract.awk.
set -u

if [ $# -lt 3 ]; then
  echo "usage: $0 BINARY SOURCE_DIR examples|manual|manual3|manual-check|readme [--installed|--bindings]|version VERSION" >&2
  exit 2
fi
binary=$1
source_dir=$2
mode=$3
installed=0
[ "${4:-}" = --installed ] && installed=1
bindings=0
[ "${4:-}" = --bindings ] && bindings=1
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/quenfold-docs.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
trap 'exit 2' HUP INT TERM

# The commands find the binary under test as `quenfold`, with an environment
# that does not depend on the person running the tests.
mkdir "$work/bin"
ln -s "$binary" "$work/bin/quenfold"
if [ -x "$(dirname "$binary")/quenfold-check" ]; then
  ln -s "$(dirname "$binary")/quenfold-check" "$work/bin/quenfold-check"
fi
PATH=$work/bin:/usr/bin:/bin
[ $bindings -eq 1 ] && PATH=$PYTHON_BIN:$PATH
LC_ALL=C
TZ=UTC
export PATH LC_ALL TZ
unset quenfold LANG LANGUAGE
if command -v timeout >/dev/null 2>&1; then limit="timeout 20"; else limit=; fi

passed=0
failed=0
skipped=0

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
    # Every example has its session: NAME.qf and the directory NAME/ of
    # scripts are run by NAME.expected. (A directory without scripts, like
    # embed/, a program built on the library, is tested elsewhere.)
    for path in "$work"/examples/*.qf "$work"/examples/*/; do
      [ -e "$path" ] || continue
      case $path in
        */) ls "$path" | grep -q -e '\.qf$' -e '^script$' || continue ;;
      esac
      name=$(basename "$path" .qf)
      if [ ! -f "$work/examples/$name.expected" ]; then
        echo "FAILED: examples/$(basename "$path") has no examples/$name.expected"
        failed=$((failed + 1))
      fi
    done
    [ $found -eq 1 ] || { echo "FAILED: no examples/*.expected found"; failed=$((failed + 1)); }
    ;;
  manual|manual3|manual-check|readme)
    case $mode in
      manual) doc=$source_dir/man/quenfold.1 format=roff ;;
      manual3) doc=$source_dir/man/quenfold.3 format=roff ;;
      manual-check) doc=$source_dir/man/quenfold-check.1 format=roff ;;
      readme) doc=$source_dir/README.md format=md ;;
    esac
    mkdir "$work/cases"
    awk -v format="$format" -v out="$work/cases" -f "$here/extract.awk" "$doc" || failed=$((failed + 1))
    touch "$work/cases/library" "$work/cases/bindings"
    if [ ! -s "$work/cases/list" ]; then
      echo "FAILED: no example found in $doc"
      failed=$((failed + 1))
    else
      while IFS= read -r name; do
        if grep -qx "$name" "$work/cases/library"; then needs_library=1; else needs_library=0; fi
        if grep -qx "$name" "$work/cases/bindings"; then needs_bindings=1; else needs_bindings=0; fi
        if [ $needs_bindings -ne $bindings ]; then
          if [ $needs_bindings -eq 1 ]; then
            printf 'skipped: %s (needs the npm package and the Python module)\n' "$name"
            skipped=$((skipped + 1))
          fi
          continue
        fi
        if [ $needs_library -ne $installed ]; then
          if [ $needs_library -eq 1 ]; then
            printf 'skipped: %s (needs the installed library)\n' "$name"
            skipped=$((skipped + 1))
          fi
          continue
        fi
        if [ $needs_bindings -eq 1 ]; then
          ln -s "$NODE_MODULES" "$work/cases/$name/node_modules"
        fi
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
    for page in quenfold.1 quenfold.3 quenfold-check.1; do
      th=$(grep '^\.TH ' "$source_dir/man/$page")
      case $th in
        *"quenfold $want"*) passed=$((passed + 1)); echo "ok: $page is for quenfold $want" ;;
        *) echo "FAILED: the .TH line of $page does not name quenfold $want: $th"; failed=$((failed + 1)) ;;
      esac
    done
    ;;
  *)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac

if [ $skipped -gt 0 ]; then
  echo "$passed passed, $failed failed, $skipped skipped"
else
  echo "$passed passed, $failed failed"
fi
[ $failed -eq 0 ] && [ $passed -gt 0 ]
