// Vim's syntax for quenfold (contrib/vim) in headless Vim: the syntax group of
// every byte of some scripts, from synIDattr(synID(line, col, 1), "name").
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');

const RUNTIME = path.join(__dirname, '../../contrib/vim');

// Headless Vim with no user setup and only contrib/vim added to its runtime path.
function vim(args, options = {}) {
  return execFileSync('vim', ['-Nu', 'NONE', '-i', 'NONE', '-es', '--cmd', 'set runtimepath^=' + RUNTIME.replace(/([ ,\\])/g, '\\$1'), ...args],
    { encoding: 'utf8', timeout: 60000, ...options });
}

// For each script (a list of lines), the group names of its bytes: one list per line.
function groups(scripts) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quenfold-vim-'));
  try {
    const files = scripts.map((lines, i) => {
      const file = path.join(dir, 'case' + i + '.qf');
      fs.writeFileSync(file, lines.join('\n') + '\n');
      return file;
    });
    const out = path.join(dir, 'groups.txt');
    vim(['--cmd', 'let g:files=' + JSON.stringify(files), '--cmd', 'let g:out=' + JSON.stringify(out),
      '-S', path.join(__dirname, 'vim-groups.vim')]);
    const result = [];
    for (const line of fs.readFileSync(out, 'utf8').split('\n').slice(0, -1)) {
      if (line.startsWith('FILETYPE ')) throw new Error('Vim did not take a .qf file for quenfold: ' + line);
      if (line.startsWith('FILE ')) result.push([]);
      else result[result.length - 1].push(line === '' ? [] : line.split(' '));
    }
    return result;
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

module.exports = { RUNTIME, vim, groups };
