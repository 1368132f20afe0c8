" quenfold scripts
autocmd BufRead,BufNewFile *.qf setfiletype quenfold
