" Writes the syntax group of every byte of the files named in g:files, as
" Vim's syntax for quenfold gives them, to the file g:out: a line "FILE" and
" then, for each line of it, the group names of its bytes separated by blanks.
" Run: vim -Nu NONE -i NONE -es --cmd 'let g:files=[...]' --cmd 'let g:out=...' -S vim-groups.vim
set nocompatible
filetype on
syntax on
let s:out = []
for s:file in g:files
  execute 'silent edit' fnameescape(s:file)
  if &filetype !=# 'quenfold'
    call add(s:out, 'FILETYPE ' . &filetype)
  endif
  call add(s:out, 'FILE ' . s:file)
  for s:l in range(1, line('$'))
    let s:names = []
    for s:c in range(1, col([s:l, '$']) - 1)
      let s:name = synIDattr(synID(s:l, s:c, 1), 'name')
      call add(s:names, s:name ==# '' ? '-' : s:name)
    endfor
    call add(s:out, join(s:names, ' '))
  endfor
endfor
call writefile(s:out, g:out)
qall!
