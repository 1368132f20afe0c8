" Vim syntax file
" Language:    quenfold script (text macro processor)
" Filenames:   *.qf
" Install:     copy syntax/, ftdetect/, ftplugin/ and compiler/ into ~/.vim/
"              (or a package's start/ directory)
"
" Lines are coloured as quenfold reads them: a final backslash joins a line to
" the next, so every line-long item below skips over it.

if exists("b:current_syntax")
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

" A joined line can only be read from its first line on.
syn sync fromstart

" ---- What the line reader makes of a line, wherever it stands.
" A backslash pair that is no escape is plain text; the thirteen escapes and
" \n are escapes; a backslash at the end joins the next line.
syn match quenfoldBackslash   transparent contains=NONE "\\."
syn match quenfoldEscape      +\\[!"#$%&'(),@|~n]+
syn match quenfoldContinue    "\\$"
" '#' begins a comment anywhere, between quotes too; a joining backslash ends it.
syn match quenfoldComment     "#\%([^\\]\|\\.\)*" contains=quenfoldTodo
syn keyword quenfoldTodo      contained TODO FIXME XXX NOTE
syn cluster quenfoldReader    contains=quenfoldBackslash,quenfoldEscape,quenfoldContinue,quenfoldComment

" ---- References.
" The inside of a reference: nested parentheses, references, quotes.
syn cluster quenfoldInside    contains=@quenfoldReader,quenfoldGroup,@quenfoldRefs,quenfoldInString
syn region quenfoldGroup      contained transparent start="(" end=")" end="$" skip="\\.\|\\$" contains=@quenfoldInside
" Quotes inside a reference end with the reference; parentheses in them still count.
syn region quenfoldInString   contained start=+"+ end=+"+ end=+\ze)+ end=+$+ skip=+\\.\|\\$+ contains=@quenfoldReader,quenfoldInStrGroupD
syn region quenfoldInString   contained start=+'+ end=+'+ end=+\ze)+ end=+$+ skip=+\\.\|\\$+ contains=@quenfoldReader,quenfoldInStrGroupS
syn region quenfoldInStrGroupD contained transparent start="(" end=")" end=+\ze"+ end="$" skip="\\.\|\\$" contains=@quenfoldReader,quenfoldInStrGroupD
syn region quenfoldInStrGroupS contained transparent start="(" end=")" end=+\ze'+ end="$" skip="\\.\|\\$" contains=@quenfoldReader,quenfoldInStrGroupS

