// End-to-end test of `zarel serve` in a real browser: creates the demo site,
// serves it on a free loopback port, and drives headless Chromium (Debian's
// /usr/bin/chromium) through playwright-core: opens the page, clicks nodes of
// every kind, checks the report pane and the tree, opens a shape report
// level through the page's own script, presses Save, Print and Preview and
// Refresh, lets a page of another site point the window at the server again
// and again (the session must survive, and no new one start), follows the
// nodes' addresses (the address bar, Back and Forward, an address opened in
// a new browser), presses Export, and takes screenshots.
//
//   node serve_e2e.mjs --zarel PATH [--out DIR] [--chromium PATH]
//
// Exit status 0 when every check passed, 1 otherwise (each failure is
// printed), 2 when the test cannot run (no playwright-core: run "npm ci" in
// this folder; no Chromium: scripts/install-deps --browser).
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

import { reportScreenshot, startBrowserTest } from './browser_start.mjs';

const { zarel, out, launchBrowser } = await startBrowserTest('serve_e2e');

const failures = [];
function check(condition, what) {
  if (condition) {
    console.log(`ok: ${what}`);
  } else {
    console.log(`FAILED: ${what}`);
    failures.push(what);
  }
}

// --- The demo site and the server ---

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zarel-e2e-'));
const demo = path.join(work, 'demo');
const made = spawnSync(zarel, ['demo', demo], { encoding: 'utf8' });
if (made.status !== 0) {
  console.error(`serve_e2e: zarel demo failed:\n${made.stdout}${made.stderr}`);
  process.exit(1);
}

const server = spawn(zarel, [
  'serve', `sqlite:${path.join(demo, 'demo.db')}`, '--site', path.join(demo, 'site'),
  '--port', '0', '--talking', '--date-format', 'dd Mmm yyyy', '--heading', 'Brightwater Supplies',
], { stdio: ['ignore', 'pipe', 'pipe'] });
// Whatever happens to this script, the server goes with it.
process.on('exit', () => server.kill('SIGTERM'));
let serverOutput = '';
server.stderr.on('data', (data) => { serverOutput += data; });
const address = await new Promise((resolve, reject) => {
  const timer = setTimeout(() => reject(new Error('the server printed no address')), 20000);
  server.stdout.on('data', (data) => {
    serverOutput += data;
    const found = /open (http:\/\/\S+) in a browser/.exec(serverOutput);
    if (found) {
      clearTimeout(timer);
      resolve(found[1]);
    }
  });
  server.on('exit', (code) => reject(new Error(`the server ended (${code}):\n${serverOutput}`)));
});
console.log(`serving the demo at ${address}`);

const browser = await launchBrowser();

