// The npm package as a project that installed it meets it: tools/test-bindings
// copies this file into a new project where `npm install` put the tarball,
// so 'quenfold' below is the installed package, not the build tree.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { load } from 'quenfold';
import quenfoldDefault from 'quenfold';

const require = createRequire(import.meta.url);
const here = path.dirname(fileURLToPath(import.meta.url));
const installed = path.join(here, 'node_modules', 'quenfold');

test('the package holds its files and says what it is', () => {
  const files = fs.readdirSync(installed).sort();
  assert.deepEqual(files, ['LICENSE', 'README.md', 'browser.mjs', 'index.d.ts', 'index.mjs', 'package.json',
    'quenfold-node.cjs', 'quenfold.js']);
  const pkg = JSON.parse(fs.readFileSync(path.join(installed, 'package.json'), 'utf8'));
  assert.equal(pkg.name, 'quenfold');
  assert.equal(pkg.version, '3.2.0');
  assert.equal(pkg.license, 'MIT');
  assert.equal(pkg.engines.node, '>=18');
  assert.ok(pkg.repository.url && pkg.keywords.length > 0);
  assert.equal(pkg.types, './index.d.ts');
  assert.deepEqual(Object.keys(pkg.exports['.']), ['types', 'browser', 'import', 'require']);
  // Nothing runs at install, nothing else is installed.
  assert.equal(pkg.scripts, undefined);
  assert.equal(pkg.dependencies, undefined);
  assert.match(fs.readFileSync(path.join(installed, 'README.md'), 'utf8'), /import \{ load \} from 'quenfold'/);
});

test('require and import reach the same API', async () => {
  const cjs = require('quenfold');
  assert.equal(require.resolve('quenfold'), path.join(installed, 'quenfold-node.cjs'));
  assert.equal(typeof cjs.load, 'function');
  assert.equal(load, cjs.load);
  assert.equal(quenfoldDefault.load, cjs.load);
  for (const loader of [load, cjs.load]) {
    const quenfold = await loader();
    assert.equal(quenfold.version, '3.2');
    const r = quenfold.run({
      args: ['-D', 'who=Ann', './page.qf'],
      files: { 'page.qf': 'Hello $(who)\n@INCLUDE ./parts/end.qf\n', 'parts/end.qf': '--\n' },
    });
    assert.deepEqual([r.out, r.err, r.status], ['Hello Ann\n--\n', '', 0]);
  }
});

test('a run keeps to what it is handed', async () => {
  // Nothing is fetched: the module is loaded with fetch unavailable.
  const saved = globalThis.fetch;
  globalThis.fetch = () => { throw new Error('the module fetched something'); };
  let quenfold;
  try {
    quenfold = await load();
  } finally {
    globalThis.fetch = saved;
  }
  process.env.QUENFOLD_NPM_SECRET = 'host';
  try {
    const cases = [
      [{ args: ['/etc/passwd'] }, 'quenfold: Can\'t stat /etc/passwd (No such file or directory)\n'],
      [{ args: [path.join(installed, 'README.md')] },
        'quenfold: Can\'t stat ' + path.join(installed, 'README.md') + ' (No such file or directory)\n'],
      [{ stdin: '@GETENV QUENFOLD_NPM_SECRET none\n$(QUENFOLD_NPM_SECRET)\n' }, ''],
      [{ args: ['127.0.0.1:1'] }, /^quenfold: Can't open input socket on 127\.0\.0\.1:1 \(.*\)\n$/],
    ];
    for (const [options, err] of cases) {
      const r = quenfold.run(options);
      if (err instanceof RegExp) assert.match(r.err, err); else assert.equal(r.err, err);
      if (err === '') assert.equal(r.out, 'none\n');
    }
  } finally {
    delete process.env.QUENFOLD_NPM_SECRET;
  }
});

test('bytes, environment and limits', async () => {
  const quenfold = await load();
  let r = quenfold.run({ args: [new Uint8Array([0x2d, 0x44, 0x78, 0x3d, 0xff])], stdin: new Uint8Array([0x5b, 0x24, 0x78, 0x80, 0x5d, 0x0a]) });
  assert.deepEqual([...r.outBytes], [0x5b, 0x00, 0x5d, 0x0a]);
  r = quenfold.run({ env: { V: 'mine' }, stdin: '@GETENV V\n$V\n' });
  assert.equal(r.out, 'mine\n');
  r = quenfold.run({ stdin: 'a\nb\nc\n', limits: { lines: 2 } });
  assert.deepEqual([r.out, r.err, r.status], ['a\nb\n', 'quenfold: file stdin line 3: Line limit of this run reached\n', 1]);
  r = quenfold.run({ stdin: 'abc\ndef\n', limits: { output: 6 } });
  assert.deepEqual([r.out, r.err], ['abc\nde', 'quenfold: Output limit of this run reached\n']);
  r = quenfold.run({ stdin: '@DEFINE x 0123456789\n$x$x\n', limits: { text: 15 } });
  assert.equal(r.err, 'quenfold: file stdin line 2: Text limit of this run reached\n');
});
