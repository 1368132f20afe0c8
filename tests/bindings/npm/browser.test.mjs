// The npm package in a browser page: bundled by esbuild from `import { load }
// from 'quenfold'` (the package's browser condition), and loaded by a plain
// <script> tag. Pages are opened from disk in headless Chromium, which must
// fetch nothing but the page's own files.
//   QUENFOLD_TOOLS   node_modules holding esbuild (tests/bindings)
//   PLAYWRIGHT_CORE  the playwright-core package (tests/web installs it)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const require = createRequire(import.meta.url);
const here = path.dirname(fileURLToPath(import.meta.url));
const esbuild = require(path.join(process.env.QUENFOLD_TOOLS, 'esbuild'));
const { chromium } = require(process.env.PLAYWRIGHT_CORE);
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

const RUN = `{
  args: ['-D', 'n=3', './page.qf'],
  files: { 'page.qf': '@INCLUDE ./inc.qf\\n$(=:$n * 14) $(w)\\n', 'inc.qf': '@DEFINE w \\u00e9t\\u00e9\\n' },
  limits: { lines: 100 },
}`;
const REPORT = `(quenfold) => {
  const r = quenfold.run(${RUN});
  window.result = { out: r.out, err: r.err, status: r.status, version: quenfold.version };
}`;

let context;
let profile;

before(async () => {
  profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quenfold-npm-chromium-'));
  context = await chromium.launchPersistentContext(profile, { executablePath: CHROMIUM, headless: true, args: FLAGS });
  context.setDefaultTimeout(15000);
});

after(async () => {
  if (context) await context.close();
  if (profile) fs.rmSync(profile, { recursive: true, force: true });
});

// Opens `html` (written beside this file) and returns what it reports.
async function open(name, html) {
  const file = path.join(here, name);
  fs.writeFileSync(file, html);
  const page = await context.newPage();
  const errors = [];
  const away = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('request', (request) => {
    if (!request.url().startsWith(pathToFileURL(here).href + '/')) away.push(request.url());
  });
  try {
    await page.goto(pathToFileURL(file).href);
    await page.waitForFunction(() => window.result !== undefined);
    assert.deepEqual(errors, []);
    assert.deepEqual(away, []);
    return await page.evaluate(() => window.result);
  } finally {
    await page.close();
  }
}

const WANT = { out: '42 \u00e9t\u00e9\n', err: '', status: 0, version: '3.2' };

test('a bundle made from the package', async () => {
  fs.writeFileSync(path.join(here, 'main.js'), `import { load } from 'quenfold';\nload().then(${REPORT});\n`);
  await esbuild.build({
    entryPoints: [path.join(here, 'main.js')],
    bundle: true,
    platform: 'browser',
    format: 'iife',
    outfile: path.join(here, 'bundle.js'),
    logLevel: 'silent',
  });
  // The browser build went in, not the one for Node.
  const bundle = fs.readFileSync(path.join(here, 'bundle.js'), 'utf8');
  assert.match(bundle, /ENVIRONMENT_IS_WEB/);
  assert.doesNotMatch(bundle, /require\(["'](fs|path|crypto)["']\)/);
  assert.deepEqual(await open('bundle.html', '<!doctype html><script src="bundle.js"></script>'), WANT);
});

test('the browser build from a script tag', async () => {
  const html = '<!doctype html><script src="node_modules/quenfold/quenfold.js"></script>' +
    `<script>Quenfold.load().then(${REPORT});</script>`;
  assert.deepEqual(await open('tag.html', html), WANT);
});
