" Vim syntax file
" Language: vorn protocol models (*.vorn)
" Declarations ($), consistent rules (!), transfer rules (?) and access
" queries (%), each up to its ";"; inside a rule the states between "-[" and
" "]->", the conversions "<from, to>", knowledge k(...), events, and the
" terms: variables, constants name[], nonces [n], configurations |c| and
" function terms.

if exists("b:current_syntax")
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

syn case match

syn match vornComment "//.*$" contains=@Spell

" Anything outside the token table, and tokens the grammar has no place for.
syn match vornError "[^ \t(),;\[\]<>|*$!?%A-Za-z0-9/-]\|/\(/\)\@!\|-\[\@!" contained
syn match vornError "\d\+\|<-\|:=\|==\|!=\|:>\|<:\|>=\|<=\|#\|:" contained
syn match vornTopError "[^ \t$!?%/]\|/\(/\)\@!"

" Terms, innermost first: the last item defined wins where several match.
syn match vornVariable "\<\a[A-Za-z0-9]*\>" contained
syn region vornFunction matchgroup=vornFunctionName start="\<\a[A-Za-z0-9]*\s*(" end=")" contained contains=@vornTerms
syn match vornConstant "\<\a[A-Za-z0-9]*\s*\[\s*\]" contained
syn match vornNonce "\[\s*\a[A-Za-z0-9]*\s*\]" contained
syn match vornConfiguration "|\s*\a[A-Za-z0-9]*\s*|" contained
syn match vornReserved "\<\(k\|true\|false\)\>" contained
syn cluster vornTerms contains=vornComment,vornVariable,vornFunction,vornConstant,vornNonce,vornConfiguration,vornReserved,vornError

" Facts.
syn region vornEvent matchgroup=vornEventName start="\<\a[A-Za-z0-9]*\s*(" end=")" contained contains=@vornTerms
syn region vornKnow matchgroup=vornKnowKeyword start="\<k\s*(" end=")" contained contains=@vornTerms
syn region vornState matchgroup=vornStateName start="\<\a[A-Za-z0-9]*\s*(" end=")" contained contains=@vornTerms

" The states of a rule and the conversions of a transfer rule.
syn region vornStates matchgroup=vornStatesDelimiter start="-\[" end="\]->" contained contains=vornState,vornComment,vornError
syn region vornConversion matchgroup=vornConversionDelimiter start="<[-:=]\@!" end=">" contained contains=vornState,vornComment,vornError

" Items.
syn match vornPosition "\<\a[A-Za-z0-9]*\>" contained
syn match vornDeclName "\<\a[A-Za-z0-9]*\ze\s*(" contained
syn match vornKeyPosition "\*\s*\a[A-Za-z0-9]*" contained contains=vornKeyStar
syn match vornKeyStar "\*" contained
syn region vornDeclaration matchgroup=vornDeclKeyword start="\$" end=";" contains=vornComment,vornPosition,vornDeclName,vornKeyPosition,vornError
syn region vornConsistentRule matchgroup=vornConsistentMark start="!" end=";" contains=vornComment,vornStates,vornEvent,vornKnow,vornError
syn region vornTransferRule matchgroup=vornTransferMark start="?" end=";" contains=vornComment,vornStates,vornConversion,vornEvent,vornKnow,vornError
syn match vornFlag "\*" contained
syn keyword vornBoolean true false contained
syn region vornQuery matchgroup=vornQueryMark start="%" end=";" contains=vornComment,vornState,vornFlag,vornBoolean,vornError

syn sync minlines=50

hi def link vornComment Comment
hi def link vornError Error
hi def link vornTopError Error
hi def link vornReserved Error
hi def link vornVariable Identifier
hi def link vornFunctionName Function
hi def link vornConstant Constant
hi def link vornNonce Special
hi def link vornConfiguration PreProc
hi def link vornEventName Type
hi def link vornKnowKeyword Keyword
hi def link vornStateName Structure
hi def link vornStatesDelimiter Delimiter
hi def link vornConversionDelimiter Delimiter
hi def link vornDeclKeyword Keyword
hi def link vornDeclName Type
hi def link vornPosition Identifier
hi def link vornKeyStar Special
hi def link vornConsistentMark Statement
hi def link vornTransferMark Statement
hi def link vornQueryMark Statement
hi def link vornFlag Operator
hi def link vornBoolean Boolean

let b:current_syntax = "vorn"

let &cpo = s:cpo_save
unlet s:cpo_save
