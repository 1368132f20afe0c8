// The playground in headless Chromium (Debian's, driven by playwright-core):
// typing, errors, shared links, file tabs, the fields, the examples menu, and
// the page opened from disk. Serves build-web/playground (or
// $QUENFOLD_PLAYGROUND) on 127.0.0.1 and leaves a screenshot there.
'use strict';

const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');

const ROOT = path.resolve(process.env.QUENFOLD_PLAYGROUND || path.join(__dirname, '../../build-web/playground'));
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
// Without these, headless Chromium reaches out to services the closed network refuses.
const FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.png': 'image/png' };

let server;
let base;
let context;
let profile;
const EXAMPLES = require(path.join(ROOT, 'examples.js'));

before(async () => {
  server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname).replace(/^\/+/, '');
    const file = path.join(ROOT, name || 'index.html');
    if (!file.startsWith(ROOT) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    response.end(fs.readFileSync(file));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  base = 'http://127.0.0.1:' + server.address().port + '/';
  profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quenfold-chromium-'));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: FLAGS,
    viewport: { width: 1280, height: 760 },
  });
  context.setDefaultTimeout(10000);
});

after(async () => {
  if (context) await context.close();
  if (server) server.close();
  if (profile) fs.rmSync(profile, { recursive: true, force: true });
});

// Opens the page (by default with an empty script.qf) and waits for its
// first run. Fails the test on any error of the page's scripts and on any
// request away from the page's own folder.
async function open(url = base + 'index.html#script=') {
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  page.on('request', (r) => {
    if (!r.url().startsWith(url.startsWith('file:') ? 'file:' : base) && !r.url().startsWith('data:')) {
      problems.push('request to ' + r.url());
    }
  });
  page.problems = problems;
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('status').textContent !== '');
  return page;
}

async function settled(page, id, text) {
  try {
    await page.waitForFunction(([i, t]) => document.getElementById(i).textContent === t, [id, text],
      { timeout: 5000 });
  } catch (e) {
    const got = await page.textContent('#' + id);
    assert.equal(got, text, '#' + id + ' did not come to hold the expected text');
  }
}

// Adds a file tab named `name`, holding `text`; it is left the active tab.
async function addFile(page, name, text) {
  await page.click('#add-file');
  await page.fill('.tab-rename', name);
  await page.press('.tab-rename', 'Enter');
  await page.fill('.editor.active textarea', text);
}

async function result(page) {
  return page.evaluate(() => ({
    output: document.getElementById('output').textContent,
    errors: document.getElementById('errors').textContent,
    status: document.getElementById('status').textContent,
  }));
}

function done(page) {
  assert.deepEqual(page.problems, []);
  return page.close();
}

test('typing a script updates the output and colours it', async () => {
  const page = await open();
  await page.fill('#script', '@DEFINE who web\nHello $(who)');
  await settled(page, 'output', 'Hello web\n');
  // Keys as a person types them, at the end of the script.
  await page.focus('#script');
  await page.keyboard.press('Control+End');
  await page.keyboard.type(', $(=:6 * 7) times!\n# done');
  await settled(page, 'output', 'Hello web, 42 times!\n');
  assert.deepEqual(await result(page), { output: 'Hello web, 42 times!\n', errors: '', status: '0' });
  const colours = await page.$$eval('.editor.active .view span', (spans) =>
    spans.map((s) => s.className + ' ' + s.textContent));
  for (const part of ['qf-directive @DEFINE', 'qf-name who', 'qf-reference $(who)', 'qf-special $(=:',
    'qf-number 6', 'qf-operator *', 'qf-comment # done']) {
    assert.ok(colours.includes(part), 'no ' + part + ' among ' + colours.join(' | '));
  }
  assert.equal(await page.$eval('.editor.active .gutter', (g) => g.textContent.trim().split('\n').length), 3);
  await done(page);
});

