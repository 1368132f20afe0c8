// Vim's syntax for quenfold against the table of highlighting cases, in
// headless Vim (Debian's vim): the group of every byte, mapped to the classes.
'use strict';

const { test } = require('node:test');
const assert = require('node:assert/strict');
const table = require('./cases');
const vim = require('./vim');

// Every group of contrib/vim/syntax/quenfold.vim that colours text, and the
// lines that colour nothing ('-' is a byte in no group).
const GROUPS = {
  '-': 'plain', quenfoldTextLine: 'plain', quenfoldDirectiveLine: 'plain',
  quenfoldDirective: 'directive', quenfoldInclude: 'directive', quenfoldMessage: 'directive',
  quenfoldCondition: 'condition', quenfoldLoop: 'loop',
  quenfoldRawName: 'name', quenfoldName: 'name',
  quenfoldRef: 'reference', quenfoldRefShort: 'reference',
  quenfoldParam: 'parameter', quenfoldParamShort: 'parameter',
  quenfoldSpecial: 'special',
  quenfoldOperator: 'operator', quenfoldRange: 'operator', quenfoldChoiceColon: 'operator',
  quenfoldNumber: 'number', quenfoldSeqNumber: 'number',
  quenfoldPredefined: 'predefined',
  quenfoldEscape: 'escape', quenfoldBang: 'escape',
  quenfoldComment: 'comment', quenfoldTodo: 'comment',
  quenfoldString: 'string', quenfoldInString: 'string',
  quenfoldContinue: 'continuation',
  quenfoldBadRef: 'invalid', quenfoldUnknownDirective: 'invalid',
};

test('Vim colours every case of the table as the table says', () => {
  const cases = table.load();
  const found = vim.groups(cases.map((c) => c.lines.map((l) => l.text)));
  const bad = table.mismatches(cases, (c) => found[cases.indexOf(c)].map((names) => names.map((name) => {
    if (!(name in GROUPS)) throw new Error('Vim gave the group ' + name + ', which has no class');
    return table.LETTER[GROUPS[name]];
  }).join('')));
  assert.deepEqual(bad, [], bad.join('\n'));
});
