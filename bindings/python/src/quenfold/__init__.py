"""quenfold, the text macro processor, run in-process through libquenfold.

    >>> import quenfold
    >>> quenfold.run(["-D", "who=world"], b"Hello, $(who)!\\n").stdout
    b'Hello, world!\\n'

A run is the program's run with these words after its name: the same
options, inputs, output, error line and exit status, byte for byte. Runs
share nothing, and any number may go on at once in different threads.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import dataclasses
import os
from typing import List, Mapping, Optional, Sequence, Union

__all__ = ["QuenfoldError", "Result", "run", "version"]
__version__ = "3.2.0"

Word = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

_SONAME = "libquenfold.so.3"
_INSTALL_HINT = (
    "install the library (the Debian package libquenfold3, or `cmake --install` "
    "of a quenfold build into a directory the dynamic loader searches), or set "
    "QUENFOLD_LIBRARY to the path of libquenfold.so.3"
)


class _Options(ctypes.Structure):
    _fields_ = [
        ("size", ctypes.c_size_t),
        ("root", ctypes.c_char_p),
        ("no_network", ctypes.c_int),
        ("max_lines", ctypes.c_ulonglong),
        ("max_text", ctypes.c_size_t),
        ("max_output", ctypes.c_size_t),
    ]


_ReadFn = ctypes.CFUNCTYPE(ctypes.c_long, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t)
_WriteFn = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p, ctypes.c_size_t)


class _Io(ctypes.Structure):
    _fields_ = [
        ("read", _ReadFn),
        ("write", _WriteFn),
        ("context", ctypes.c_void_p),
        ("in_fd", ctypes.c_int),
        ("out_fd", ctypes.c_int),
        ("err_fd", ctypes.c_int),
        ("envp", ctypes.POINTER(ctypes.c_char_p)),
    ]


def _load() -> ctypes.CDLL:
    explicit = os.environ.get("QUENFOLD_LIBRARY")
    if explicit:
        names = [explicit]
    else:
        # The soname first: the dynamic loader also searches LD_LIBRARY_PATH,
        # which find_library may not.
        names = [_SONAME]
        found = ctypes.util.find_library("quenfold")
        if found and found != _SONAME:
            names.append(found)
    problems = []
    for name in names:
        try:
            lib = ctypes.CDLL(name)
        except OSError as e:
            problems.append(str(e))
            continue
        try:
            lib.quenfold_version.restype = ctypes.c_char_p
            lib.quenfold_version.argtypes = []
            major = lib.quenfold_version().split(b".")[0]
            run_io = lib.quenfold_run_io_opts
        except AttributeError as e:
            problems.append(f"{name}: {e}")
            continue
        if major != b"3":
            problems.append(f"{name}: version {lib.quenfold_version().decode()}, not 3.x")
            continue
        run_io.restype = ctypes.c_int
        run_io.argtypes = [
            ctypes.c_int,
            ctypes.POINTER(ctypes.c_char_p),
            ctypes.POINTER(_Io),
            ctypes.POINTER(_Options),
        ]
        return lib
    where = explicit if explicit else _SONAME
    raise ImportError(
        f"quenfold: cannot load the quenfold library {where} ({'; '.join(problems)}): {_INSTALL_HINT}",
        name="quenfold",
    )


_lib = _load()


@dataclasses.dataclass(frozen=True)
class Result:
    """What one run wrote, and how it ended."""

    args: List[bytes]  # the words after the program name, as the run saw them
    stdout: bytes
    stderr: bytes  # the error line, or empty
    returncode: int  # 0, or 1 after an error

    def check_returncode(self) -> None:
        """Raises QuenfoldError when the run failed."""
        if self.returncode != 0:
            raise QuenfoldError(self)


class QuenfoldError(Exception):
    """A run that ended with an error (run(..., check=True))."""

    def __init__(self, result: Result) -> None:
        self.result = result
        message = result.stderr.decode("utf-8", "replace").strip()
        super().__init__(message or f"quenfold ended with status {result.returncode}")

    @property
    def returncode(self) -> int:
        return self.result.returncode

    @property
    def stdout(self) -> bytes:
        return self.result.stdout

    @property
    def stderr(self) -> bytes:
        return self.result.stderr


def version() -> str:
    """The library's version, "3.2"."""
    return _lib.quenfold_version().decode("ascii")