test('an error shows its exact line and status 1', async () => {
  const page = await open();
  await page.fill('#script', 'first line\n$(missing)\nnever written\n');
  await settled(page, 'status', '1');
  assert.deepEqual(await result(page), {
    output: 'first line\n',
    errors: 'quenfold: file ./script.qf line 2: Macro missing not defined\n',
    status: '1',
  });
  assert.match(await page.getAttribute('#badge', 'class'), /fail/);
  // No sockets in a page: a host:port input ends with its error line.
  await page.fill('#script', 'before\n@INCLUDE example.org:80\n');
  await settled(page, 'errors',
    'quenfold: file ./script.qf line 2: Can\'t open input socket on example.org:80 (Network unreachable)\n');
  assert.equal(await page.textContent('#status'), '1');
  await done(page);
});

test('an error marks its line in the tab of the file it names; a click on it puts the caret there', async () => {
  const page = await open();
  await addFile(page, 'part.qf', 'one\ntwo\n$(nosuch) here\nfour\n');
  await page.click('.tab[data-file="script.qf"] .tab-name');
  await page.fill('#script', 'first\n@INCLUDE ./part.qf\nlast\n');
  await settled(page, 'errors', 'quenfold: file ./part.qf line 3: Macro nosuch not defined\n');
  // The include's line is marked, in its gutter and its text, and its tab; the script is not.
  const marks = () => page.$$eval('.gutter .error-line', (els) =>
    els.map((e) => [e.closest('.editor').querySelector('textarea').id, e.textContent]));
  assert.deepEqual(await marks(), [['file-1', '3']]);
  assert.deepEqual(await page.$$eval('.view .error-text', (els) => els.map((e) => e.textContent)), ['$(nosuch) here']);
  assert.deepEqual(await page.$$eval('.tab.error', (tabs) => tabs.map((t) => t.dataset.file)), ['part.qf']);
  assert.equal(await page.getAttribute('.tab[data-file="script.qf"]', 'aria-selected'), 'true');

  await page.click('#errors');
  assert.equal(await page.getAttribute('.tab[data-file="part.qf"]', 'aria-selected'), 'true');
  assert.deepEqual(await page.evaluate(() => [document.activeElement.id, document.activeElement.selectionStart,
    document.activeElement.selectionEnd]), ['file-1', 'one\ntwo\n'.length, 'one\ntwo\n'.length]);

  // Mended, the mark goes; an error in the script marks the script.
  await page.fill('.editor.active textarea', 'one\n');
  await settled(page, 'output', 'first\none\nlast\n');
  assert.deepEqual(await marks(), []);
  assert.equal(await page.$$eval('.tab.error', (tabs) => tabs.length), 0);
  await page.click('.tab[data-file="script.qf"] .tab-name');
  await page.fill('#script', 'a\n\n@DEFINE x\n@DEFINE x\n');
  await settled(page, 'errors', 'quenfold: file ./script.qf line 4: Macro x already defined\n');
  assert.deepEqual(await marks(), [['script', '4']]);
  // An error that names no file of the page marks nothing, and a click on it does nothing.
  await page.fill('#options', '-Z');
  await settled(page, 'errors', 'quenfold: Unknown option\n');
  assert.deepEqual(await marks(), []);
  await page.click('#errors');
  assert.equal(await page.getAttribute('.tab[data-file="script.qf"]', 'aria-selected'), 'true');
  await done(page);
});

test('a shared link opens its script and runs it; Share gives the same link', async () => {
  const script = '@DEFINE greet Grüße, $(0)!\n$(greet:Welt) → $(=:6 * 7) ✓\n';
  const link = base + 'index.html#script=' + Buffer.from(script).toString('base64url');
  const page = await open(link);
  assert.equal(await page.inputValue('#script'), script);
  await settled(page, 'output', 'Grüße, Welt! → 42 ✓\n');
  await page.click('#share');
  assert.equal(await page.inputValue('#share-link'), link);
  assert.equal(page.url(), link);
  await done(page);
});

test('a link with options, input and files brings them all back', async () => {
  const page = await open();
  await page.fill('#script', '@READLINE name\n@INCLUDE ./lib/greet.qf\n');
  await addFile(page, 'lib/greet.qf', '$(greeting), $(name)!');
  await page.fill('#options', "-D 'greeting=Good day'");
  await page.fill('#stdin', 'Ada\n');
  await settled(page, 'output', 'Good day, Ada!\n');
  await page.click('#share');
  const link = await page.inputValue('#share-link');
  const again = await open(link);
  await settled(again, 'output', 'Good day, Ada!\n');
  assert.equal(await again.inputValue('#options'), "-D 'greeting=Good day'");
  assert.deepEqual(await again.$$eval('.tab', (tabs) => tabs.map((t) => t.dataset.file)), ['script.qf', 'lib/greet.qf']);
  await done(again);
  await done(page);
});