try {
  const context = await browser.newContext({ viewport: { width: 1280, height: 860 }, acceptDownloads: true });
  const page = await context.newPage();
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(error.message));
  page.on('console', (message) => {
    // A page without a session asks for its state first and hears 401, which
    // the browser lists as a failed load; the page then starts its session.
    if (message.type() === 'error' && !message.text().includes('status of 401')) pageErrors.push(message.text());
  });
  const report = page.frameLocator('#report');

  // Screenshots wait until the report pane's pictures have arrived.
  const shot = (name) => reportScreenshot(page, out, name, check);

  // The tree item whose texts from the top down are names.
  function item(names) {
    let locator = page.locator('#tree > ul > li');
    for (let i = 0; i < names.length; i += 1) {
      if (i > 0) locator = locator.locator(':scope > ul > li');
      locator = locator.filter({ has: page.locator(':scope > .node .label', { hasText: new RegExp(`^${escape(names[i])}$`) }) });
    }
    return locator.first();
  }
  function escape(text) {
    return text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
  }
  async function children(names) {
    return item(names).locator(':scope > ul > li > .node .label').allTextContents();
  }
  async function eventLines() {
    return page.locator('#event-list li').allTextContents();
  }

  // Clicks a node and waits for the server's answer and, when a page was
  // composed, for the report pane to show it.
  async function click(names, { expectPage = true } = {}) {
    const answered = page.waitForResponse((response) => response.url().endsWith('/api/click'));
    const loaded = expectPage
      ? page.waitForResponse((response) => response.url().includes('/site/oReport.htm'))
      : null;
    // A failure shows when awaited below, not as an unhandled rejection.
    answered.catch(() => {});
    if (loaded) loaded.catch(() => {});
    await item(names).locator(':scope > .node').click();
    const response = await answered;
    if (loaded) await loaded;
    await page.waitForFunction(() => !document.body.classList.contains('busy'));
    if (loaded) await report.locator('body').waitFor();
    return response.json();
  }

  async function heading() {
    return (await report.locator('p.mh').first().textContent()).trim();
  }
  async function selected() {
    return page.locator('#tree li[aria-selected="true"] > .node .label').allTextContents();
  }

  // The page opens on the front page with the first level of the tree.
  await page.goto(address);
  await page.locator('#tree li[role="treeitem"]').first().waitFor();
  await report.locator('body').waitFor();
  const root = 'Brightwater Supplies';
  const level1 = await children([root]);
  check(level1.includes('Dashboard') && level1.includes('Regions') && level1.includes('Staff') &&
        level1.includes('Sales') && level1.includes('Products'),
        `the root lists its rows: ${level1.join(', ')}`);
  check((await page.locator('#report').getAttribute('src')).startsWith('/site/fp.htm'),
        'the report pane shows the front page');
  check(await item([root]).getAttribute('aria-expanded') === 'true', 'the root is expanded');
  check(await item([root]).locator(':scope > .node .label').evaluate((e) => getComputedStyle(e).color) === 'rgb(255, 0, 0)',
        'the root is drawn red');
  await shot('01-front-page');

  // The keyboard: Down from the root reaches Dashboard, Enter opens it.
  await item([root]).locator(':scope > .node').focus();
  await page.keyboard.press('ArrowDown');
  const keyed = page.waitForResponse((response) => response.url().endsWith('/api/click'));
  const keyedPage = page.waitForResponse((response) => response.url().includes('/site/oReport.htm'));
  await page.keyboard.press('Enter');
  await keyed;
  await keyedPage;
  await page.waitForFunction(() => !document.body.classList.contains('busy'));
  check((await selected()).join() === 'Dashboard', 'Down and Enter open the next node');
  check(await page.evaluate(() => document.activeElement.textContent.includes('Dashboard')),
        'the keyboard focus stays on the node after the tree is drawn again');

  // A leaf row: its page, nothing below it.
  await click([root, 'Dashboard']);
  check(await heading() === 'Dashboard', 'Dashboard (leaf) shows its page');
  check((await report.locator('table').count()) > 0, 'the dashboard has its tables and chart');
  check((await selected()).join() === 'Dashboard', 'Dashboard is the selected node');
  await shot('02-dashboard-leaf');

  // A variable row: one child per record; a record child is again variable.
  await click([root, 'Regions']);
  const regions = await children([root, 'Regions']);
  check(regions.length > 0, `Regions (variable) lists its records: ${regions.join(', ')}`);
  check(await heading() === 'Regions', 'Regions shows its page');
  const region = regions[0];
  await click([root, 'Regions', region]);
  const customers = await children([root, 'Regions', region]);
  check(customers.length > 0, `${region} lists its customers: ${customers.length}`);
  check(await heading() === region, `${region} shows its page`);
  await shot('03-region-variable');

  // A leaf record with a shape report; its level opens through the page's
  // own script.
  const customer = customers[0];
  await click([root, 'Regions', region, customer]);
  check(await heading() === customer, `${customer} (leaf record) shows its page`);
  check(await item([root, 'Regions', region, customer]).locator(':scope > ul').count() === 0,
        'a leaf gets no children');
  const expander = report.locator('img[id^="DTL"]').first();
  check(await expander.count() === 1, 'the customer page has a shape report');
  const hiddenBefore = await report.locator('tr[id]').evaluateAll(
    (rows) => rows.filter((row) => getComputedStyle(row).display === 'none').length);
  await expander.click();
  const hiddenAfter = await report.locator('tr[id]').evaluateAll(
    (rows) => rows.filter((row) => getComputedStyle(row).display === 'none').length);
  check(hiddenBefore > 0 && hiddenAfter < hiddenBefore,
        `the expander opens its level (hidden rows ${hiddenBefore} -> ${hiddenAfter})`);
  check((await expander.getAttribute('src')).endsWith('minus.gif'), 'the expander shows minus.gif when open');
  await shot('04-customer-shape-expanded');

  // Opening a sibling prunes the branch that was open.
  await click([root, 'Products']);
  check((await children([root, 'Regions'])).length === 0, 'opening Products removes the children of Regions');
  check((await report.locator('img').count()) > 4, 'Products shows its gallery of pictures');
  await shot('05-products-gallery');

  // A tree row: its records are tree nodes again, with leaf records beneath.
  await click([root, 'Staff']);
  const staff = await children([root, 'Staff']);
  check(staff.length > 0, `Staff (tree) lists its people: ${staff.join(', ')}`);
  // Down the hierarchy, depth first, until someone has orders (leaf
  // records of the tree) beneath.
  let clicksLeft = 12;
  async function findOrder(trail) {
    if (clicksLeft-- <= 0) return null;
    await click(trail);
    check(await heading() === trail[trail.length - 1], `${trail[trail.length - 1]} (tree record) shows its page`);
    const below = await item(trail).locator(':scope > ul > li').evaluateAll(
      (items) => items.map((li) => ({ tag: li.dataset.tag, text: li.querySelector('.label').textContent })));
    const leaf = below.find((child) => child.tag.endsWith('\u00bbleaf'));
    if (leaf) return [...trail, leaf.text];
    for (const person of below.filter((child) => child.tag.endsWith('\u00bbtree'))) {
      const found = await findOrder([...trail, person.text]);
      if (found) return found;
    }
    return null;
  }
  const order = await findOrder([root, 'Staff', staff[0]]);
  if (order) {
    await click(order);
    check(await heading() === order[order.length - 1], `${order[order.length - 1]} (leaf record of a tree) shows its page`);
    check(await item(order).getAttribute('data-key').then((key) => key.includes('\u00bbtreeleaf\u00bb')),
          'the key of the order marks it a leaf record of the tree');
  } else {
    check(false, 'someone on the staff has orders beneath');
  }
  await shot('06-staff-tree');

  // A fixed row and its rows; a shape report of two levels.
  await click([root, 'Sales']);
  check((await children([root, 'Sales'])).includes('Order book'), 'Sales (fixed) lists its rows');
  await click([root, 'Sales', 'Order book']);
  check(await heading() === 'Order book', 'Order book shows its page');
  const displayAll = report.locator('#DISPALL');
  if (await displayAll.count() > 0) {
    await displayAll.click();
    check(await report.locator('img[id^="DTL"][src$="minus.gif"]').count() > 0, 'Display All opens every level');
  }
  await shot('07-order-book-shape');

  // A node the role may not open: nothing is composed.
  const before = await page.locator('#report').getAttribute('src');
  await click([root, 'Margins'], { expectPage: false });
  check(await page.locator('#report').getAttribute('src') === before, 'Margins (roles 1:2) opens nothing for role 0');

  // Save downloads the page shown and logs it.
  await click([root, 'Sales'], { expectPage: true });
  await click([root, 'Sales', 'Order book']);
  const download = page.waitForEvent('download');
  await page.click('#save');
  const saved = await download;
  const savedPath = path.join(work, 'saved.htm');
  await saved.saveAs(savedPath);
  check(saved.suggestedFilename() === 'oReport.htm', `Save downloads ${saved.suggestedFilename()}`);
  check(fs.readFileSync(savedPath, 'utf8').includes('Order book'), 'the download is the page shown');
  await page.waitForFunction(() => !document.body.classList.contains('busy'));
  const lines = await eventLines();
  check(lines.includes(`Save: ${root}\\Sales\\Order book`), 'Save is logged with the node path');

  // Print opens the print dialog of the report pane; Preview opens the page alone.
  await page.evaluate(() => {
    const frameWindow = document.getElementById('report').contentWindow;
    frameWindow.print = () => { window.zarelPrinted = true; };
  });
  await page.click('#print');
  await page.waitForFunction(() => window.zarelPrinted === true);
  check(true, 'Print calls print() of the report pane');
  const popup = page.waitForEvent('popup');
  await page.click('#preview');
  const preview = await popup;
  await preview.waitForLoadState();
  check(new URL(preview.url()).pathname === '/site/oReport.htm', 'Preview opens the page alone');
  await preview.close();
  await page.waitForFunction(() => !document.body.classList.contains('busy'));
  const logged = await eventLines();
  check(logged.includes(`Print: ${root}\\Sales\\Order book`) && logged.includes(`Preview: ${root}\\Sales\\Order book`),
        'Print and Preview are logged');
  check(!logged.some((line) => line.includes('Error')), 'no error in the message pane');
  await shot('08-after-save-print-preview');

  // Refresh starts again at the front page with the first level.
  const refreshed = page.waitForResponse((response) => response.url().endsWith('/api/refresh'));
  await page.click('#refresh');
  await refreshed;
  await page.waitForFunction(() => !document.body.classList.contains('busy'));
  check((await children([root, 'Sales'])).length === 0, 'Refresh rebuilds the tree');
  check((await page.locator('#report').getAttribute('src')).startsWith('/site/fp.htm'), 'Refresh shows the front page');

  // A page of another site points the window here again and again (a link,
  // a script): the browser keeps its one session, and no new one starts.
  await click([root, 'Products']);
  const elsewhereServer = http.createServer((request, response) => {
    response.setHeader('Content-Type', 'text/html');
    response.end(`<!doctype html><script>location.href = ${JSON.stringify(address)};</script>`);
  });
  await new Promise((resolve) => elsewhereServer.listen(0, '127.0.0.1', resolve));
  // "localhost" is another site than "127.0.0.1" to the browser.
  const elsewhere = `http://localhost:${elsewhereServer.address().port}/`;
  let starts = 0;
  const countStarts = (request) => { if (request.url().endsWith('/api/session')) starts += 1; };
  page.on('request', countStarts);
  for (let i = 0; i < 5; i += 1) {
    await page.goto(elsewhere);
    await page.waitForURL(address);
    await page.locator('#tree li[aria-selected="true"]').first().waitFor();
    await page.waitForFunction(() => !document.body.classList.contains('busy'));
  }
  page.off('request', countStarts);
  elsewhereServer.close();
  check(starts === 0, `five navigations from another site start no session (${starts} started)`);
  check((await selected()).join() === 'Products', 'the session survives navigations from another site');

  // A second browser has a session of its own.
  const other = await browser.newContext({ viewport: { width: 1280, height: 860 } });
  const otherPage = await other.newPage();
  await otherPage.goto(address);
  await otherPage.locator('#tree li[role="treeitem"]').first().waitFor();
  check((await otherPage.locator('#tree li[aria-selected="true"] > .node .label').allTextContents()).join() === root,
        'a second browser starts on its own front page');
  await other.close();

  // Every node has an address: the address bar follows the clicks, Back and
  // Forward move between the clicked nodes, and the address opens its node
  // in a browser that has no session yet.
  const pathOf = (url) => new URL(url).searchParams.get('path');
  await click([root, 'Sales']);
  check(pathOf(page.url()) === `${root}\\Sales` && page.url().includes('%5CSales'),
        `the address bar names the node clicked: ${page.url()}`);
  await click([root, 'Sales', 'Order book']);
  const orderBookAddress = page.url();
  check(pathOf(orderBookAddress) === `${root}\\Sales\\Order book`, `a click adds an address: ${orderBookAddress}`);
  async function move(direction) {
    const opened = page.waitForResponse((response) => response.url().endsWith('/api/open'));
    const loaded = page.waitForResponse((response) => response.url().includes('/site/oReport.htm'));
    opened.catch(() => {});
    loaded.catch(() => {});
    if (direction === 'back') await page.goBack();
    else await page.goForward();
    await opened;
    await loaded;
    await page.waitForFunction(() => !document.body.classList.contains('busy'));
    await report.locator('p.mh').first().waitFor();
  }
  await move('back');
  check((await selected()).join() === 'Sales' && await heading() === 'Sales' && pathOf(page.url()) === `${root}\\Sales`,
        `Back opens the node clicked before (${(await selected()).join()}, page ${await heading()})`);
  await move('forward');
  check((await selected()).join() === 'Order book' && await heading() === 'Order book' &&
        page.url() === orderBookAddress,
        `Forward opens the node clicked after (${(await selected()).join()}, page ${await heading()})`);
  await move('back');
  check((await selected()).join() === 'Sales', 'Back again');
  await shot('09-back-to-sales');

  // The address in a new browser: its page starts a session at that node.
  const visitor = await browser.newContext({ viewport: { width: 1280, height: 860 } });
  const visitorPage = await visitor.newPage();
  visitorPage.on('pageerror', (error) => pageErrors.push(`visitor: ${error.message}`));
  visitorPage.on('console', (message) => {
    if (message.type() === 'error' && !message.text().includes('status of 401')) pageErrors.push(`visitor: ${message.text()}`);
  });
  const visitorSelected = () => visitorPage.locator('#tree li[aria-selected="true"] > .node .label').allTextContents();
  await visitorPage.goto(orderBookAddress);
  await visitorPage.waitForFunction(() => (document.getElementById('report').getAttribute('src') || '').startsWith('/site/oReport.htm'));
  const visitorReport = visitorPage.frameLocator('#report');
  await visitorReport.locator('p.mh').first().waitFor();
  check((await visitorSelected()).join() === 'Order book' &&
        (await visitorReport.locator('p.mh').first().textContent()).trim() === 'Order book',
        'the address opens its node in a new browser');
  check(visitorPage.url() === orderBookAddress, 'the address stays the node\'s');
  await visitorPage.screenshot({ path: path.join(out, '10-opened-by-address.png') });
  // A level that is not there: the path ends at the last node reached, and
  // the status line says so.
  await visitorPage.goto(`${address}?path=${encodeURIComponent(`${root}\\Sales\\No such report`)}`);
  await visitorPage.waitForFunction(() => document.getElementById('status').textContent !== '');
  const note = await visitorPage.locator('#status').textContent();
  check(note === `The address's path ends at '${root}\\Sales': there is no 'No such report' under it.`,
        `a missing level ends the path with a note: ${note}`);
  check((await visitorSelected()).join() === 'Sales', 'the path ends at the last node reached');
  check(pathOf(visitorPage.url()) === `${root}\\Sales`, 'the address names the node reached');
  await visitor.close();

  // Export: the session's site as a zip of static pages.
  const exported = page.waitForEvent('download');
  await page.click('#export');
  const zip = await exported;
  const zipPath = path.join(work, 'site.zip');
  await zip.saveAs(zipPath);
  check(zip.suggestedFilename() === 'brightwater-supplies.zip', `Export downloads ${zip.suggestedFilename()}`);
  check(fs.readFileSync(zipPath).subarray(0, 4).equals(Buffer.from('PK\x03\x04', 'latin1')), 'the download is a zip');
  await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Exported '));
  check(!(await page.locator('#export').isDisabled()), 'Export can be pressed again');
  await click([root, 'Sales', 'Order book']);
  check(await heading() === 'Order book', 'the session clicks on after the export');

  check(pageErrors.length === 0, `no script errors in the page${pageErrors.length ? ': ' + pageErrors.join('; ') : ''}`);
} catch (error) {
  failures.push(error.message);
  console.log(`FAILED: ${error.stack}`);
} finally {
  await browser.close();
  const ended = new Promise((resolve) => server.on('exit', (code, signal) => resolve({ code, signal })));
  server.kill('SIGTERM');
  const { code, signal } = await ended;
  check(code === 0, `the server stops cleanly on SIGTERM (exit ${code ?? signal})`);
  if (code !== 0) console.log(serverOutput);
  fs.rmSync(work, { recursive: true, force: true });
}

console.log(`screenshots in ${out}`);
if (failures.length > 0) {
  console.log(`${failures.length} check(s) failed`);
  process.exit(1);
}
console.log('all checks passed');
