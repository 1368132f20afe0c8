// The VS Code extension as tools/build-editors packaged it
// (build-editors/quenfold-VERSION.vsix): what the archive holds against what its
// manifests name, VS Code's rules for a manifest, the language configuration,
// and the problem matcher against error lines that quenfold ($QUENFOLD) writes.
'use strict';

const { test, before } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');
const yauzl = require('yauzl');

const repo = path.join(__dirname, '../..');
const source = JSON.parse(fs.readFileSync(path.join(repo, 'contrib/vscode/package.json'), 'utf8'));
const VSIX = path.join(repo, 'build-editors', 'quenfold-' + source.version + '.vsix');
const QUENFOLD = process.env.QUENFOLD;

// The archive's files: {name: Buffer}.
function unzip(file) {
  return new Promise((resolve, reject) => {
    const files = {};
    yauzl.open(file, { lazyEntries: true }, (error, zip) => {
      if (error) return reject(error);
      zip.on('entry', (entry) => zip.openReadStream(entry, (e, stream) => {
        if (e) return reject(e);
        const chunks = [];
        stream.on('data', (c) => chunks.push(c));
        stream.on('end', () => { files[entry.fileName] = Buffer.concat(chunks); zip.readEntry(); });
      }));
      zip.on('end', () => resolve(files));
      zip.readEntry();
    });
  });
}

let files;
let manifest;
before(async () => {
  files = await unzip(VSIX);
  manifest = JSON.parse(files['extension/package.json']);
});

const inExtension = (p) => 'extension/' + path.posix.normalize(p);
const json = (p) => JSON.parse(files[inExtension(p)]);

test('the archive holds what its manifests name, and nothing else', () => {
  const vsix = files['extension.vsixmanifest'].toString();
  for (const [, type, name] of vsix.matchAll(/<Asset Type="([^"]+)" Path="([^"]+)"/g)) {
    assert.ok(name in files, type + ' names ' + name + ', which the archive lacks');
  }
  assert.match(vsix, /<Identity [^>]*Version="3\.2\.0"[^>]*Publisher="quenfold"/);
  const named = [
    manifest.icon,
    ...manifest.contributes.languages.map((l) => l.configuration),
    ...manifest.contributes.grammars.map((g) => g.path),
    ...manifest.contributes.snippets.map((s) => s.path),
  ];
  for (const name of named) assert.ok(inExtension(name) in files, name + ' is named but not packaged');
  const packaged = Object.keys(files).filter((f) => f.startsWith('extension/')).sort();
  assert.deepEqual(packaged, ['extension/LICENSE.txt', 'extension/images/screenshot.png', 'extension/package.json',
    'extension/readme.md', ...named.map(inExtension)].sort());
  // The grammar is the project's own, as it stands in the tree.
  assert.deepEqual(json(manifest.contributes.grammars[0].path),
    JSON.parse(fs.readFileSync(path.join(repo, 'contrib/textmate/quenfold.tmLanguage.json'), 'utf8')));
  assert.match(files['extension/readme.md'].toString(), /!\[[^\]]+\]\(https:\/\/\S+\/images\/screenshot\.png\)/);
});

test('the manifest meets the rules VS Code loads extensions by', () => {
  assert.match(manifest.name, /^[a-z0-9][a-z0-9-]*$/);
  assert.match(manifest.publisher, /^[a-z0-9][a-z0-9-]*$/);
  assert.match(manifest.version, /^\d+\.\d+\.\d+$/);
  assert.match(manifest.engines.vscode, /^\^\d+\.\d+\.\d+$/);
  assert.ok(manifest.categories.includes('Programming Languages'));
  assert.ok(manifest.repository.url && manifest.license === 'MIT');
  // A declarative extension: no code, so nothing to activate.
  assert.equal(manifest.main, undefined);
  assert.equal(manifest.browser, undefined);
  assert.equal(manifest.activationEvents, undefined);
  const [language] = manifest.contributes.languages;
  assert.deepEqual([language.id, language.extensions], ['quenfold', ['.qf']]);
  const [grammar] = manifest.contributes.grammars;
  assert.equal(grammar.language, 'quenfold');
  assert.equal(json(grammar.path).scopeName, grammar.scopeName);
  for (const [name, snippet] of Object.entries(json(manifest.contributes.snippets[0].path))) {
    assert.ok(snippet.prefix.length && snippet.body.length && snippet.description, name);
  }
  const bodies = Object.values(json(manifest.contributes.snippets[0].path)).map((s) => s.body.join('\n'));
  assert.ok(bodies.some((b) => /^@IFDEF .*\n.*\n@ELSE\n.*\n@ENDIF/.test(b)));
  assert.ok(bodies.some((b) => /^@FOR .*\n.*\n@END\n/.test(b)));
});