test('a file tab can be included, renamed and removed', async () => {
  const page = await open();
  await addFile(page, 'parts/header.qf', '<h1>$(title)</h1>\n');
  await page.click('.tab[data-file="script.qf"] .tab-name');
  await page.fill('#script', '@DEFINE title Notes\n@INCLUDE ./parts/header.qf\n<p>body</p>\n');
  await settled(page, 'output', '<h1>Notes</h1>\n<p>body</p>\n');

  // Through the include directory after a rename, as -i finds it.
  await page.click('.tab[data-file="parts/header.qf"] .tab-name');
  await page.click('.tab.active .tab-rename-button');
  await page.fill('.tab-rename', 'inc/header.qf');
  await page.press('.tab-rename', 'Enter');
  await page.click('.tab[data-file="script.qf"] .tab-name');
  await page.fill('#options', '-i inc');
  await page.fill('#script', '@DEFINE title Notes\n@INCLUDE header.qf\n');
  await settled(page, 'output', '<h1>Notes</h1>\n');

  await page.click('.tab[data-file="inc/header.qf"] .tab-remove');
  await settled(page, 'errors', "quenfold: file ./script.qf line 2: Can't stat inc/header.qf (No such file or directory)\n");
  assert.equal(await page.textContent('#status'), '1');
  assert.equal(await page.inputValue('#script'), '@DEFINE title Notes\n@INCLUDE header.qf\n');
  await done(page);
});

test('options, standard input and the environment reach the run', async () => {
  const page = await open();
  await page.fill('#script', '@READLINE line none\n@GETENV HOME unset\n$(who): $(line), HOME $(HOME)\n');
  await page.fill('#options', '-D who=opt');
  await settled(page, 'output', 'opt: none, HOME unset\n');
  await page.fill('#stdin', 'first line\nsecond\n');
  await settled(page, 'output', 'opt: first line, HOME unset\n');
  await page.fill('#env', 'HOME=/home/ada');
  await settled(page, 'output', 'opt: first line, HOME /home/ada\n');
  assert.equal(await page.textContent('#command'), '$ HOME=/home/ada quenfold -D who=opt ./script.qf < stdin');
  await done(page);
});

test('every example of the menu runs as its session shows', async () => {
  // The page opens with the first one.
  const page = await open(base + 'index.html');
  assert.equal(await page.inputValue('#examples'), '0');
  await settled(page, 'output', EXAMPLES[0].shows);
  const names = await page.$$eval('#examples option', (options) => options.map((o) => o.textContent).slice(1));
  assert.deepEqual(names, EXAMPLES.map((e) => e.name));
  for (let i = 0; i < EXAMPLES.length; i++) {
    await page.selectOption('#examples', String(i));
    await settled(page, 'status', '0');
    const shown = await result(page);
    assert.equal(shown.output + shown.errors, EXAMPLES[i].shows, EXAMPLES[i].name);
  }
  // The directory example keeps its files in their folder, found through -i.
  await page.selectOption('#examples', { label: 'config/' });
  assert.deepEqual(await page.$$eval('.tab', (tabs) => tabs.map((t) => t.dataset.file)),
    ['config/app.qf', 'config/logging.qf']);
  await page.fill('#options', '-i config -D ENV=production');
  await page.waitForFunction(() => document.getElementById('output').textContent.includes('keep_days = 30'));
  await page.screenshot({ path: path.join(ROOT, 'screenshot.png') });
  await done(page);
});

test('the page works opened from disk', async () => {
  const page = await open('file://' + path.join(ROOT, 'index.html'));
  assert.equal(await page.textContent('#status'), '0');
  await settled(page, 'output', EXAMPLES[0].shows);
  await page.fill('#script', 'offline $(=:1 + 1)\n');
  await settled(page, 'output', 'offline 2\n');
  await done(page);
});

