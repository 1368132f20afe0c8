// Renders a script of examples/ through the TextMate grammar with Shiki into
// HTML and takes a picture of it in headless Chromium (Debian's, driven by
// playwright-core from tests/web): the colours that editors reading the
// grammar give. Usage: node screenshot.mjs OUT.png
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';
import { createHighlighter } from 'shiki';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.join(here, '../..');
const out = process.argv[2];
const grammar = JSON.parse(fs.readFileSync(path.join(repo, 'contrib/textmate/quenfold.tmLanguage.json'), 'utf8'));
const script = fs.readFileSync(path.join(repo, 'examples/site.qf'), 'utf8');

const highlighter = await createHighlighter({ themes: ['light-plus'], langs: [{ ...grammar, name: 'quenfold' }] });
const code = highlighter.codeToHtml(script, { lang: 'quenfold', theme: 'light-plus' });
const html = `<!DOCTYPE html><meta charset="utf-8"><style>
body { margin: 0; background: #fff; }
pre { margin: 0; padding: 14px 18px; font: 13.5px/20px "DejaVu Sans Mono", monospace; display: inline-block; }
</style>${code}`;

const { chromium } = createRequire(path.join(repo, 'tests/web/package.json'))('playwright-core');
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
const page = await browser.newPage({ deviceScaleFactor: 1 });
await page.setContent(html);
await page.locator('pre').screenshot({ path: out });
await browser.close();
