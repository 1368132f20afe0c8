// Reads tests/editors/highlight-cases.txt, the one table of highlighting cases
// that every highlighter follows, and compares a highlighter's classes with it.
'use strict';

const fs = require('fs');
const path = require('path');

const FILE = path.join(__dirname, 'highlight-cases.txt');

// Class letters of the table and the names the highlighters use for them.
const CLASSES = {
  D: 'directive', C: 'condition', L: 'loop', N: 'name', R: 'reference', P: 'parameter',
  S: 'special', O: 'operator', 9: 'number', V: 'predefined', E: 'escape', '#': 'comment',
  Q: 'string', '\\': 'continuation', X: 'invalid', '.': 'plain',
};
const LETTER = Object.fromEntries(Object.entries(CLASSES).map(([letter, name]) => [name, letter]));

// [{title, lines: [{text, want}]}], want being the row of class letters.
function load(file = FILE) {
  const cases = [];
  let current = null;
  let pending = null;
  fs.readFileSync(file, 'utf8').split('\n').forEach((line, index) => {
    const where = path.basename(file) + ':' + (index + 1);
    if (line.startsWith('case ')) {
      current = { title: line.slice(5), lines: [] };
      cases.push(current);
    } else if (line.startsWith('> ')) {
      if (!current || pending !== null) throw new Error(where + ': a script line must follow a case or a class row');
      pending = line.slice(2);
    } else if (line.startsWith('= ')) {
      const want = line.slice(2);
      if (pending === null) throw new Error(where + ': a class row without its script line');
      if (want.length !== pending.length) throw new Error(where + ': the class row is not as long as its line');
      for (const c of want) if (!(c in CLASSES)) throw new Error(where + ': unknown class letter ' + c);
      current.lines.push({ text: pending, want });
      pending = null;
    } else if (line.trim() !== '' && !line.startsWith('#')) {
      throw new Error(where + ': not part of a case: ' + line);
    } else {
      current = line.trim() === '' ? null : current;
    }
  });
  if (pending !== null) throw new Error(path.basename(file) + ': the last script line has no class row');
  return cases;
}

// The text of a case: its lines joined as one script.
function script(c) {
  return c.lines.map((l) => l.text).join('\n') + '\n';
}

// Every line of every case whose classes differ from the table, as readable
// text: the line, the row that the table wants and the row that came out.
// rows(case) gives one row of class letters for each line of the case.
function mismatches(cases, rows) {
  const out = [];
  for (const c of cases) {
    const got = rows(c);
    c.lines.forEach((line, i) => {
      if (got[i] !== line.want) {
        out.push('case ' + c.title + '\n  line ' + JSON.stringify(line.text) +
          '\n  want ' + JSON.stringify(line.want) + '\n  got  ' + JSON.stringify(got[i]));
      }
    });
  }
  return out;
}

module.exports = { CLASSES, LETTER, load, script, mismatches };
