#!/usr/bin/env python3
"""Scaling check: does every cost grow linearly with the size of the work?

For each dimension below, writes a script at sizes N, 2N, 4N and 8N, runs
quenfold on it (output through a pipe) and prints the median time at each size
and the growth exponent between 4N and 8N: log2(time(8N) / time(4N)), 1.0 for
a linear cost, 2.0 for a quadratic one. An exponent is judged only when the 8N
run takes over 50 ms; the check fails when one judged exponent is above 1.2.

    bench/scaling.py [--quenfold PATH] [--factor F] [--runs R] [--only NAME,...]
                     [--instructions]

F scales every N (default 1). Without --quenfold, a release build is made in
build-bench/ (or $BENCH_BUILD). Inputs go to $BENCH_WORK or /tmp/quenfold-scaling.
On a busy machine times vary by a fifth from run to run, and the exponent of a
pair of short runs with them; --instructions counts the instructions each run
executes instead (valgrind's callgrind, output to /dev/null), which do not vary,
and judges every exponent.
"""
import argparse
import math
import os
import random
import re
import statistics
import subprocess
import sys
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
LIMIT_SECONDS = 60  # a run that takes longer is stopped and shown as a lower bound


def plain_lines(n):
    return "".join(f"line {i} of some plain text to copy\n" for i in range(n))


def long_line(n):
    words = ("alpha", "beta", "gamma", "delta", "epsilon")
    out, size, i = [], 0, 0
    while size < n:
        w = words[i % 5]
        out.append(w)
        size += len(w) + 1
        i += 1
    return " ".join(out) + "\n"


def references_in_line(n):
    return "@DEFINE x abc\n" + "$x " * n + "\n"


def distinct_macros(n):
    rng = random.Random(11)
    defs = "".join(f"@DEFINE m{i} value{i}\n" for i in range(n))
    refs = "".join(f"$(m{rng.randrange(n)})\n" for _ in range(n))
    return defs + refs


def extend_plain(n):
    return "@DEFINE l\n" + "@EXTEND l ab\n" * n + "$(@:$(l))\n"


def extend_reference(n):
    values = " ".join(str(i) for i in range(n))
    return f"@DEFINE l\n@FOR i {values}\n@EXTEND l $i\n@END\n$(@:$(l))\n"


def for_values(n):
    values = " ".join(f"v{i}" for i in range(n))
    return f"@FOR i {values}\n$i\n@END\n"


def loop_body(n):
    body = "".join(f"row $i {k}\n" for k in range(n))
    return "@FOR i a b\n" + body + "@END\n"


def nested_ifdef_taken(n):
    return "@DEFINE y 1\n" + "@IFDEF y\n" * n + "inside\n" + "@ENDIF\n" * n


def nested_ifdef_skipped(n):
    return "@DEFINE y 1\n@IFDEF nosuch\n" + "@IFDEF y\n" * n + "hidden\n" + "@ENDIF\n" * (n + 1) + "after\n"


def value_size(n):
    return "@DEFINE v " + long_line(n) + "$v\n$v\n$v\n$v\n"


def expression_terms(n):
    return "$(=:" + " + ".join(["1"] * n) + ")\n"


def call_arguments(n):
    return "@DEFINE f $(0)$(9)\n$(f:" + ",".join(["a"] * n) + ")\n"


def include_lines(n):
    return "@INCLUDE ./inc.qf\n" * n


def undef_many(n):
    defs = "".join(f"@DEFINE m{i} v{i}\n" for i in range(n))
    return defs + "".join(f"@UNDEF m{i}\n" for i in range(n)) + "done\n"


def show_many(n):
    return "".join(f"@DEFINE m{i} v{i}\n" for i in range(n)) + "@SHOW\n"


def quoted_pieces(n):
    return "@DEFINE x 1\n" + "'a $x' " * n + "$x\n"