syn match  quenfoldRefShort   contained "\$[^(\\]"
syn match  quenfoldRefShort   contained "\$\ze\\"
syn match  quenfoldParamShort contained "\$\d"
" '$(' takes the character after it, a parenthesis too.
syn region quenfoldRef        contained matchgroup=quenfoldRef start="\$([()]\=" end=")" end="$" skip="\\.\|\\$" contains=@quenfoldInside,quenfoldPredefined
syn match  quenfoldPredefined contained "\%(\$(\)\@2<=__\%(PID\|DATE\|TIME\|USER\|LINE\|FILE\|OFILE\|INCLUDE\|V_MAJOR\|V_MINOR\|UNIX\|OS\)__\ze[:)]"
syn region quenfoldParam      contained matchgroup=quenfoldParam start="\$(\ze\d" end=")" end="$" skip="\\.\|\\$" contains=@quenfoldInside
" The special forms, with the operators and numbers of expressions and sequences.
syn region quenfoldSpecial    contained matchgroup=quenfoldSpecial start="\$(=:" end=")" end="$" skip="\\.\|\\$" contains=@quenfoldArith
syn region quenfoldSpecial    contained matchgroup=quenfoldSpecial start="\$(%:" end=")" end="$" skip="\\.\|\\$" contains=@quenfoldSequence
syn region quenfoldSpecial    contained matchgroup=quenfoldSpecial start="\$(?:" end=")" end="$" skip="\\.\|\\$" contains=@quenfoldInside,quenfoldChoice1
syn region quenfoldSpecial    contained matchgroup=quenfoldSpecial start="\$(@:" end=")" end="$" skip="\\.\|\\$" contains=@quenfoldInside
syn region quenfoldArithGroup contained transparent start="(" end=")" end="$" skip="\\.\|\\$" contains=@quenfoldArith
syn region quenfoldSeqGroup   contained transparent start="(" end=")" end="$" skip="\\.\|\\$" contains=@quenfoldSequence
syn match  quenfoldOperator   contained "<=\|>=\|!=\|[|&=<>+*/%-]"
syn match  quenfoldNumber     contained "-\%(0[xX]\x\+\|\d\+\)\|\%(\w\)\@1<!\%(0[xX]\x\+\|\d\+\)"
syn match  quenfoldRange      contained "-"
syn match  quenfoldSeqNumber  contained "\%(\w\)\@1<!\%(0[xX]\x\+\|\d\+\)"
syn cluster quenfoldArith     contains=@quenfoldReader,quenfoldArithGroup,@quenfoldRefs,quenfoldInString,quenfoldOperator,quenfoldNumber
syn cluster quenfoldSequence  contains=@quenfoldReader,quenfoldSeqGroup,@quenfoldRefs,quenfoldInString,quenfoldRange,quenfoldSeqNumber
" Only the first two colons of a choice part its test and branches.
syn region quenfoldChoice1    contained transparent matchgroup=quenfoldChoiceColon start=":" end="\ze)" end="$" skip="\\.\|\\$" contains=@quenfoldInside,quenfoldChoice2
syn region quenfoldChoice2    contained transparent matchgroup=quenfoldChoiceColon start=":" end="\ze)" end="$" skip="\\.\|\\$" contains=@quenfoldInside
" '$' alone, '$$' and the one-character special forms end a run with an error.
syn match  quenfoldBadRef     contained "\$\%([$@=%?]\|\%([ \t]*\%(#\|$\)\)\@=\)"
syn cluster quenfoldRefs      contains=quenfoldRefShort,quenfoldParamShort,quenfoldRef,quenfoldParam,quenfoldSpecial,quenfoldBadRef

" ---- Text that is expanded: references and quotes.
" Quotes protect text from expansion up to the same quote character, or to
" the end of the line when it never comes.
syn region quenfoldString     contained start=+"+ end=+"+ end=+$+ skip=+\\.\|\\$+ contains=@quenfoldReader
syn region quenfoldString     contained start=+'+ end=+'+ end=+$+ skip=+\\.\|\\$+ contains=@quenfoldReader
syn cluster quenfoldText      contains=@quenfoldReader,@quenfoldRefs,quenfoldString

" ---- Lines. An ordinary line, from its first character or its leading '!' or
" '!!', which the line does not write.
syn region quenfoldTextLine   start="^\s*\zs\%([^ \t#\\!]\|\\.\)\@=" end="$" skip="\\.\|\\$" contains=@quenfoldText
syn region quenfoldTextLine   matchgroup=quenfoldBang start="^\s*\zs!!\=" end="$" skip="\\.\|\\$" contains=@quenfoldText

