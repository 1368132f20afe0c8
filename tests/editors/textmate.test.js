// The TextMate grammar against the table of highlighting cases, tokenized by
// vscode-textmate and vscode-oniguruma.
'use strict';

const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const table = require('./cases');
const tm = require('./textmate');

test('the TextMate grammar colours every case of the table as the table says', async () => {
  const grammar = await tm.loadGrammar();
  const bad = table.mismatches(table.load(), (c) =>
    tm.tokenize(grammar, c.lines.map((l) => l.text)).map((tokens) =>
      tokens.map((t) => table.LETTER[t.class].repeat(t.text.length)).join('')));
  assert.deepEqual(bad, [], bad.join('\n'));
});

test('the grammar names its language and files, and every scope it gives is one a theme colours', () => {
  const grammar = JSON.parse(fs.readFileSync(tm.GRAMMAR, 'utf8'));
  assert.equal(grammar.scopeName, 'source.quenfold');
  assert.deepEqual(grammar.fileTypes, ['qf']);
  const names = new Set();
  (function walk(node) {
    if (Array.isArray(node)) node.forEach(walk);
    else if (node && typeof node === 'object') {
      if (typeof node.name === 'string') node.name.split(' ').forEach((n) => names.add(n));
      Object.values(node).forEach(walk);
    }
  })(grammar.repository);
  for (const name of names) {
    assert.match(name, /\.quenfold$/, name);
    if (!name.startsWith('meta.')) assert.notEqual(tm.classOf([name]), 'plain', name + ' maps to no class');
  }
});
