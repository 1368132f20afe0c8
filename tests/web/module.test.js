// The WebAssembly module's JavaScript API in Node (quenfold-node.js, or
// $QUENFOLD_NODE_MODULE), the examples menu made from examples/, and the
// playground's pure parts: syntax colouring and command-line words.
'use strict';

const { test, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');

const repo = path.join(__dirname, '../..');
const modulePath = path.resolve(process.env.QUENFOLD_NODE_MODULE ||
  path.join(repo, 'build-web/module/web/quenfold-node.js'));
const { examples } = require(path.join(repo, 'playground/gen-examples.js'));
const words = require(path.join(repo, 'playground/words.js'));

let quenfold;
before(async () => {
  quenfold = await require(modulePath).load();
});

const run = (request) => {
  const { out, err, status } = quenfold.run(request);
  return { out, err, status };
};

test('a run reads its script, files and standard input and writes output', () => {
  assert.equal(quenfold.version, '3.2');
  assert.deepEqual(run({
    args: ['-D', 'who=Ann', './page.qf'],
    files: { 'page.qf': '@READLINE city\n@INCLUDE ./parts/greet.qf\n', 'parts/greet.qf': 'Hello $(who) from $(city)\n' },
    stdin: 'Paris\n',
  }), { out: 'Hello Ann from Paris\n', err: '', status: 0 });
});

test('every run starts in a fresh directory holding only its own files', () => {
  assert.equal(run({ args: ['./a.qf'], files: { 'a.qf': 'A\n', 'd/b.qf': 'B\n' } }).out, 'A\n');
  assert.deepEqual(run({ stdin: '@INCLUDE ./a.qf\n' }), {
    out: '', err: "quenfold: file stdin line 1: Can't stat ./a.qf (No such file or directory)\n", status: 1,
  });
  // Not even after a run that ended with an error, nor its directories.
  run({ args: ['./x.qf'], files: { 'x.qf': '$(nosuch)\n', 'sub/y.qf': '' } });
  assert.match(run({ args: ['./sub/y.qf'] }).err, /Can't stat \.\/sub\/y\.qf \(No such file or directory\)/);
  // A run that used up every descriptor leaves none of them open.
  assert.match(run({ args: ['./s.qf'], files: { 's.qf': '@INCLUDE ./s.qf\n' } }).err, /Can't open \.\/s\.qf/);
  assert.equal(run({ args: ['./s.qf'], files: { 's.qf': '@INCLUDE ./t.qf\n', 't.qf': 'T\n' } }).out, 'T\n');
  // An empty directory given in `dirs` stands for its missing script.
  assert.equal(run({ args: ['./d'], dirs: ['d'] }).err, "quenfold: Can't open ./d/script (No such file or directory)\n");
});

test('the environment is empty unless the caller passes one', () => {
  const script = '@GETENV HOME none\n$(HOME) [$(__USER__)]\n';
  assert.equal(run({ stdin: script }).out, 'none []\n');
  assert.equal(run({ stdin: script, env: { HOME: '/home/ada', USER: 'ada' } }).out, '/home/ada [ada]\n');
  // The options variable is read from it too.
  assert.equal(run({ stdin: '$X\n', env: { quenfold: '-DX=from-env' } }).out, 'from-env\n');
});

test('inputs the module cannot offer end with the program\'s error line', () => {
  assert.deepEqual(run({ args: ['example.org:80'] }), {
    out: '', err: "quenfold: Can't open input socket on example.org:80 (Network unreachable)\n", status: 1,
  });
  assert.deepEqual(run({ stdin: 'ok\n@INCLUDE 127.0.0.1:7\n' }), {
    out: 'ok\n', err: "quenfold: file stdin line 2: Can't open input socket on 127.0.0.1:7 (Network unreachable)\n",
    status: 1,
  });
  assert.equal(run({ args: ['/etc/passwd'] }).err, "quenfold: Can't stat /etc/passwd (No such file or directory)\n");
  assert.equal(run({ stdin: '@INCLUDE lib.qf\n' }).err,
    "quenfold: file stdin line 1: Can't stat /usr/package/lib.qf (No such file or directory)\n");
});

test('limits end a runaway run with an error line', () => {
  const loops = '@FOR i $(%:1-2000)\n@FOR j $(%:1-2000)\n$i $j\n@END\n@END\n';
  const limited = run({ stdin: loops, limits: { lines: 1000 } });
  assert.equal(limited.status, 1);
  assert.match(limited.err, /^quenfold: file stdin line 3: Line limit of this run reached\n$/);
  const doubling = '@DEFINE a xxxxxxxxxxxxxxxx\n@DEFINE b $a$a$a$a$a$a$a$a\n@DEFINE c $b$b$b$b$b$b$b$b\n$c$c$c\n';
  assert.match(run({ stdin: doubling, limits: { text: 1000 } }).err, /Text limit of this run reached/);
  assert.equal(run({ stdin: doubling }).status, 0);
  // Output stops at its limit, the bytes before it kept: where the run is when
  // its buffered output reaches the limit.
  const many = run({ stdin: '@FOR i $(%:1-2000)\n$(%:1-40)\n@END\n', limits: { output: 100 } });
  const line = Array.from({ length: 40 }, (_, i) => i + 1).join(' ') + '\n';
  assert.equal(many.out, line.repeat(2).slice(0, 100));
  assert.match(many.err, /^quenfold: file stdin line 2: Output limit of this run reached\n$/);
  assert.equal(many.status, 1);
  assert.equal(run({ stdin: 'short\n', limits: { output: 3 } }).err, 'quenfold: Output limit of this run reached\n');
});

test('bytes go through unchanged, and names must stay in the directory', () => {
  const input = Uint8Array.from([0x61, 0xff, 0xe2, 0x82, 0xac, 0x0a]);
  const result = quenfold.run({ stdin: input, files: { 'ü.qf': 'é\n' } });
  assert.deepEqual(Array.from(result.outBytes), Array.from(input));
  assert.equal(run({ args: ['./ü.qf'], files: { 'ü.qf': 'é\n' } }).out, 'é\n');
  assert.throws(() => quenfold.run({ files: { '../x': '' } }), TypeError);
  assert.throws(() => quenfold.run({ files: { '/abs': '' } }), TypeError);
  assert.throws(() => quenfold.run({ stdin: 5 }), TypeError);
});

test('check gives quenfold-check\'s warnings for each file, with the -D options of the command line', () => {
  const warnings = quenfold.check({
    args: ['-q', '-D', 'mode=x', './page.qf'],
    files: { 'page.qf': 'color: #fff;\n@DEFINE mode y\n', 'parts/inc.qf': 'Price: $5\nGrüße #1\n', 'ok.qf': 'fine\n' },
  });
  assert.deepEqual(warnings.map((w) => [w.file, w.line, w.column, w.name]), [
    ['page.qf', 1, 8, 'comment-in-text'],
    ['page.qf', 2, 9, 'define-vs-option'],
    ['parts/inc.qf', 1, 8, 'bare-parameter'],
    ['parts/inc.qf', 2, 9, 'comment-in-text'],  // columns count bytes, as the native checker's
  ]);
  assert.equal(warnings[0].text, '\'#\' begins a comment, so "#fff;" is dropped; write \\# for the character itself');
  // The text a comment drops comes back as it was written, UTF-8 or not.
  assert.match(quenfold.check({ files: { 'a.qf': 'Grüße#ü\n' } })[0].text, /"#ü" is dropped/);
  const raw = quenfold.check({ files: { 'b.qf': Uint8Array.from([0x61, 0x23, 0xff, 0x0a]) } });
  assert.equal(raw.length, 1);
  // Nothing to find, nothing to check, or options the run refuses: no warning.
  assert.deepEqual(quenfold.check({ files: { 'c.qf': 'Price: \\$5\n' } }), []);
  assert.deepEqual(quenfold.check({}), []);
  assert.deepEqual(quenfold.check({ args: ['-x'], files: { 'd.qf': '$5\n' } }), []);
});

test('the examples menu runs each example as its session shows', () => {
  const list = examples(path.join(repo, 'examples'));
  assert.equal(list[0].name, 'hello.qf');
  assert.ok(list.length >= 5);
  for (const example of list) {
    const result = run({
      args: words.split(example.options).concat(['./' + example.main]),
      files: Object.fromEntries(example.files),
      stdin: example.stdin,
      env: words.assignments(example.env),
    });
    assert.equal(result.out + result.err, example.shows, example.name);
  }
  const config = list.find((e) => e.name === 'config/');
  assert.deepEqual(config.files.map(([name]) => name), ['config/app.qf', 'config/logging.qf']);
  assert.equal(config.options, '-i config');
});

test('command-line words split as a shell splits them', () => {
  assert.deepEqual(words.split(`-D 'X=a b' -i\\ x "q\\"r" a''b ''`), ['-D', 'X=a b', '-i x', 'q"r', 'ab', '']);
  assert.throws(() => words.split("-D 'open"), SyntaxError);
  assert.deepEqual(words.assignments("A=1 B='x y' C="), { A: '1', B: 'x y', C: '' });
  assert.throws(() => words.assignments('A=1 oops'), SyntaxError);
  assert.equal(words.quote("it's"), "'it'\\''s'");
  assert.equal(words.quote('-DX=1'), '-DX=1');
});