test('quenfold-check\'s warnings show beside their lines and under the output, and lead to them', async () => {
  const page = await open();
  await page.fill('#script', 'Hello\ncolor: #fff;\nPrice: $5 and $6\n');
  await settled(page, 'output', 'Hello\ncolor:\nPrice:  and \n');
  const items = () => page.$$eval('#warnings li', (list) => list.map((li) => li.textContent));
  assert.deepEqual(await items(), [
    'script.qf:2:8 [comment-in-text] \'#\' begins a comment, so "#fff;" is dropped; write \\# for the character itself',
    'script.qf:3:8 [bare-parameter] $5 is parameter 5, always empty outside a macro\'s value; write \\$ for a dollar sign',
    'script.qf:3:15 [bare-parameter] $6 is parameter 6, always empty outside a macro\'s value; write \\$ for a dollar sign',
  ]);
  // One marker a line, level with the line's number in the gutter, telling its warnings.
  const marks = await page.$$eval('.editor.active .warning-mark', (list) => list.map((m) => {
    const gutter = m.closest('.editor').querySelector('.gutter').getBoundingClientRect();
    return [m.dataset.line, Math.round((m.getBoundingClientRect().top - gutter.top - 10) / 20), m.title.split('\n').length];
  }));
  assert.deepEqual(marks, [['2', 1, 1], ['3', 2, 2]]);
  // A click on a warning puts the caret at its place.
  await page.click('#warnings li:nth-child(3)');
  assert.equal(await page.$eval('#script', (t) => t.value.slice(t.selectionStart, t.selectionStart + 2)), '$6');

  // Another file's warnings go to its own tab; -D comes from the options.
  await addFile(page, 'lib.qf', '@DEFINE mode debug\n');
  await page.fill('#options', '-D mode=release');
  await page.waitForFunction(() => document.querySelectorAll('#warnings li').length === 4);
  assert.match((await items())[3], /^lib\.qf:1:9 \[define-vs-option\] mode is also given with -D/);
  assert.deepEqual(await page.$$eval('.editor.active .warning-mark', (list) => list.map((m) => m.dataset.line)), ['1']);

  // Fixed lines warn no more.
  await page.click('.tab[data-file="lib.qf"] .tab-remove');
  await page.fill('#script', 'Hello\ncolor: \\#fff;\nPrice: \\$5\n');
  await settled(page, 'output', 'Hello\ncolor: #fff;\nPrice: $5\n');
  assert.deepEqual(await items(), []);
  assert.equal(await page.$$eval('.editor.active .warning-mark', (list) => list.length), 0);
  await done(page);
});

test('the reference opens from the header, and from disk too', async () => {
  for (const url of [base + 'index.html#script=', 'file://' + path.join(ROOT, 'index.html') + '#script=']) {
    const page = await open(url);
    const [reference] = await Promise.all([context.waitForEvent('page'), page.click('#reference')]);
    const away = [];
    reference.on('request', (r) => {
      if (!r.url().startsWith(url.slice(0, url.lastIndexOf('/') + 1))) away.push(r.url());
    });
    await reference.waitForLoadState();
    assert.equal(await reference.title(), 'QUENFOLD(1)');
    assert.match(await reference.textContent('body'), /DIRECTIVES[\s\S]*@INCLUDE/);
    // It leads on to the checker's page, which the warnings' heading links to as well.
    await reference.click('a[href="quenfold-check.1.html"] >> nth=0');
    await reference.waitForLoadState();
    assert.equal(await reference.title(), 'QUENFOLD-CHECK(1)');
    assert.equal(await page.getAttribute('.warnings-about', 'href'), 'quenfold-check.1.html');
    assert.deepEqual(away, []);
    await reference.close();
    await done(page);
  }
});

test('the link that the README documents opens its script, options and file', async () => {
  const readme = fs.readFileSync(path.join(__dirname, '../../README.md'), 'utf8');
  const link = readme.match(/`(index\.html#script=[^`]+)`/)[1];
  const page = await open(base + link);
  await settled(page, 'output', 'Hello world\n-- world\n');
  assert.equal(await page.inputValue('#options'), '-D who=world');
  assert.deepEqual(await page.$$eval('.tab', (tabs) => tabs.map((t) => t.dataset.file)), ['script.qf', 'sign.qf']);
  await done(page);
});
