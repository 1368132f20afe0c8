// The playground's colouring (playground/highlight.js) against the table of
// highlighting cases, in Node.
'use strict';

const { test } = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');
const table = require('./cases');
const { classify, highlight } = require('../../playground/highlight.js');

test('the playground colours every case of the table as the table says', () => {
  const cases = table.load();
  const bad = table.mismatches(cases, (c) => {
    const classes = classify(table.script(c));
    let at = 0;
    return c.lines.map((line) => {
      const row = classes.slice(at, at + line.text.length).map((name) => table.LETTER[name || 'plain']).join('');
      at += line.text.length + 1;
      return row;
    });
  });
  assert.deepEqual(bad, [], bad.join('\n'));
});

test('the HTML of the colouring holds the text, escaped, in one span per run', () => {
  assert.equal(highlight('<a> & $'), '&lt;a&gt; &amp; <span class="qf-invalid">$</span>');
  assert.equal(highlight('@DEFINE x 1\n# c'),
    '<span class="qf-directive">@DEFINE</span> <span class="qf-name">x</span> 1\n' +
    '<span class="qf-comment"># c</span>');
  // A span never runs across a newline, so each line can be shown by itself.
  assert.equal(highlight('$(a\nb)'), '<span class="qf-reference">$(a</span>\nb)');
});
