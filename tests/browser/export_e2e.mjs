// End-to-end test of `zarel export` in a real browser: exports the demo site
// and opens the export's index.html from file: in headless Chromium
// (Debian's, through playwright-core) with every request outside the export
// folder refused and recorded: opens a branch of the tree, shows a page,
// follows Back and Forward, opens an address with a path, opens a shape
// report's level in an exported page, and saves screenshots.
//
//   node export_e2e.mjs --zarel PATH [--out DIR] [--chromium PATH]
//
// Exit status 0 when every check passed, 1 otherwise (each failure is
// printed), 2 when the test cannot run (no playwright-core: run "npm ci" in
// this folder; no Chromium: scripts/install-deps --browser).
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

import { reportScreenshot, startBrowserTest } from './browser_start.mjs';

const { zarel, out, launchBrowser } = await startBrowserTest('export_e2e');

const failures = [];
function check(condition, what) {
  console.log(`${condition ? 'ok' : 'FAILED'}: ${what}`);
  if (!condition) failures.push(what);
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zarel-export-e2e-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));
const demo = path.join(work, 'demo');
const site = path.join(work, 'site export');  // a space: addresses must be encoded
for (const [what, args] of [
  ['zarel demo', ['demo', demo]],
  ['zarel export', ['export', `sqlite:${path.join(demo, 'demo.db')}`, '--folder', path.join(demo, 'site'),
    '--out', site, '--heading', 'Brightwater Supplies', '--date-format', 'dd Mmm yyyy']],
]) {
  const made = spawnSync(zarel, args, { encoding: 'utf8' });
  if (made.status !== 0) {
    console.error(`export_e2e: ${what} failed:\n${made.stdout}${made.stderr}`);
    process.exit(1);
  }
  if (what === 'zarel export') console.log(made.stdout.trim());
}

const browser = await launchBrowser();
const root = 'Brightwater Supplies';
const inside = pathToFileURL(site).href + '/';

