#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/. The first byte of a fuzz_script
input picks the command line (its value modulo 8, so the digits 0-7 name the
eight option sets of fuzz_script.cc; 7 takes the words of the first line); the
rest is the script."""
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# First bytes "8" and "9" (bit 3 set) send the script through a pipe.
SCRIPTS = {
    "pipe_for": (8, "@FOR i 1 2 3\n@FOR j a b\n$(i)$(j)\n@END\n@END\n@READLINE r\n$(r)\n"),
    "pipe_for_open": (9, "@FOR i 1 2\n$(i)\n@IFDEF i\n@END\n@ENDIF\n"),
    "pipe_stdin_include": (8, "@DEFINE e\n@FOR i 1 2\n@INCLUDE $(e)\n@END\nlast\n"),
    "plain": (0, "hello world\n  leading and trailing  \n\n# comment\nx # trailing comment\n"),
    "continuation": (0, "a\\\n  b\na # c \\\n d\nx\\ \nlast\\"),
    "escapes": (0, "\\$ \\# \\\\$ \\n \\t \\, \\( \\) \\@ \\! \\' \\\"\nq \"a#b\"\n"),
    "crlf": (0, "line one\r\nline two\r\n\x00nul\n\\\x00x\n"),
    "define": (0, "@DEFINE x 1\n@DEFINE y a  b\n$x $xy $(x)y $(y)\n@DEFINE x 2\n"),
    "default_redefine": (0, "@DEFAULT z 3\n@DEFINE z 1\n@DEFAULT z 4\n@REDEFINE z 5\n$(z)\n@REDEFINE __OS__ x\n"),
    "extend_undef": (0, "@DEFINE l a\n@EXTEND l b\n@EXTEND l\n[$(l)]\n@UNDEF l\n@UNDEF nosuch\n@UNDEF __FILE__\n"),
    "params": (0, "@DEFINE m [$(0)|$(1)|$(2:r)|$1]\n$(m:a, b)\n$(m: a ,b)\n$(m)\n$(m:a\\,b)\n$(08)\n$(0:z)\n"),
    "nested": (0, "@DEFINE n x\n@DEFINE x 1\n$($(n))\n@DEFINE f $(g:$(0))\n@DEFINE g <$(0)>\n$(f:deep)\n"),
    "quotes": (0, "@DEFINE x 1\na'$x'b\na\"$x\"b\n\"it's $x\"\n'open $x\n"),
    "errors_paren": (0, "$(x\n"),
    "errors_empty": (0, "a $$ b\n"),
    "recursion": (0, "@DEFINE r $(r)\n$(r)\n"),
    "doubling": (0, "@DEFINE a0 xxxxxxxxxxxxxxxx\n@DEFINE a1 $(a0)$(a0)\n@DEFINE a2 $(a1)$(a1)\n@DEFINE a3 $(a2)$(a2)\n$(@:$(a3))\n"),
    "sequence": (0, "$(%:1 3 5)\n$(%:1-5)\n$(%:-3)\n$(%:2-4 8-9)\n$(%:5-3)\n$(%:0x10-0x12)\n$(%:)\n$(%:1-2049)\n"),
    "sequence_long": (0, "$(%:1,2)\n"),
    "arith": (0, "$(=:2+3)\n$(=:(1 - 2)*3)\n$(=:2147483647 + 1)\n$(=:65536 * 65536)\n$(=:2 = 2 = 2)\n$(=:7 % 3 / 1 < 2 > 0 <= 1 >= 0 != 1 & 1 | 0)\n"),
    "arith_div": (0, "$(=:-2147483647 - 1 / -1)\n$(=:(0 - 2147483647 - 1) % -1)\n$(=:1 / 0)\n"),
    "arith_errors": (0, "$(=:3-2)\n"),
    "choice_length": (0, "$(?:x:yes:no)\n$(?::yes:no)\n$(?::b:c:d)\n$(@:hello)\n$(@:  hi)\n$(@:)\n$(?:a:b)\n"),
    "forms_invalid": (0, "$(=1)\n"),
    "ifdef": (1, "@DEFINE X 1\n@IFDEF X\nyes\n@ELIFDEF Y\nno\n@ELSE\nno\n@ENDIF\n@IFNDEF X 2\ntaken\n@ENDIF\n@IFDEF __OS__ UNIX\nunix\n@endif\n"),
    "if_nested_skip": (0, "@IFDEF nope\n@IFDEF X\n@ELSE\n@ENDIF\n@ELSE\nouter else\n@ELIFNDEF Z\n@ELSE\n@ENDIF junk\n!@ifdef open\n"),
    "endif_alone": (0, "@ENDIF\n"),
    "for": (0, "@FOR i 1 2 3\n$(i)\n@END\n@DEFINE three a b c\n@FOR j $(three)\n@FOR k x y\n$(j)$(k)\n@END\n@END\n@FOR i\n"),
    "for_same": (0, "@DEFINE i 0\n@FOR i 1 2\n@FOR i a b\n$(i)\n@END\n@END\n@FOR q \"a b\"\n$(q)\n@END\n@CLEAR i\n"),
    "for_open": (0, "@FOR i 1 2\n$(i)\n"),
    "show_clear": (1, "@DEFINE a 1\n@DEFINE b 2\n@DEFINE c 3\n@CLEAR b\n@SHOW\n@CLEAR\n@CLEAR __OS__\n"),
    "getenv_readline": (0, "@GETENV HOME\n@GETENV NOSUCHVAR fallback\n@READLINE answer\n[$(answer)]\n@READLINE other no\nthe line read\n"),
    "print_error": (1, "@PRINT hello \\$ $(__LINE__)\n@QUOTE $(__FILE__)\n@ERROR bad %s %d\n"),
    "unknown_directive": (0, "@FROB x\n@DEFINE\n"),
    "include": (2, "@INCLUDE lib\n$(libvalue)\n@INCLUDE cond\n@INCLUDE loop\n@INCLUDE pkg\n@INCLUDE params\n"),
    "include_open": (2, "@INCLUDE open\n"),
    "include_self": (2, "@INCLUDE self\n"),
    "include_outside": (2, "@INCLUDE /etc/passwd\n@INCLUDE ../x\n"),
    "include_socket": (0, "@INCLUDE localhost:1\n"),
    "include_stdin": (3, "@DEFINE e\n@INCLUDE $(e)\nafter\n"),
    "return": (4, "@IFDEF A\n@RETURN\n@ENDIF\n$(A) $(B)\n"),
    "return_bottom": (0, "@RETURN\n"),
    "for_in_include": (5, "@FOR i 1 2\n@INCLUDE loop\n@END\n"),
    "predefined": (6, "$(__FILE__) $(__LINE__) $(__OS__) $(__INCLUDE__) $(x)\n"),
    "bang": (1, "!@DEFINE b 1\n!text\n!!text\n!$(b)\n!\n"),
    "argv_words": (7, "-q -v -DA=1 -D B=2 -Dempty= -- \n$(A)$(B)[$(empty)]\n"),
    "argv_nested": (7, "-DX=1 -DY=$(X) -qvq\n$(Y)\n"),
    "argv_unknown": (7, "-x -D\nnever read\n"),
    "argv_bad_define": (7, "-D =v\n"),
}

ARGS = {
    "words": b'-q "a b" c\\ d \'e\'\'f\'',
    "unclosed": b'"a b',
    "empty_word": b'a "" b',
    "trailing_empty": b'a ""',
    "trailing_backslash": b'a \\',
    "quoted_backslash": b'"a\\',
    "spaces": b' \t\n\v\f\r ',
    "options": b'\x00-qv\x00-Dx=1\x00-D\x00x=1\x00-i\x00dir\x00op\x00--\x00-q\x00-',
    "unknown": b'-x\x00-xq\x00--x\x00-D',
    "many": b' '.join(b'w%d' % i for i in range(80)),
}


# fuzz_confined: names that try to leave the root (the first byte picks the
# command line as for fuzz_script, from the option sets of fuzz_confined.cc;
# with bit 3 set, "8" to "?", the walk opens them instead of openat2).
CONFINED = {
    "inside": (1, "@INCLUDE part\n@INCLUDE loop\n@INCLUDE ./pkg\n@INCLUDE ./link_in\n@INCLUDE ./link_up_in\n$(partvalue)\n"),
    "inside_walk": (9, "@INCLUDE part\n@INCLUDE ./link_lib/loop\n@INCLUDE ./pkg/link_parent\n"),
    "dotdot": (0, "@INCLUDE ../secret\n"),
    "dotdot_deep": (8, "@INCLUDE ./pkg/../../outside/secret\n"),
    "absolute": (0, "@INCLUDE /etc/passwd\n"),
    # The harness works from TOP/outside, which these name absolutely.
    "absolute_cwd": (0, "@INCLUDE /proc/self/cwd/secret\n"),
    "include_dir_root": (7, "-i /\n@INCLUDE proc/self/cwd/../secret\n"),
    "link_out": (0, "@INCLUDE ./link_out\n"),
    "link_abs": (8, "@INCLUDE ./link_abs\n"),
    "link_dir_out": (2, "@INCLUDE link_dir_out/secret\n"),
    "link_dir_script": (0, "@INCLUDE ./link_dir_out\n"),
    "link_top": (10, "@INCLUDE link_top/secret\n"),
    "deep_link": (0, "@INCLUDE ./pkg/link_deep_out\n"),
    "directory_script": (0, "@INCLUDE ./evil\n"),
    "include_dir_up": (3, "@INCLUDE secret\n"),
    "include_dir_link": (4, "@INCLUDE secret\n"),
    "flip_loop": (1, "@FOR i $(%:1-50)\n@INCLUDE ./flip\n@END\n"),
    "flip_walk": (9, "@FOR i $(%:1-50)\n@INCLUDE ./flip\n@END\n"),
    "words": (7, "-i link_lib ./link_dir_abs/secret\n@INCLUDE part\n"),
    "socket": (0, "@INCLUDE 127.0.0.1:1\n"),
}


def main():
    for target in ("fuzz_script", "fuzz_args", "fuzz_confined"):
        path = os.path.join(HERE, "corpus", target)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
    for name, (option_set, text) in SCRIPTS.items():
        with open(os.path.join(HERE, "corpus", "fuzz_script", name), "wb") as f:
            f.write(bytes([ord("0") + option_set]) + text.encode("latin-1"))
    examples = os.path.join(ROOT, "examples")
    for folder, _, names in sorted(os.walk(examples)):
        for name in sorted(names):
            if not name.endswith(".qf"):
                continue
            with open(os.path.join(folder, name), "rb") as src:
                data = src.read()
            seed = "example_" + os.path.relpath(os.path.join(folder, name), examples).replace("/", "_")
            with open(os.path.join(HERE, "corpus", "fuzz_script", seed), "wb") as f:
                f.write(b"0" + data)
    for name, data in ARGS.items():
        with open(os.path.join(HERE, "corpus", "fuzz_args", name), "wb") as f:
            f.write(data)
    for name, (option_set, text) in CONFINED.items():
        with open(os.path.join(HERE, "corpus", "fuzz_confined", name), "wb") as f:
            f.write(bytes([ord("0") + option_set]) + text.encode("latin-1"))


if __name__ == "__main__":
    main()
