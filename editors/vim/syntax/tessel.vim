" Vim syntax file
" Language:   tessel scripts (*.tsl)
" Categories: statement keywords, numeric and string functions, message names
"             after WINMSG, labels after LABEL and GOTO, function names after
"             FUNC and in calls, comments, strings, numbers and operators.

if exists('b:current_syntax')
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

" Keywords are case-insensitive; names are letters, digits and underscores.
syn case ignore
setlocal iskeyword=a-z,A-Z,48-57,_

" Any other byte above 126, or a control byte but tab and carriage return, is
" rejected by the tokenizer outside strings and comments.
syn match   tesselBadByte     "[^\t\r\x20-\x7e]"

syn match   tesselOperator    "[-+*/%^=<>!&|]"
syn match   tesselNumber      "\<\d[0-9.]*"
syn match   tesselCall        "\<\h\w*\ze\s*("

syn keyword tesselDeclare     VAR STR PTR
syn keyword tesselConditional IF ELSE ENDIF
syn keyword tesselRepeat      WHILE WEND FOR TO STEP NEXT
syn keyword tesselBlock       ENDFN ENDWM
syn keyword tesselStatement   PRINT WCOLOR FCOLOR BCOLOR PSET CIRCLE RECT LINE SWAP
syn keyword tesselStatement   MOUSEX MOUSEY HWPARAM HLPARAM GETTICK LOADIMG SHOWIMG
syn keyword tesselStatement   SHOWIMGT TIMERON TIMEROFF PLOT DRAW SETFONT INPUTBOX
syn keyword tesselStatement   SETTEXT GETTEXT SETFOCUS MODE
syn keyword tesselNumFunction RND SIN COS TAN RAND ABS ATAN SQR LOG ROUND INT FRAC VAL LEN
syn keyword tesselStrFunction STRS CHRS LSTR RSTR MSTR

" LABEL name and GOTO name; FUNC name(); WINMSG message-name.
syn keyword tesselJump        LABEL GOTO nextgroup=tesselLabelName skipwhite
syn match   tesselLabelName   "\h\w*" contained
syn keyword tesselBlock       FUNC nextgroup=tesselFuncName skipwhite
syn match   tesselFuncName    "\h\w*" contained
syn keyword tesselBlock       WINMSG nextgroup=tesselMessage,tesselBadMessage skipwhite
syn match   tesselBadMessage  "\h\w*" contained
syn keyword tesselMessage     WMMOUSEMOVE WMLBUTTONDOWN WMRBUTTONDOWN WMKEYDOWN WMKEYUP contained
syn keyword tesselMessage     WMTIMER WMCOMMAND contained

" Strings have no escapes and end at the line end; one left open is an error.
" Defined after the rest, so a quote or an apostrophe starts them first.
syn match   tesselString      +"[^"]*"+
syn match   tesselOpenString  +"[^"]*$+
syn match   tesselComment     "'.*$" contains=@Spell

hi def link tesselBadByte     Error
hi def link tesselOperator    Operator
hi def link tesselNumber      Number
hi def link tesselCall        Function
hi def link tesselDeclare     Type
hi def link tesselConditional Conditional
hi def link tesselRepeat      Repeat
hi def link tesselBlock       Keyword
hi def link tesselStatement   Statement
hi def link tesselNumFunction Function
hi def link tesselStrFunction Function
hi def link tesselJump        Statement
hi def link tesselLabelName   Label
hi def link tesselFuncName    Function
hi def link tesselMessage     Constant
hi def link tesselBadMessage  Error
hi def link tesselString      String
hi def link tesselOpenString  Error
hi def link tesselComment     Comment

let b:current_syntax = 'tessel'

let &cpo = s:cpo_save
unlet s:cpo_save
