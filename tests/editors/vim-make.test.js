// Vim's :make with contrib/vim/compiler/quenfold.vim, in headless Vim: the
// quickfix list holds the file, line and message of the error a run ends
// with, and the filetype plugin sets comments and the block pairs for %.
// The quenfold binary comes from $QUENFOLD (tools/test-editors builds it).
'use strict';

const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { vim } = require('./vim');

const QUENFOLD = process.env.QUENFOLD;

// Runs Vim in dir on file with the Ex commands given, after which g:result
// (a JSON text) is written out and returned, parsed.
function inVim(dir, file, commands) {
  const out = path.join(dir, 'result.json');
  vim(['-c', 'filetype plugin on', '-c', 'edit ' + file, ...commands.flatMap((c) => ['-c', c]),
    '-c', 'call writefile([json_encode(g:result)], ' + JSON.stringify(out) + ')', '-c', 'qall!'],
  { cwd: dir, env: { ...process.env, PATH: path.dirname(QUENFOLD) + ':' + process.env.PATH } });
  return JSON.parse(fs.readFileSync(out, 'utf8'));
}

function scripts(files) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quenfold-make-'));
  for (const [name, text] of Object.entries(files)) fs.writeFileSync(path.join(dir, name), text);
  return dir;
}

const QF = 'let g:result = map(getqflist(), {_, e -> {"file": e.bufnr ? fnamemodify(bufname(e.bufnr), ":p") : "", "line": e.lnum, "text": e.text, "valid": e.valid}})';

test(':make lists the error of an included file at its line', { skip: !QUENFOLD && 'QUENFOLD is not set' }, () => {
  const dir = scripts({
    'main.qf': '@DEFINE greeting Hello\n$(greeting), world\n@INCLUDE ./part.qf\nnever read\n',
    'part.qf': 'first line\n# a comment\n$(nosuch) on the third line\n',
  });
  try {
    assert.deepEqual(inVim(dir, 'main.qf', ['silent make', QF]),
      [{ file: path.join(dir, 'part.qf'), line: 3, text: 'Macro nosuch not defined', valid: 1 }]);
    // Start-up errors name no place; options reach the program.
    assert.deepEqual(inVim(dir, 'main.qf', ['silent make -Z', QF]),
      [{ file: '', line: 0, text: 'Unknown option', valid: 1 }]);
    assert.deepEqual(inVim(dir, 'main.qf', ['silent make -D greeting=x', QF]),
      [{ file: path.join(dir, 'main.qf'), line: 1, text: 'Macro greeting already defined', valid: 1 }]);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
});

test('the filetype plugin sets comments, the compiler and the block pairs', () => {
  const dir = scripts({ 'blocks.qf': '@IFDEF a\n  @for i 1 2\n  @END\n@else\n@ENDIF\n' });
  try {
    const got = inVim(dir, 'blocks.qf', [
      'let g:result = {"cms": &commentstring, "com": &comments, "compiler": b:current_compiler, "jumps": []}',
      'packadd matchit',
      // From each block line, where % goes.
      'for l in [1, 2, 3, 4, 5] | call cursor(l, 1) | execute "normal %" | call add(g:result.jumps, line(".")) | endfor',
    ]);
    assert.deepEqual(got, { cms: '# %s', com: ':#', compiler: 'quenfold', jumps: [4, 3, 2, 5, 1] });
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
