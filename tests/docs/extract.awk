# Extracts the labelled examples of a manual page (roff) or a Markdown file
# into one directory per example, ready for run_transcripts in check_docs.sh.
#
# Labels. In roff, a comment line right before an .EX/.EE block:
#     .\" KIND example=NAME [file=FILE]
# In Markdown, the info string of a fenced block:
#     ```KIND example=NAME [file=FILE]
# KIND is one of
#     qf       the block is a script, written to FILE (default script.qf)
#     text     the block is what `quenfold ./FILE` writes, FILE being the
#              last script of the same example
#     console  the block is a terminal session: lines starting with "$ " are
#              commands run by sh in the example's directory, the lines after
#              each one are what it writes (standard output and error)
#     c, cmake the block is a C source file or a CMake file, written to FILE
#              (file= is required): a program built on the library, which
#              the example's console blocks build against an installed copy
#     js, py   the block is a JavaScript or Python program, written to FILE
#              (file= is required), which the example's console blocks run
#              with the npm package and the Python module installed
# Blocks of one example share a directory and are taken in document order.
#
# Variables: format ("roff" or "md"), out (directory to fill).
# Writes out/list (the example names in order), out/library (those of
# them that build programs on the library) and out/bindings (those that run
# programs on the npm package or the Python module), and reports on standard error
# every block that breaks the convention; exits 1 if there was one.

function fail(msg) {
  printf "%s:%d: %s\n", FILENAME, FNR, msg > "/dev/stderr"
  bad = 1
}

# Takes the label words after the kind; returns 1 when they are sound.
function parse_label(words, n,    i, kv) {
  kind = words[1]; name = ""; file = ""
  if (kind != "qf" && kind != "text" && kind != "console" && kind != "c" && kind != "cmake" &&
      kind != "js" && kind != "py") {
    fail("unknown example kind '" kind "'")
    return 0
  }
  for (i = 2; i <= n; i++) {
    if (words[i] ~ /^example=/) name = substr(words[i], 9)
    else if (words[i] ~ /^file=/) file = substr(words[i], 6)
    else { fail("unknown label word '" words[i] "'"); return 0 }
  }
  if (name !~ /^[A-Za-z0-9_.-]+$/ || name ~ /^\./) {
    fail("bad or missing example name '" name "'")
    return 0
  }
  if (file != "" && (file !~ /^[A-Za-z0-9_.\/-]+$/ || file ~ /(^|\/)\.\.?(\/|$)/ || file ~ /^\//)) {
    fail("bad file name '" file "'")
    return 0
  }
  source = (kind == "qf" || kind == "c" || kind == "cmake" || kind == "js" || kind == "py")
  if (!source && file != "") { fail("file= is only for qf, c, cmake, js and py blocks"); return 0 }
  if (source && kind != "qf" && file == "") { fail("a " kind " block needs file="); return 0 }
  return 1
}

function begin_block(    dir, sub_dir) {
  dir = out "/" name
  if (!(name in seen)) {
    seen[name] = 1
    print name > (out "/list")
    system("mkdir -p '" dir "'")
  }
  lines = 0
  if ((kind == "c" || kind == "cmake") && !(name in library)) {
    library[name] = 1
    print name > (out "/library")
  }
  if ((kind == "js" || kind == "py") && !(name in bindings)) {
    bindings[name] = 1
    print name > (out "/bindings")
  }
  if (source) {
    if (file == "") file = "script.qf"
    if (kind == "qf") last_script[name] = file
    target = dir "/" file
    if (file ~ /\//) {
      sub_dir = target
      sub(/\/[^\/]*$/, "", sub_dir)
      system("mkdir -p '" sub_dir "'")
    }
    printf "" > target
  } else {
    target = dir "/transcript"
    if (kind == "text") {
      if (!(name in last_script)) { fail("text block before any qf block of " name); return }
      printf "$ quenfold ./%s\n", last_script[name] >> target
    }
  }
  in_block = 1
}

function end_block() {
  if (lines == 0) fail("empty example block")
  close(target)
  in_block = 0
}

# Roff escapes that may appear in an example; anything else is refused so
# that what the page shows is exactly what the test runs.
function unroff(s,    res, i, c, code) {
  res = ""
  while ((i = index(s, "\\")) > 0) {
    res = res substr(s, 1, i - 1)
    c = substr(s, i + 1, 1)
    if (c == "e") { res = res "\\"; s = substr(s, i + 2) }
    else if (c == "-") { res = res "-"; s = substr(s, i + 2) }
    else if (c == "&") { s = substr(s, i + 2) }
    else if (c == "(") {
      code = substr(s, i + 2, 2)
      if (code == "aq") res = res "'"
      else if (code == "dq") res = res "\""
      else if (code == "ga") res = res "`"
      else if (code == "ti") res = res "~"
      else if (code == "ha") res = res "^"
      else if (code == "rs") res = res "\\"
      else fail("escape \\(" code " in an example")
      s = substr(s, i + 4)
    } else {
      fail("escape \\" c " in an example")
      s = substr(s, i + 2)
    }
  }
  return res s
}

function add_line(text) {
  print text >> target
  lines++
}

BEGIN { bad = 0; in_block = 0; pending = 0; fence = 0 }

format == "roff" {
  if (in_block) {
    if ($0 == ".EE") { end_block(); next }
    if ($0 ~ /^[.']/) { fail("request inside an example: " $0); next }
    add_line(unroff($0))
    next
  }
  if ($0 ~ /^\.\\" (qf|text|console|c|cmake|js|py) /) {
    n = split(substr($0, 5), words, " ")
    pending = parse_label(words, n) ? 1 : 0
    label_line = FNR
    next
  }
  if ($0 == ".EX") {
    if (!pending) { fail(".EX block without an example label"); in_block = 1; target = "/dev/null"; lines = 1; next }
    pending = 0
    begin_block()
    next
  }
  if (pending) { fail("example label not followed by .EX"); pending = 0 }
  next
}

format == "md" {
  if (fence) {
    if ($0 ~ /^```[ \t]*$/) {
      if (in_block) end_block()
      fence = 0
      next
    }
    if (in_block) add_line($0)
    next
  }
  if ($0 ~ /^```/) {
    fence = 1
    info = substr($0, 4)
    n = split(info, words, " ")
    if (info ~ /example=/ || words[1] == "qf" || words[1] == "text" || words[1] == "console") {
      if (parse_label(words, n)) begin_block()
    }
    next
  }
  next
}

END {
  if (in_block || fence) fail("unterminated example block")
  exit bad
}