def _word(value: Word, what: str) -> bytes:
    if isinstance(value, str):
        data = value.encode("utf-8")
    elif isinstance(value, (bytes, bytearray, memoryview)):
        data = bytes(value)
    elif isinstance(value, os.PathLike):
        data = os.fsencode(value)
    else:
        raise TypeError(f"{what} must be str, bytes or a path, not {type(value).__name__}")
    if b"\0" in data:
        raise ValueError(f"embedded null byte in {what}")
    return data


def _words(args: Union[Word, Sequence[Word]]) -> List[bytes]:
    if isinstance(args, (str, bytes, bytearray, memoryview, os.PathLike)):
        return [_word(args, "an argument")]
    return [_word(a, "an argument") for a in args]


def _environment(env: Mapping[Union[str, bytes], Union[str, bytes]]) -> List[bytes]:
    words = []
    for name, value in env.items():
        key = _word(name, "a variable name")
        if not key or b"=" in key:
            raise ValueError(f"bad variable name {name!r}")
        words.append(key + b"=" + _word(value, f"the variable {name!r}"))
    return words


def _limit(value: Optional[int], what: str) -> int:
    if value is None:
        return 0
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{what} must be an int or None")
    if value <= 0:
        raise ValueError(f"{what} must be positive (None for no limit)")
    return value


def _c_words(words: List[bytes]):
    table = (ctypes.c_char_p * (len(words) + 1))()
    for i, word in enumerate(words):
        table[i] = word
    table[len(words)] = None
    return table


def run(
    args: Union[Word, Sequence[Word]],
    input: Union[bytes, str] = b"",
    env: Optional[Mapping[Union[str, bytes], Union[str, bytes]]] = None,
    check: bool = False,
    *,
    root: Optional[Word] = None,
    allow_network: bool = True,
    max_lines: Optional[int] = None,
    max_text: Optional[int] = None,
    max_output: Optional[int] = None,
) -> Result:
    """Runs quenfold with `args`, the words after the program name.

    input is standard input (str is written as UTF-8); env, when given, is the
    run's whole environment, else it sees the process's. With check=True a run
    that fails raises QuenfoldError. For scripts one did not write: root is a
    directory every file input is opened beneath (none may lead out of it),
    allow_network=False refuses host:port inputs, and max_lines, max_text and
    max_output end a run after that many lines read, at an expansion longer
    than that many bytes, or when its output would pass that many bytes.
    """
    words = _words(args)
    data = input.encode("utf-8") if isinstance(input, str) else bytes(input)
    argv = _c_words([b"quenfold"] + words)

    options = _Options()
    options.size = ctypes.sizeof(_Options)
    root_bytes = _word(root, "root") if root is not None else None
    options.root = root_bytes
    options.no_network = 0 if allow_network else 1
    options.max_lines = _limit(max_lines, "max_lines")
    options.max_text = _limit(max_text, "max_text")
    options.max_output = _limit(max_output, "max_output")

    streams: List[List[bytes]] = [[], []]
    position = 0

    def read(_context, buffer, size):
        nonlocal position
        n = min(size, len(data) - position)
        if n > 0:
            ctypes.memmove(buffer, data[position : position + n], n)
            position += n
        return n

    def write(_context, stream, chunk, size):
        try:
            streams[0 if stream == 1 else 1].append(ctypes.string_at(chunk, size))
        except MemoryError:
            return -1
        return 0

    io = _Io()
    io.read = _ReadFn(read)
    io.write = _WriteFn(write)
    io.in_fd, io.out_fd, io.err_fd = 0, 1, 2
    envp = None
    if env is not None:
        envp = _c_words(_environment(env))
        io.envp = ctypes.cast(envp, ctypes.POINTER(ctypes.c_char_p))

    status = _lib.quenfold_run_io_opts(len(words) + 1, argv, ctypes.byref(io), ctypes.byref(options))
    result = Result(words, b"".join(streams[0]), b"".join(streams[1]), status)
    if check and status != 0:
        raise QuenfoldError(result)
    return result