def piped_loop(n):
    outer = " ".join(str(i) for i in range(max(1, n // 1000)))
    return f"@FOR a {outer}\n@FOR b $(%:1-1000)\nrow $a col $b\n@END\n@END\n"


# name, script maker, N at factor 1, how the script is given (file or pipe)
DIMENSIONS = [
    ("input_lines", plain_lines, 200_000, "file"),
    ("bytes_in_one_line", long_line, 4_000_000, "file"),
    ("references_in_one_line", references_in_line, 500_000, "file"),
    ("distinct_macros", distinct_macros, 50_000, "file"),
    ("extend_plain", extend_plain, 50_000, "file"),
    ("extend_with_reference", extend_reference, 50_000, "file"),
    ("for_values", for_values, 100_000, "file"),
    ("loop_body_lines", loop_body, 200_000, "file"),
    ("nested_ifdef_taken", nested_ifdef_taken, 100_000, "file"),
    ("nested_ifdef_skipped", nested_ifdef_skipped, 100_000, "file"),
    ("referenced_value_size", value_size, 4_000_000, "file"),
    ("expression_terms", expression_terms, 200_000, "file"),
    ("call_arguments", call_arguments, 500_000, "file"),
    ("include_lines", include_lines, 20_000, "file"),
    ("undef_many", undef_many, 50_000, "file"),
    ("show_many", show_many, 50_000, "file"),
    ("quoted_pieces", quoted_pieces, 200_000, "file"),
    ("piped_loop", piped_loop, 100_000, "pipe"),
]


def build():
    build_dir = os.environ.get("BENCH_BUILD", os.path.join(ROOT, "build-bench"))
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
                    "-DQUENFOLD_BENCH=ON", "-DQUENFOLD_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", "quenfold"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "quenfold")


def count_instructions(quenfold, path, mode):
    """Instructions one run executes, as callgrind counts them."""
    command = ["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", quenfold]
    if mode == "pipe":
        with open(path, "rb") as script:
            done = subprocess.run(command, stdin=script, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                  cwd=os.path.dirname(path))
    else:
        done = subprocess.run(command + ["./" + os.path.basename(path)], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, cwd=os.path.dirname(path))
    found = re.search(rb"Collected : (\d+)", done.stderr)
    if not found:
        sys.exit(f"callgrind failed on {path}:\n{done.stderr.decode(errors='replace')}")
    return int(found.group(1))


def time_run(command, runs):
    """Median wall time of `command` (a shell line), or None past the limit."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        try:
            done = subprocess.run(["sh", "-c", command], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, timeout=LIMIT_SECONDS)
        except subprocess.TimeoutExpired:
            return None
        elapsed = time.perf_counter() - start
        if done.returncode != 0:
            sys.exit(f"failed: {command}\n{done.stderr.decode(errors='replace')}")
        times.append(elapsed)
        if elapsed > 5:  # slow runs: one is enough to see the growth
            break
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quenfold")
    parser.add_argument("--factor", type=float, default=1.0)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only")
    parser.add_argument("--instructions", action="store_true")
    args = parser.parse_args()
    quenfold = os.path.abspath(args.quenfold) if args.quenfold else build()
    work = os.environ.get("BENCH_WORK", "/tmp/quenfold-scaling")
    os.makedirs(work, exist_ok=True)
    with open(os.path.join(work, "inc.qf"), "w") as f:
        f.write("included line\n")
    only = set(args.only.split(",")) if args.only else None

    unit = "i" if args.instructions else "t"
    print(f"{'dimension':24} {'N':>9} {unit + '(N)':>8} {unit + '(2N)':>8} {unit + '(4N)':>8} {unit + '(8N)':>8} {'exp':>6}")
    worst = []
    for name, make, base, mode in DIMENSIONS:
        if only and name not in only:
            continue
        n = max(8, int(base * args.factor))
        times = []
        for k in (1, 2, 4, 8):
            path = os.path.join(work, f"{name}.qf")
            with open(path, "w") as f:
                f.write(make(n * k))
            if args.instructions:
                times.append(count_instructions(quenfold, path, mode) / 1e9)
                continue
            if mode == "pipe":
                command = f"cat {path} | {quenfold} | cat >/dev/null"
            else:
                command = f"cd {work} && {quenfold} ./{name}.qf | cat >/dev/null"
            t = time_run(command, args.runs) if not times or times[-1] is not None else None
            times.append(t)
        os.remove(os.path.join(work, f"{name}.qf"))
        shown = [f"{t:8.4f}" if t is not None else f">{LIMIT_SECONDS:6d}s" for t in times]
        if times[2] is not None and times[3] is not None:
            exponent = math.log2(times[3] / times[2])
            mark = ""
            if args.instructions or times[3] > 0.05:
                worst.append((exponent, name))
                if exponent > 1.2:
                    mark = "  above 1.2"
            else:
                mark = "  (under 50 ms: not judged)"
            exp_text = f"{exponent:6.2f}{mark}"
        else:
            exp_text = "   n/a  (too slow)"
            worst.append((math.inf, name))
        print(f"{name:24} {n:9d} {' '.join(shown)} {exp_text}", flush=True)
    failing = [name for exponent, name in worst if exponent > 1.2]
    if failing:
        print("growth above 1.2: " + ", ".join(failing))
        return 1
    print("every judged exponent is at most 1.2")
    return 0


sys.exit(main())
