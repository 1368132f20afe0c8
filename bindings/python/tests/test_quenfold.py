"""The quenfold module against an installed libquenfold.

Run with the module installed and the library findable (QUENFOLD_LIBRARY, or
the loader's own search):  python3 -m unittest discover -s tests
"""

import os
import subprocess
import sys
import tempfile
import threading
import unittest
from pathlib import Path

import quenfold


class Runs(unittest.TestCase):
    def test_a_script_and_its_output(self):
        r = quenfold.run(["-D", "who=world"], b"@DEFINE greet Hello\n$(greet), $(who)! $(=:6 * 7)\n")
        self.assertEqual(r.stdout, b"Hello, world! 42\n")
        self.assertEqual(r.stderr, b"")
        self.assertEqual(r.returncode, 0)
        self.assertEqual(r.args, [b"-D", b"who=world"])
        self.assertEqual(quenfold.version(), "3.2")
        # The type hints are installed with the module.
        self.assertTrue((Path(quenfold.__file__).parent / "py.typed").is_file())

    def test_a_script_that_fails_keeps_what_it_wrote(self):
        r = quenfold.run([], "kept\n$(nosuch)\nnever\n")
        self.assertEqual(r.stdout, b"kept\n")
        self.assertEqual(r.stderr, b"quenfold: file stdin line 2: Macro nosuch not defined\n")
        self.assertEqual(r.returncode, 1)
        r = quenfold.run(["-x"])
        self.assertEqual((r.stderr, r.returncode), (b"quenfold: Unknown option\n", 1))

    def test_bytes_pass_unchanged(self):
        # Not UTF-8 in a word, in the script and in the environment.
        latin = b"caf\xe9"
        r = quenfold.run([b"-Dv=" + latin], b"$v \xff\xfe\n@GETENV E\n$E\n", env={b"E": b"\x80\x81"})
        self.assertEqual(r.stdout, b"caf\xe9 \xff\xfe\n\x80\x81\n")
        # A NUL in the output: a marker byte from the command line and the
        # byte after it in the script make a pair that the writer decodes.
        r = quenfold.run([b"-Dx=\xff"], b"[$x\x80] after\n")
        self.assertEqual(r.stdout, b"[\x00] after\n")
        # str words are UTF-8.
        r = quenfold.run(["-Dv=café"], "$v ☃\n")
        self.assertEqual(r.stdout, "café ☃\n".encode())

    def test_check_raises_with_the_result(self):
        self.assertEqual(quenfold.run([], "ok\n", check=True).stdout, b"ok\n")
        with self.assertRaises(quenfold.QuenfoldError) as caught:
            quenfold.run([], "kept\n@ERROR stop here\n", check=True)
        e = caught.exception
        self.assertEqual(e.result.returncode, 1)
        self.assertEqual(e.result.stdout, b"kept\n")
        self.assertEqual(str(e), "quenfold: file stdin line 2: stop here")
        self.assertEqual((e.returncode, e.stdout, e.stderr), (1, e.result.stdout, e.result.stderr))
        with self.assertRaises(quenfold.QuenfoldError):
            quenfold.run(["-x"]).check_returncode()

    def test_env_is_the_whole_environment(self):
        os.environ["QUENFOLD_TEST_OUTER"] = "outer"
        try:
            script = "@GETENV QUENFOLD_TEST_OUTER unset\n@GETENV HOME unset\n$(QUENFOLD_TEST_OUTER) $(HOME) [$(__USER__)]\n"
            self.assertEqual(quenfold.run([], script).stdout.split()[0], b"outer")
            r = quenfold.run([], script, env={"HOME": "/home/ada", "USER": "ada"})
            self.assertEqual(r.stdout, b"unset /home/ada [ada]\n")
            # The options variable named after the program comes from it too.
            r = quenfold.run([], "$x\n", env={"quenfold": "-Dx=from_env"})
            self.assertEqual(r.stdout, b"from_env\n")
        finally:
            del os.environ["QUENFOLD_TEST_OUTER"]

    def test_arguments_are_checked(self):
        with self.assertRaises(ValueError):
            quenfold.run(["a\0b"])
        with self.assertRaises(ValueError):
            quenfold.run([], env={"A=B": "x"})
        with self.assertRaises(TypeError):
            quenfold.run([42])
        with self.assertRaises(ValueError):
            quenfold.run([], max_lines=0)
        # One word alone, and paths.
        self.assertEqual(quenfold.run("-q", "x\n").stdout, b"x\n")
        with tempfile.TemporaryDirectory() as d:
            script = Path(d) / "s.qf"
            script.write_bytes(b"from a file\n")
            self.assertEqual(quenfold.run([script]).stdout, b"from a file\n")


