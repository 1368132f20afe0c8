#!/usr/bin/env node
// Makes the playground's examples menu from the repository's examples/:
// each NAME.qf, or directory NAME of scripts, with the first session of its
// NAME.expected (the command line, its environment, the standard input a
// printf or echo pipes in, and what the session shows).
//   node gen-examples.js EXAMPLES_DIR OUTPUT.js
// OUTPUT.js sets QUENFOLD_EXAMPLES in a page, or is a CommonJS module:
//   [{name, title, main, files: [[path, text]...], options, env, stdin, shows}]
// where `main` is the script the command line names (passed as ./main),
// `options` its other words, `env` the NAME=value words before it, and
// `shows` its output and error line as the session shows them.
'use strict';

const fs = require('fs');
const path = require('path');
const words = require('./words.js');

// The sessions of an .expected file: [{command, shows}].
function sessions(text) {
  const list = [];
  for (const line of text.replace(/\n$/, '').split('\n')) {
    if (line.startsWith('$ ')) list.push({ command: line.slice(2), shows: '' });
    else if (list.length !== 0) list[list.length - 1].shows += line + '\n';
  }
  return list;
}

// What printf FORMAT ARGS... writes, for %s, %% and the escapes \n, \t, \\.
function printf(format, args) {
  const once = (rest) => {
    let out = '';
    for (let i = 0; i < format.length; i++) {
      const c = format[i];
      if (c === '\\' && i + 1 < format.length) {
        const e = format[++i];
        out += e === 'n' ? '\n' : e === 't' ? '\t' : e;
      } else if (c === '%' && format[i + 1] === '%') {
        out += '%';
        i++;
      } else if (c === '%' && format[i + 1] === 's') {
        out += rest.length ? rest.shift() : '';
        i++;
      } else {
        out += c;
      }
    }
    return out;
  };
  const rest = args.slice();
  let out = once(rest);
  while (rest.length) out += once(rest);
  return out;
}

// The standard input a producer command gives, for the forms examples use.
function producer(argv, where) {
  if (argv[0] === 'printf' && argv.length >= 2) return printf(argv[1], argv.slice(2));
  if (argv[0] === 'echo') return argv.slice(1).join(' ') + '\n';
  throw new Error(where + ': cannot feed standard input from ' + argv.join(' '));
}

// A session's command line: [PRODUCER |] [NAME=value...] quenfold WORDS...
function parseCommand(command, files, where) {
  const all = words.split(command);
  const bar = all.indexOf('|');
  const left = bar < 0 ? null : all.slice(0, bar);
  const right = bar < 0 ? all : all.slice(bar + 1);
  if (right.some((w) => /^[|;&<>]/.test(w))) throw new Error(where + ': command too complex: ' + command);
  const env = [];
  while (right.length && /^[A-Za-z_][A-Za-z0-9_]*=/.test(right[0])) env.push(right.shift());
  if (right.shift() !== 'quenfold') throw new Error(where + ': not a quenfold command: ' + command);

  // Finds the operand that names one of the example's files.
  let includeDir = '/usr/package';
  let main = null;
  const options = [];
  for (let i = 0; i < right.length; i++) {
    const word = right[i];
    if (word === '-i' || word === '-D') {
      if (word === '-i') includeDir = right[i + 1];
      options.push(word, right[++i]);
      continue;
    }
    if (word.startsWith('-i')) includeDir = word.slice(2);
    if (word.startsWith('-')) {
      options.push(word);
      continue;
    }
    const file = path.posix.normalize(/^[./]/.test(word) ? word : includeDir + '/' + word);
    if (main === null && files.some(([name]) => name === file)) main = file;
    else options.push(word);
  }
  if (main === null) throw new Error(where + ': the command names none of the example\'s scripts');
  return { main, options, env, stdin: left ? producer(left, where) : '' };
}

// The first sentence of the comment that opens a script.
function title(text) {
  const lines = text.split('\n');
  const comment = [];
  for (const line of lines) {
    if (!line.startsWith('#')) break;
    comment.push(line.replace(/^#\s*/, ''));
  }
  const sentence = /^.*?\.(?=\s|$)/.exec(comment.join(' '));
  return sentence ? sentence[0] : comment.join(' ');
}

function examples(dir) {
  const list = [];
  for (const entry of fs.readdirSync(dir).sort()) {
    const full = path.join(dir, entry);
    let name;
    let files;
    if (fs.statSync(full).isDirectory()) {
      // A directory is a script input when it has a session beside it
      // (embed/, a C program, has none).
      if (!fs.existsSync(path.join(dir, entry + '.expected'))) continue;
      name = entry;
      files = fs.readdirSync(full).sort().map((f) => [entry + '/' + f, fs.readFileSync(path.join(full, f), 'utf8')]);
    } else if (entry.endsWith('.qf')) {
      name = entry.slice(0, -3);
      files = [[entry, fs.readFileSync(full, 'utf8')]];
    } else {
      continue;
    }
    const where = path.join(dir, name + '.expected');
    const first = sessions(fs.readFileSync(where, 'utf8'))[0];
    if (!first) throw new Error(where + ': no session');
    const run = parseCommand(first.command, files, where);
    const mainText = files.find(([f]) => f === run.main)[1];
    list.push({
      name: files.length > 1 ? name + '/' : files[0][0],
      title: title(mainText),
      main: run.main,
      // The script first, then the files it uses.
      files: [files.find(([f]) => f === run.main)].concat(files.filter(([f]) => f !== run.main)),
      options: run.options.map(words.quote).join(' '),
      env: run.env.map((w) => w.replace(/=(.*)$/, (all, v) => '=' + words.quote(v))).join(' '),
      stdin: run.stdin,
      shows: first.shows,
    });
  }
  // The first script of the tour opens the menu.
  list.sort((a, b) => (b.name === 'hello.qf') - (a.name === 'hello.qf'));
  return list;
}

function main() {
  const [dir, output] = process.argv.slice(2);
  if (!dir || !output) {
    console.error('usage: gen-examples.js EXAMPLES_DIR OUTPUT.js');
    process.exit(2);
  }
  const data = JSON.stringify(examples(dir), null, 1);
  fs.writeFileSync(output,
    '// Made from examples/ by gen-examples.js: edit the examples, not this file.\n' +
    '(function (root, data) {\n' +
    "  if (typeof module === 'object' && module.exports) module.exports = data;\n" +
    '  else root.QUENFOLD_EXAMPLES = data;\n' +
    "})(typeof self !== 'undefined' ? self : this, " + data + ');\n');
}

if (require.main === module) main();
module.exports = { examples, parseCommand, printf };
