#!/usr/bin/python3
"""quenfold-check over the project's own scripts: it must warn about nothing
that works as its writer meant, and about every script written to show a trap.

    check-project.py CHECKER CASES_JSON_PROGRAM SOURCE_DIR

Checked: every script of examples/; every script of the README and of the
manual pages quenfold(1) and quenfold(3) (extracted as tests/docs/extract.awk
does); and every end-to-end case that runs to status 0 (tests/e2e, printed by
CASES_JSON_PROGRAM): the checker is run with the case's own command line and
standard input, and on each of its files. The documentation's scripts may only show a trap on a line
that carries "# quenfold-check: ignore NAME" above it; the end-to-end cases
written to show one are listed below with the warnings they must give.
"""
import json
import os
import subprocess
import sys
import tempfile

# End-to-end cases that show a trap on purpose, and the warnings they give.
SHOW_A_TRAP = {
    "comment_inside_quotes_still_a_comment": ["comment-in-text"],
    "continuation_ends_comment": ["comment-in-text"],
    "positional_in_ordinary_line_is_empty": ["bare-parameter", "bare-parameter"],
    "comma_from_expansion_separates": ["separator-in-value"],
    "unknown_directive_ignored_when_skipping": ["unknown-directive-skipped"],
    "undef_removes_oldest_entry": ["loop-shadows"],
    "loop_variable_defined_before": ["loop-shadows"],
    "loop_nested_same_name": ["loop-shadows"],
}

failures = []
checked = 0


def bytes_of(text):
    """The JSON strings of cases_json hold one byte a character."""
    return text.encode("latin-1")


def run_checker(checker, args, cwd, stdin=b""):
    """The warnings' names and lines, and the error output."""
    r = subprocess.run([checker] + args, cwd=cwd, input=stdin, capture_output=True, timeout=60)
    lines = r.stdout.decode("latin-1").splitlines()
    if r.returncode not in (0, 1) and b"host:port" not in r.stderr:
        failures.append("%s in %s: status %d: %s" % (" ".join(args), cwd, r.returncode, r.stderr.decode("latin-1")))
    return lines


def name_of(warning):
    return warning[warning.rindex("[") + 1:-1]


def check_files(checker, root, label):
    """Every script under root must give no warning."""
    global checked
    for folder, _, files in os.walk(root):
        for name in sorted(files):
            path = os.path.join(folder, name)
            if name == "transcript" or name.endswith((".c", ".expected", ".md", ".txt", ".py", ".js", ".mjs", ".ts")) or name == "CMakeLists.txt" \
                    or name == "Makefile":
                continue
            checked += 1
            for warning in run_checker(checker, ["./" + os.path.relpath(path, root)], root):
                failures.append("%s: %s" % (label, warning))


def check_docs(checker, source, work):
    here = os.path.join(source, "tests", "docs", "extract.awk")
    # (The examples of quenfold-check.1 are written to show warnings, which
    # its docs test compares with what the page shows.)
    for doc, fmt in (("README.md", "md"), ("man/quenfold.1", "roff"), ("man/quenfold.3", "roff")):
        if not os.path.exists(os.path.join(source, doc)):
            failures.append("no " + doc)
            continue
        out = os.path.join(work, doc.replace("/", "_"))
        os.makedirs(out)
        subprocess.run(["awk", "-v", "format=" + fmt, "-v", "out=" + out, "-f", here, os.path.join(source, doc)],
                       check=True)
        library = set()
        if os.path.exists(os.path.join(out, "library")):
            library = set(open(os.path.join(out, "library")).read().split())
        for name in open(os.path.join(out, "list")).read().split():
            if name not in library:
                check_files(checker, os.path.join(out, name), doc + " example " + name)


def check_cases(checker, cases, work):
    global checked
    for case in cases:
        if case["status"] != 0:
            continue
        checked += 1
        root = tempfile.mkdtemp(dir=work)
        for directory in case["dirs"]:
            os.makedirs(os.path.join(root, directory), exist_ok=True)
        for path, text in case["files"]:
            target = os.path.join(root, path)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(bytes_of(text))
        if case["stdin_file"]:
            with open(os.path.join(root, case["stdin_file"]), "rb") as f:
                stdin = f.read()
        else:
            stdin = bytes_of(case["stdin"])
        # The case's command line (its operands, or its standard input, and
        # its -D), then each file on its own (included files too).
        found = set(run_checker(checker, case["args"], root, stdin))
        for path, _ in case["files"]:
            found.update(run_checker(checker, ["./" + path], root))
        got = sorted(name_of(w) for w in found)
        want = sorted(SHOW_A_TRAP.get(case["name"], []))
        if got != want:
            failures.append("case %s: warnings %s, expected %s:\n  %s" % (
                case["name"], got, want, "\n  ".join(sorted(found))))
    shown = {case["name"] for case in cases if case["status"] == 0}
    for name in SHOW_A_TRAP:
        if name not in shown:
            failures.append("case %s, listed as showing a trap, is no passing end-to-end case" % name)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: check-project.py CHECKER CASES_JSON_PROGRAM SOURCE_DIR")
    checker = os.path.abspath(sys.argv[1])
    cases = json.loads(subprocess.run([sys.argv[2]], capture_output=True, check=True).stdout.decode("latin-1"))
    source = os.path.abspath(sys.argv[3])
    with tempfile.TemporaryDirectory(prefix="quenfold-check-project.") as work:
        check_files(checker, os.path.join(source, "examples"), "examples")
        check_docs(checker, source, work)
        check_cases(checker, cases["cases"], work)
    for failure in failures:
        print("FAILED: " + failure)
    print("%d scripts and cases checked, %d failures" % (checked, len(failures)))
    sys.exit(1 if failures or checked == 0 else 0)


main()