class Untrusted(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        top = Path(self.dir.name)
        (top / "outside").mkdir()
        (top / "outside" / "secret").write_bytes(b"SECRET\n")
        self.root = top / "root"
        (self.root / "lib").mkdir(parents=True)
        (self.root / "lib" / "part").write_bytes(b"part\n")
        (self.root / "page").write_bytes(b"@INCLUDE part\npage\n")
        (self.root / "out").symlink_to("../outside/secret")

    def tearDown(self):
        self.dir.cleanup()

    def test_root(self):
        r = quenfold.run(["-i", "lib", "./page"], root=self.root)
        self.assertEqual((r.stdout, r.returncode), (b"part\npage\n", 0))
        for name in ["../outside/secret", "./out", str(Path(self.dir.name) / "outside" / "secret")]:
            r = quenfold.run([name], root=str(self.root))
            self.assertEqual(r.stderr, b"quenfold: Can't stat %s (Permission denied)\n" % name.encode())
            self.assertEqual(r.returncode, 1)
        r = quenfold.run([], "@INCLUDE ./out\n", root=self.root)
        self.assertEqual(r.stderr, b"quenfold: file stdin line 1: Can't stat ./out (Permission denied)\n")

    def test_network_and_limits(self):
        r = quenfold.run(["127.0.0.1:1"], allow_network=False)
        self.assertEqual(r.stderr, b"quenfold: Can't open input socket on 127.0.0.1:1 (Network is unreachable)\n")
        r = quenfold.run([], "a\nb\nc\n", max_lines=2)
        self.assertEqual((r.stdout, r.returncode), (b"a\nb\n", 1))
        self.assertEqual(r.stderr, b"quenfold: file stdin line 3: Line limit of this run reached\n")
        r = quenfold.run([], "@DEFINE x 0123456789\n$x$x\n", max_text=15)
        self.assertEqual(r.stderr, b"quenfold: file stdin line 2: Text limit of this run reached\n")
        r = quenfold.run([], "abc\ndef\n", max_output=6)
        self.assertEqual((r.stdout, r.stderr), (b"abc\nde", b"quenfold: Output limit of this run reached\n"))


class Threads(unittest.TestCase):
    def test_eight_threads_give_the_results_of_one(self):
        with tempfile.TemporaryDirectory() as d:
            for name in "ab":
                (Path(d) / name / "lib").mkdir(parents=True)
                (Path(d) / name / "lib" / "part").write_text(f"root {name}\n")
            loop = "@FOR i $(%:1-300)\n@DEFINE m$i v$i\n@END\n@FOR i $(%:1-300)\n$(m$i)\n@END\n"
            jobs = [
                (([], "@DEFINE x 1\n$x $(=:2 * 21)\n"), {}),
                ((["-Dn=5"], "@FOR i $(%:1-$n)\n$i$i\n@END\n"), {}),
                (([], loop), {}),
                (([], "ok\n$(nosuch)\n"), {}),
                (([], b"\xff\x00\n"), {}),
                (([], "@GETENV V\n$V\n"), {"env": {"V": "mine"}}),
                ((["-i", "lib", "part"], ""), {"root": os.path.join(d, "a")}),
                ((["-i", "lib", "part"], ""), {"root": os.path.join(d, "b")}),
                ((["../a/lib/part"], ""), {"root": os.path.join(d, "b")}),
                (([], loop), {"max_lines": 100}),
                (([], loop), {"max_output": 500}),
            ]
            expected = [quenfold.run(*args, **kw) for args, kw in jobs]
            self.assertEqual(expected[6].stdout, b"root a\n")
            self.assertEqual(expected[7].stdout, b"root b\n")
            self.assertEqual(expected[8].returncode, 1)
            mismatches = []

            def worker(t):
                for k in range(40):
                    i = (t + k) % len(jobs)
                    args, kw = jobs[i]
                    if quenfold.run(*args, **kw) != expected[i]:
                        mismatches.append(i)

            threads = [threading.Thread(target=worker, args=(t,)) for t in range(8)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            self.assertEqual(mismatches, [])


class Loading(unittest.TestCase):
    """How the module finds the library, in fresh interpreters."""

    def python(self, env):
        code = "import quenfold; print(quenfold.version())"
        return subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True)

    def test_found_by_the_loader_or_named(self):
        library = os.environ.get("QUENFOLD_LIBRARY")
        if not library:
            self.skipTest("QUENFOLD_LIBRARY names no library to move about")
        base = {k: v for k, v in os.environ.items() if k not in ("QUENFOLD_LIBRARY", "LD_LIBRARY_PATH")}
        # On the loader's path, as an installed library is.
        p = self.python(dict(base, LD_LIBRARY_PATH=os.path.dirname(library)))
        self.assertEqual((p.stdout, p.returncode), ("3.2\n", 0), p.stderr)
        # Nowhere: the import fails and says how to install it.
        with tempfile.TemporaryDirectory() as empty:
            p = self.python(dict(base, LD_LIBRARY_PATH=empty))
            if p.returncode == 0:
                self.skipTest("this system has a libquenfold.so.3 of its own")
            self.assertIn("ImportError: quenfold: cannot load the quenfold library libquenfold.so.3", p.stderr)
            self.assertIn("QUENFOLD_LIBRARY", p.stderr)
            p = self.python(dict(base, QUENFOLD_LIBRARY=os.path.join(empty, "libquenfold.so.3")))
            self.assertIn("cannot load the quenfold library " + empty, p.stderr)


if __name__ == "__main__":
    unittest.main()
