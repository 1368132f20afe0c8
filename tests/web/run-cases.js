#!/usr/bin/env node
// Runs the end-to-end case tables of the native tests through the WebAssembly
// module in Node, so that the two builds cannot drift apart.
//   node run-cases.js CASES.json MODULE.js
// CASES.json is what e2e_cases_json prints; MODULE.js the Node flavour of the
// module (quenfold-node.js), or the name of an installed package (quenfold),
// found from the working directory as a project that depends on it finds it.
// Prints each failure and the counts.
'use strict';

const fs = require('fs');
const path = require('path');
const { fullMatch } = require('./posix-regex');

// Cases the web build cannot run as the native program does, and why
// ("Group.name": "reason"). None so far: the tables hold no TCP input and no
// file outside the case's own, and the module is given the same environment.
// A case whose standard input is a file of its directory gets that file's
// bytes as its standard input, the way a page hands input over.
const SKIPS = {
};

// The case files hold one byte per character.
const bytes = (text) => Uint8Array.from(text, (c) => c.charCodeAt(0));
const latin1 = (data) => Buffer.from(data).toString('latin1');

function request(c) {
  const env = {};
  for (const [name, value] of c.env) {
    if (name in env) throw new Error('variable set twice: ' + name);
    env[name] = bytes(value);
  }
  const files = {};
  for (const [name, data] of c.files) files[name] = bytes(data);
  // Standard input from a file of the work directory comes as its bytes.
  let stdin = bytes(c.stdin);
  if (c.stdin_file) stdin = files[c.stdin_file];
  return { args: c.args.map(bytes), env, files, dirs: c.dirs, stdin };
}

function show(text) {
  const shown = JSON.stringify(text.length > 2000 ? text.slice(0, 2000) + '...' : text);
  return shown.length > 2100 ? shown.slice(0, 2100) + '...' : shown;
}

async function main() {
  const [casesFile, moduleFile] = process.argv.slice(2);
  if (!casesFile || !moduleFile) {
    console.error('usage: run-cases.js CASES.json MODULE.js');
    process.exit(2);
  }
  const cases = JSON.parse(fs.readFileSync(casesFile, 'latin1')).cases;
  const target = /\.c?js$/.test(moduleFile) ? path.resolve(moduleFile)
    : require.resolve(moduleFile, { paths: [process.cwd()] });
  const quenfold = await require(target).load();
  let passed = 0;
  let failed = 0;
  const skipped = {};
  const started = Date.now();
  for (const c of cases) {
    const id = c.group + '.' + c.name;
    if (SKIPS[id]) {
      (skipped[SKIPS[id]] = skipped[SKIPS[id]] || []).push(id);
      continue;
    }
    const problems = [];
    let result;
    try {
      result = quenfold.run(request(c));
    } catch (e) {
      problems.push('the run threw: ' + (e && e.stack || e));
    }
    if (result) {
      const out = latin1(result.outBytes);
      const err = latin1(result.errBytes);
      const outOk = c.out_regex ? fullMatch(out, c.out) : out === c.out;
      const errOk = c.err_regex ? fullMatch(err, c.err) : err === c.err;
      if (!outOk) problems.push('stdout ' + show(out) + '\n    expected ' + show(c.out));
      if (!errOk) problems.push('stderr ' + show(err) + '\n    expected ' + show(c.err));
      if (result.status !== c.status) problems.push('status ' + result.status + ', expected ' + c.status);
    }
    if (problems.length === 0) {
      passed++;
    } else {
      failed++;
      console.log('FAIL ' + id + '\n  ' + problems.join('\n  '));
    }
  }
  const reasons = Object.keys(skipped);
  const skipCount = reasons.reduce((n, reason) => n + skipped[reason].length, 0);
  for (const reason of reasons) {
    console.log('skipped (' + reason + '): ' + skipped[reason].join(', '));
  }
  console.log('web cases in ' + ((Date.now() - started) / 1000).toFixed(1) + ' s');
  console.log(`web cases: ${passed} passed, ${failed} failed, ${skipCount} skipped`);
  process.exit(failed === 0 ? 0 : 1);
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