test('the language configuration: comments, pairs, folding and indentation of blocks', () => {
  const config = json(manifest.contributes.languages[0].configuration);
  assert.equal(config.comments.lineComment, '#');
  assert.ok(config.autoClosingPairs.some((p) => p.open === '$(' && p.close === ')'));
  const start = new RegExp(config.folding.markers.start);
  const end = new RegExp(config.folding.markers.end);
  const indent = new RegExp(config.indentationRules.increaseIndentPattern);
  const dedent = new RegExp(config.indentationRules.decreaseIndentPattern);
  const lines = {
    '@IFDEF debug': [1, 0, 1, 0], '  @ifndef x # c': [1, 0, 1, 0], '!@FOR i 1 2': [1, 0, 1, 0],
    '@ELSE': [0, 0, 1, 1], '@ElifDef y': [0, 0, 1, 1], '@ENDIF': [0, 1, 0, 1], '@end': [0, 1, 0, 1],
    '@FORMAT x': [0, 0, 0, 0], '@ENDIFX': [0, 0, 0, 0], '!!@IFDEF x': [0, 0, 0, 0], 'text @IFDEF': [0, 0, 0, 0],
  };
  for (const [line, want] of Object.entries(lines)) {
    assert.deepEqual([start, end, indent, dedent].map((r) => Number(r.test(line))), want, line);
  }
});

// What VS Code makes of an output line with the problem matcher: null when the
// pattern does not match, else the problem's file, line and message.
function problem(line) {
  const [matcher] = manifest.contributes.problemMatchers;
  const m = new RegExp(matcher.pattern.regexp).exec(line);
  if (!m) return null;
  const group = (key) => m[matcher.pattern[key]];
  return { file: group('file'), line: group('line') === undefined ? undefined : Number(group('line')), message: group('message') };
}

test('the problem matcher reads the error lines that quenfold writes', { skip: !QUENFOLD && 'QUENFOLD is not set' }, () => {
  const [matcher] = manifest.contributes.problemMatchers;
  assert.equal(matcher.name, 'quenfold');
  assert.deepEqual(matcher.fileLocation, ['autoDetect', '${workspaceFolder}']);
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quenfold-matcher-'));
  const run = (args) => {
    const r = spawnSync(QUENFOLD, args, { cwd: dir, encoding: 'utf8' });
    assert.equal(r.status, 1, r.stderr);
    return r.stderr.replace(/\n$/, '');
  };
  try {
    fs.writeFileSync(path.join(dir, 'main.qf'), 'ok\n@INCLUDE ./lib/part.qf\n');
    fs.mkdirSync(path.join(dir, 'lib'));
    fs.writeFileSync(path.join(dir, 'lib/part.qf'), 'one\ntwo\n@DEFINE x $(oops\n');
    fs.writeFileSync(path.join(dir, 'bad.qf'), '\n\n@NOSUCH word\n');
    fs.writeFileSync(path.join(dir, 'expr.qf'), '$(=:1 / 0)\n');
    fs.writeFileSync(path.join(dir, 'with space.qf'), 'a\n$(nosuch)\n');
    const cases = [
      [['./bad.qf'], { file: './bad.qf', line: 3, message: "Unknown directive '@NOSUCH' (-1)" }],
      // An error in an included file names that file.
      [['-D', 'x', './main.qf'], { file: './lib/part.qf', line: 3, message: 'Macro x already defined' }],
      [[path.join(dir, 'with space.qf')], { file: path.join(dir, 'with space.qf'), line: 2, message: 'Macro nosuch not defined' }],
      [['-Z', './main.qf'], { file: undefined, line: undefined, message: 'Unknown option' }],
      [['./missing.qf'], { file: undefined, line: undefined, message: "Can't stat ./missing.qf (No such file or directory)" }],
      [['./expr.qf'], { file: undefined, line: undefined, message: 'division by zero' }],
    ];
    for (const [args, want] of cases) {
      const line = run(args);
      assert.deepEqual(problem(line), want, line);
    }
    // Output lines are not problems.
    for (const line of ['quenfold is a macro processor', 'ok', 'file x line 2: y']) assert.equal(problem(line), null, line);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