try {
  const context = await browser.newContext({ viewport: { width: 1280, height: 860 } });
  // Every request of the page and its frames: those outside the export are
  // refused and recorded; failed ones are recorded too.
  const outside = [];
  const failed = [];
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith(inside)) return route.continue();
    outside.push(url);
    return route.abort('accessdenied');
  });
  const page = await context.newPage();
  // A page load that a later one replaced (Back, then the script's own
  // replace) ends as aborted: not a missing file.
  page.on('requestfailed', (request) => {
    if (request.failure().errorText !== 'net::ERR_ABORTED') failed.push(`${request.url()} (${request.failure().errorText})`);
  });
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(error.message));
  const report = page.frameLocator('#report');

  async function heading() {
    return (await report.locator('p.mh').first().textContent()).trim();
  }
  const shot = (name) => reportScreenshot(page, out, name, check);
  function item(names) {
    let locator = page.locator('#tree > ul > li');
    for (let i = 0; i < names.length; i += 1) {
      if (i > 0) locator = locator.locator(':scope > ul > li');
      locator = locator.filter({ has: page.locator(`:scope > .node .label:text-is(${JSON.stringify(names[i])})`) });
    }
    return locator.first();
  }
  // Clicks a node's text and waits for its page in the pane.
  async function click(names) {
    await item(names).locator(':scope > .node .label').click();
    await report.locator('p.mh', { hasText: names[names.length - 1] }).first().waitFor();
  }
  function selectedPath() {
    return page.locator('#tree li[aria-selected="true"]').getAttribute('data-path');
  }

  await page.goto(inside + 'index.html');
  await report.locator('body').waitFor();
  check(await page.locator('.toolbar .site-title').textContent() === root, 'the index names the site');
  check(await item([root]).getAttribute('aria-expanded') === 'true', 'the root is open');
  check(!(await item([root, 'Regions']).locator(':scope > ul').isVisible()), 'a branch starts closed');
  await shot('export-01-index');

  // A branch opens without a server, and a page shows.
  await item([root, 'Regions']).locator(':scope > .node .expander').click();
  check(await item([root, 'Regions', 'North']).isVisible(), 'the expander opens Regions');
  await click([root, 'Regions', 'North']);
  check(await heading() === 'North', 'North shows its page');
  check(decodeURIComponent(new URL(page.url()).hash) === `#path=${root}\\Regions\\North`,
        `the address names the node: ${page.url()}`);
  await shot('export-02-region');

  // A shape report's level opens through the page's own script.
  await item([root, 'Sales']).locator(':scope > .node .expander').click();
  await click([root, 'Sales', 'Order book']);
  const expander = report.locator('img[id^="DTL"]').first();
  const hiddenBefore = await report.locator('tr[id]').evaluateAll(
    (rows) => rows.filter((row) => getComputedStyle(row).display === 'none').length);
  await expander.click();
  const hiddenAfter = await report.locator('tr[id]').evaluateAll(
    (rows) => rows.filter((row) => getComputedStyle(row).display === 'none').length);
  check(hiddenBefore > 0 && hiddenAfter < hiddenBefore,
        `the shape report's expander opens its level (hidden rows ${hiddenBefore} -> ${hiddenAfter})`);
  check((await expander.getAttribute('src')).endsWith('minus.gif'), 'the expander shows minus.gif when open');
  await shot('export-03-shape-expanded');

  // Back and Forward move between the clicked nodes.
  await page.goBack();
  await report.locator('p.mh', { hasText: 'North' }).first().waitFor();
  check(await selectedPath() === `${root}\\Regions\\North`, 'Back returns to North');
  await page.goForward();
  await report.locator('p.mh', { hasText: 'Order book' }).first().waitFor();
  check(await selectedPath() === `${root}\\Sales\\Order book`, 'Forward returns to Order book');

  // An address with a path opens that node in a new tab.
  const other = await context.newPage();
  await other.goto(`${inside}index.html#path=${encodeURIComponent(`${root}\\Products\\Spiral Notebook A5`)}`);
  await other.frameLocator('#report').locator('p.mh', { hasText: 'Spiral Notebook A5' }).first().waitFor();
  check(await other.locator('#tree li[aria-selected="true"]').getAttribute('data-path') === `${root}\\Products\\Spiral Notebook A5`,
        'an address with a path opens its node');
  const productsOpen = await other.evaluate((wanted) => [...document.querySelectorAll('#tree li[data-path]')]
    .find((one) => one.dataset.path === wanted).getAttribute('aria-expanded'), `${root}\\Products`);
  check(productsOpen === 'true', 'the branches above it are open');
  await other.close();

  // The web host's form of the same address (?path=) opens the same node,
  // and a path whose level is missing ends at the last node found, as in
  // the web host.
  const hostForm = await context.newPage();
  const selectedThere = () => hostForm.locator('#tree li[aria-selected="true"]').getAttribute('data-path');
  await hostForm.goto(`${inside}index.html?path=${encodeURIComponent(`${root}\\Regions\\North`)}`);
  await hostForm.frameLocator('#report').locator('p.mh', { hasText: 'North' }).first().waitFor();
  check(await selectedThere() === `${root}\\Regions\\North`, "the web host's form of an address opens its node");
  await hostForm.goto(`${inside}index.html#path=${encodeURIComponent(`${root}\\Products\\No such product`)}`);
  await hostForm.frameLocator('#report').locator('p.mh', { hasText: 'Products' }).first().waitFor();
  check(await selectedThere() === `${root}\\Products`, 'a missing level ends the path at the last node found');
  await hostForm.close();

  check(outside.length === 0, `no request left the export${outside.length ? ': ' + outside.join(', ') : ''}`);
  check(failed.length === 0, `every request inside the export was answered${failed.length ? ': ' + failed.join(', ') : ''}`);
  check(pageErrors.length === 0, `no script errors${pageErrors.length ? ': ' + pageErrors.join('; ') : ''}`);
} catch (error) {
  check(false, `the test ran to its end: ${error.stack || error}`);
} finally {
  await browser.close();
}

if (failures.length > 0) {
  console.log(`${failures.length} check(s) failed`);
  process.exit(1);
}
console.log('every check passed');
