" Vim filetype plugin
" Language:    quenfold script (text macro processor)

if exists("b:did_ftplugin")
  finish
endif
let b:did_ftplugin = 1

let s:cpo_save = &cpo
set cpo&vim

" '#' begins a comment anywhere on a line.
setlocal commentstring=#\ %s
setlocal comments=:#
setlocal formatoptions-=t formatoptions+=croql

" % (matchit) jumps between the lines of a block; directive words are read in
" any case, after an optional '!'.
let b:match_ignorecase = 1
let b:match_words = '^\s*!\=@\%(ifdef\|ifndef\)\>:^\s*!\=@\%(elifdef\|elifndef\|else\)\>:^\s*!\=@endif\>,'
      \ . '^\s*!\=@for\>:^\s*!\=@end\>'

" :make runs the script and lists its error (compiler/quenfold.vim).
if !exists("b:current_compiler")
  compiler quenfold
endif

let b:undo_ftplugin = "setlocal commentstring< comments< formatoptions< makeprg< errorformat<"
      \ . " | unlet! b:match_words b:match_ignorecase"

let &cpo = s:cpo_save
unlet s:cpo_save
