" Vim compiler file
" Compiler:    quenfold (text macro processor)
" Use:         :compiler quenfold, then :make [options]; the run's errors go to
"              the quickfix list. The script's output is thrown away.

if exists("current_compiler")
  finish
endif
let current_compiler = "quenfold"

if exists(":CompilerSet") != 2
  command -nargs=* CompilerSet setlocal <args>
endif

let s:cpo_save = &cpo
set cpo&vim

" quenfold looks a name that does not begin with '.' or '/' up in its include
" directory, so the script is named by its full path. Only the error line
" reaches the quickfix list: the output goes to /dev/null inside the braces,
" before 'shellpipe' sends what is left on to Vim.
CompilerSet makeprg={\ quenfold\ $*\ %:p:S\ 2>&1\ >/dev/null;\ }
" "quenfold: file F line N: MESSAGE" for an error in a script; "quenfold:
" MESSAGE" for one at start-up, and "expr: MESSAGE" for a faulty expression,
" which name no place.
CompilerSet errorformat=quenfold:\ file\ %f\ line\ %l:\ %m,
                       \quenfold:\ %m,
                       \expr:\ %m,
                       \%-G%.%#

let &cpo = s:cpo_save
unlet s:cpo_save
