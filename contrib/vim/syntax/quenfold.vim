" Vim syntax file
" Language:    quenfold script (text macro processor)
" Filenames:   *.qf
" Install:     copy syntax/ and ftdetect/ into ~/.vim/ (or a package's start/ dir)

if exists("b:current_syntax")
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

" Escapes: a backslash makes one of these thirteen characters plain text.
syn match quenfoldEscape      "\\[!\"#$%&'(),@|~]"
" \n is written as a newline; any other backslash pair stays as it is.
syn match quenfoldNewline     "\\n"
syn match quenfoldBackslash   "\\[^!\"#$%&'(),@|~n]"
" A backslash at the end of a line joins the next one.
syn match quenfoldContinue    "\\$"

" '#' begins a comment anywhere, between quotes too.
syn match quenfoldComment     "#.*$" contains=quenfoldTodo,quenfoldContinue
syn keyword quenfoldTodo      contained TODO FIXME XXX NOTE

" Quotes protect text from expansion up to the same quote character, or to
" the end of the line when it never comes.
syn region quenfoldString     start=+"+ end=+"\|$+ contains=quenfoldEscape,quenfoldNewline,quenfoldBackslash,quenfoldComment,quenfoldContinue
syn region quenfoldString     start=+'+ end=+'\|$+ contains=quenfoldEscape,quenfoldNewline,quenfoldBackslash,quenfoldComment,quenfoldContinue

" References: $x, $(name), $(name:args), $(0), $(1:default) and the special
" forms $(%:...), $(=:...), $(?:...), $(@:...). Parentheses inside a
" reference nest.
syn match  quenfoldRefShort   "\$[^(]"
syn match  quenfoldParamShort "\$\d"
syn region quenfoldRef        matchgroup=quenfoldRefDelim start="\$(" end=")" contains=@quenfoldInRef
syn region quenfoldParam      matchgroup=quenfoldParamDelim start="\$(\ze\d" end=")" contains=@quenfoldInRef
syn region quenfoldSpecial    matchgroup=quenfoldSpecialDelim start="\$([%=?@]:" end=")" contains=@quenfoldInRef,quenfoldOperator
syn region quenfoldParen      contained transparent start="(" end=")" contains=@quenfoldInRef,quenfoldOperator
syn match  quenfoldOperator   contained "[-+*/%<>=!&|]"
syn match  quenfoldArgSep     contained "[:,]"
syn cluster quenfoldInRef     contains=quenfoldRef,quenfoldParam,quenfoldSpecial,quenfoldRefShort,quenfoldParamShort,quenfoldParen,quenfoldEscape,quenfoldArgSep,quenfoldComment,quenfoldContinue

" Predefined macros.
syn match quenfoldPredefined  "\<__\(PID\|DATE\|TIME\|USER\|LINE\|FILE\|OFILE\|INCLUDE\|V_MAJOR\|V_MINOR\|UNIX\|OS\)__\>" containedin=quenfoldRef,quenfoldDirectiveArg

" A leading '!' or '!!' of a text line.
syn match quenfoldBang        "^\s*!!\="

" Directive lines: '@' (or '!@') and a word, in any case. Any word that is
" not a directive ends a run with "Unknown directive"; the known words are
" defined after it so that they win.
syn match quenfoldUnknownDirective "^\s*!\=@\S*"
syn case ignore
syn match quenfoldDirective   "^\s*!\=@\(getenv\|readline\|define\|default\|redefine\|extend\|undef\|show\|clear\)\>" nextgroup=quenfoldName skipwhite
syn match quenfoldCondition   "^\s*!\=@\(ifdef\|ifndef\|elifdef\|elifndef\)\>" nextgroup=quenfoldName skipwhite
syn match quenfoldCondition   "^\s*!\=@\(else\|endif\)\>"
syn match quenfoldLoop        "^\s*!\=@for\>" nextgroup=quenfoldName skipwhite
syn match quenfoldLoop        "^\s*!\=@end\>"
syn match quenfoldInclude     "^\s*!\=@\(include\|return\)\>"
syn match quenfoldMessage     "^\s*!\=@\(print\|error\|quote\)\>"
syn case match
" The macro name that follows a directive word.
syn match quenfoldName        contained "[^ \t#$]\+"

hi def link quenfoldComment          Comment
hi def link quenfoldTodo             Todo
hi def link quenfoldEscape           SpecialChar
hi def link quenfoldNewline          SpecialChar
hi def link quenfoldBackslash        Normal
hi def link quenfoldContinue         Special
hi def link quenfoldString           String
hi def link quenfoldRefShort         Identifier
hi def link quenfoldParamShort       Identifier
hi def link quenfoldRef              Identifier
hi def link quenfoldRefDelim         Delimiter
hi def link quenfoldParam            Identifier
hi def link quenfoldParamDelim       Delimiter
hi def link quenfoldSpecial          Number
hi def link quenfoldSpecialDelim     Special
hi def link quenfoldOperator         Operator
hi def link quenfoldArgSep           Delimiter
hi def link quenfoldPredefined       Constant
hi def link quenfoldBang             Special
hi def link quenfoldDirective        PreProc
hi def link quenfoldCondition        PreCondit
hi def link quenfoldLoop             Repeat
hi def link quenfoldInclude          Include
hi def link quenfoldMessage          Statement
hi def link quenfoldUnknownDirective Error
hi def link quenfoldName             Type

let b:current_syntax = "quenfold"

let &cpo = s:cpo_save
unlet s:cpo_save
