" Checks the syntax groups Vim gives the constructs of vorn models. Run by
" check_vim.sh with the constructs (constructs.pl) in g:constructs, the
" models that may hold mistakes in g:unparsed, and the report in g:report.

let s:groups = {
      \ 'comment': 'vornComment', 'decl-keyword': 'vornDeclKeyword', 'decl-name': 'vornDeclName',
      \ 'key-star': 'vornKeyStar', 'key-name': 'vornKeyPosition', 'position': 'vornPosition',
      \ 'rule-consistent': 'vornConsistentMark', 'rule-transfer': 'vornTransferMark', 'query': 'vornQueryMark',
      \ 'states-begin': 'vornStatesDelimiter', 'states-end': 'vornStatesDelimiter',
      \ 'conversion-begin': 'vornConversionDelimiter', 'conversion-end': 'vornConversionDelimiter',
      \ 'know': 'vornKnowKeyword', 'event-name': 'vornEventName', 'state-name': 'vornStateName',
      \ 'function-name': 'vornFunctionName', 'nonce': 'vornNonce', 'constant': 'vornConstant',
      \ 'configuration': 'vornConfiguration', 'variable': 'vornVariable', 'flag': 'vornFlag',
      \ 'boolean': 'vornBoolean'}

" Positions in models that do not parse: the mistake shows as an error.
let s:mistakes = [
      \ ['tests/e2e/docs/err_syntax_keyword.vorn', 2, 11, 'vornReserved'],
      \ ['tests/e2e/docs/err_syntax_number.vorn', 2, 16, 'vornError'],
      \ ['tests/e2e/docs/err_unidentified.vorn', 3, 5, 'vornError']]

let s:failures = []
let s:current = ''

function! s:Open(file) abort
  if a:file ==# s:current
    return
  endif
  execute 'silent edit! ++bin' fnameescape(a:file)
  let s:current = a:file
  if &filetype !=# 'vorn'
    call add(s:failures, a:file . ': filetype is "' . &filetype . '", not vorn')
  endif
endfunction

" The names of the syntax items at a place: the item itself (for a region's
" start or end, its matchgroup) and the items it lies in.
function! s:Names(line, col) abort
  let names = map(synstack(a:line, a:col), 'synIDattr(v:val, "name")')
  call add(names, synIDattr(synID(a:line, a:col, 0), 'name'))
  return names
endfunction

function! s:Expect(file, line, col, group, what) abort
  if synIDattr(synID(a:line, a:col, 0), 'name') ==# a:group
    return
  endif
  let names = s:Names(a:line, a:col)
  if index(names, a:group) < 0
    call add(s:failures, printf('%s:%d:%d: %s should be %s, is %s', a:file, a:line, a:col, a:what, a:group,
          \ empty(names) ? 'nothing' : join(names, ' ')))
  endif
endfunction

let s:files = []
let s:checked = 0
for s:row in readfile(g:constructs)
  let [s:file, s:line, s:col, s:length, s:what] = split(s:row, "\t", 1)
  if index(s:files, s:file) < 0
    call add(s:files, s:file)
  endif
  call s:Open(s:file)
  let s:group = get(s:groups, s:what, '')
  if s:group ==# ''
    call add(s:failures, s:file . ': unknown construct ' . s:what)
    continue
  endif
  let s:first = str2nr(s:col)
  let s:last = s:first + max([str2nr(s:length), 1]) - 1
  for s:at in uniq([s:first, s:last])
    call s:Expect(s:file, str2nr(s:line), s:at, s:group, s:what)
  endfor
  let s:checked += 1
endfor

" A model that parses shows no error anywhere (only the error groups link to Error).
let s:error = hlID('Error')
for s:file in s:files
  if index(g:unparsed, s:file) >= 0
    continue
  endif
  call s:Open(s:file)
  for s:line in range(1, line('$'))
    for s:col in range(1, len(getline(s:line)))
      if synIDtrans(synID(s:line, s:col, 1)) == s:error
        call add(s:failures, printf('%s:%d:%d: marked %s', s:file, s:line, s:col,
              \ synIDattr(synID(s:line, s:col, 0), 'name')))
      endif
    endfor
  endfor
endfor

for [s:file, s:line, s:col, s:group] in s:mistakes
  call s:Open(s:file)
  call s:Expect(s:file, s:line, s:col, s:group, 'the mistake')
endfor

let s:report = s:failures[:39]
if len(s:failures) > 40
  call add(s:report, '... and ' . (len(s:failures) - 40) . ' more')
endif
call add(s:report, printf('Vim syntax: %d constructs in %d models, %d mismatches', s:checked, len(s:files), len(s:failures)))
call writefile(s:report, g:report)
execute empty(s:failures) ? 'qall!' : 'cquit!'