" Directive lines: '@' (or '!@') and a word, in any case. A word that is no
" directive ends a run with "Unknown directive"; the known words are defined
" after it so that they win.
syn region quenfoldDirectiveLine matchgroup=quenfoldUnknownDirective start="^\s*\zs!\=@\%([^ \t#\\]\|\\.\)*" end="$" skip="\\.\|\\$" contains=@quenfoldText
syn case ignore
syn region quenfoldDirectiveLine matchgroup=quenfoldDirective start="^\s*\zs!\=@\%(define\|default\|redefine\|extend\|undef\|getenv\|readline\)\ze\%(\s\|#\|\\\=$\)" end="$" skip="\\.\|\\$" contains=quenfoldRawName,@quenfoldText
syn region quenfoldDirectiveLine matchgroup=quenfoldDirective start="^\s*\zs!\=@clear\ze\%(\s\|#\|\\\=$\)" end="$" skip="\\.\|\\$" contains=quenfoldName,@quenfoldText
syn region quenfoldDirectiveLine matchgroup=quenfoldCondition start="^\s*\zs!\=@\%(ifdef\|ifndef\|elifdef\|elifndef\)\ze\%(\s\|#\|\\\=$\)" end="$" skip="\\.\|\\$" contains=quenfoldName,@quenfoldText
syn region quenfoldDirectiveLine matchgroup=quenfoldCondition start="^\s*\zs!\=@else\ze\%(\s\|#\|\\\=$\)" end="$" skip="\\.\|\\$" contains=@quenfoldText
" @ENDIF ignores what follows it: nothing there is expanded.
syn region quenfoldDirectiveLine matchgroup=quenfoldCondition start="^\s*\zs!\=@endif\ze\%(\s\|#\|\\\=$\)" end="$" skip="\\.\|\\$" contains=@quenfoldReader
syn region quenfoldDirectiveLine matchgroup=quenfoldLoop start="^\s*\zs!\=@for\ze\%(\s\|#\|\\\=$\)" end="$" skip="\\.\|\\$" contains=quenfoldName,@quenfoldText
syn region quenfoldDirectiveLine matchgroup=quenfoldLoop start="^\s*\zs!\=@end\ze\%(\s\|#\|\\\=$\)" end="$" skip="\\.\|\\$" contains=@quenfoldText
syn region quenfoldDirectiveLine matchgroup=quenfoldInclude start="^\s*\zs!\=@\%(include\|return\)\ze\%(\s\|#\|\\\=$\)" end="$" skip="\\.\|\\$" contains=@quenfoldText
syn region quenfoldDirectiveLine matchgroup=quenfoldMessage start="^\s*\zs!\=@\%(print\|error\|quote\|show\)\ze\%(\s\|#\|\\\=$\)" end="$" skip="\\.\|\\$" contains=@quenfoldText
syn case match
" The macro name that a directive defines (taken as written) or tests (taken
" from the expanded argument, where a reference may stand for it): the word
" after the directive word, which is not on a line joined to the one before.
syn match quenfoldRawName     contained "\%(\\\n\s*!\=@\S\+\s\+\)\@<!\%(^\s*!\=@\S\+\s\+\)\@<=\%([^ \t#\\]\|\\.\)\+"
syn match quenfoldName        contained "\%(\\\n\s*!\=@\S\+\s\+\)\@<!\%(^\s*!\=@\S\+\s\+\)\@<=[^ \t#\\$\"']\+"

hi def link quenfoldComment          Comment
hi def link quenfoldTodo             Todo
hi def link quenfoldEscape           SpecialChar
hi def link quenfoldContinue         Special
hi def link quenfoldString           String
hi def link quenfoldInString         String
hi def link quenfoldRefShort         Identifier
hi def link quenfoldRef              Identifier
hi def link quenfoldParamShort       Type
hi def link quenfoldParam            Type
hi def link quenfoldPredefined       Constant
hi def link quenfoldSpecial          Function
hi def link quenfoldOperator         Operator
hi def link quenfoldRange            Operator
hi def link quenfoldChoiceColon      Operator
hi def link quenfoldNumber           Number
hi def link quenfoldSeqNumber        Number
hi def link quenfoldBadRef           Error
hi def link quenfoldBang             SpecialChar
hi def link quenfoldDirective        PreProc
hi def link quenfoldCondition        PreCondit
hi def link quenfoldLoop             Repeat
hi def link quenfoldInclude          Include
hi def link quenfoldMessage          Statement
hi def link quenfoldUnknownDirective Error
hi def link quenfoldRawName          Function
hi def link quenfoldName             Function

let b:current_syntax = "quenfold"

let &cpo = s:cpo_save
unlet s:cpo_save
