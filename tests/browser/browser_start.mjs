// The start-up the browser tests share: their command line (--zarel PATH,
// --out DIR for screenshots, --chromium PATH), playwright-core, Debian's
// Chromium and the zarel program found or the test ended with status 2
// (cannot run), headless Chromium launched as every test wants it, and
// their screenshots of a page with its report pane.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));

export function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at > 0 && at + 1 < process.argv.length ? process.argv[at + 1] : fallback;
}

// What a test named `name` (its messages start with it) needs, or exit 2.
export async function startBrowserTest(name) {
  const zarel = path.resolve(option('--zarel', path.join(here, '../../build/apps/zarel/zarel')));
  const out = path.resolve(option('--out', path.join(here, 'screenshots')));
  const chromiumPath = option('--chromium', '/usr/bin/chromium');

  let chromium;
  try {
    ({ chromium } = await import('playwright-core'));
  } catch {
    console.error(`${name}: playwright-core is missing; run "npm ci" in ${here}`);
    process.exit(2);
  }
  if (!fs.existsSync(chromiumPath)) {
    console.error(`${name}: no Chromium at ${chromiumPath}; run scripts/install-deps --browser`);
    process.exit(2);
  }
  if (!fs.existsSync(zarel)) {
    console.error(`${name}: no zarel program at ${zarel}; build it first`);
    process.exit(2);
  }
  // Headless Chromium as root in a container: no sandbox, no GPU, and no
  // reliance on a small /dev/shm. The screenshot folder is made first.
  const launchBrowser = () => {
    fs.mkdirSync(out, { recursive: true });
    return chromium.launch({
      executablePath: chromiumPath,
      args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
    });
  };
  return { zarel, out, launchBrowser };
}

// Waits until the pictures of the page's report pane have arrived (loaded or
// failed), checks that none is broken (check(condition, what) records the
// result under the screenshot's name), and saves the page as out/NAME.png.
// A page without a report pane is taken as it is.
export async function reportScreenshot(page, out, name, check) {
  const frame = page.frame({ name: 'report' });
  if (frame) {
    await frame.evaluate(() => Promise.all([...document.images].map((image) => (image.complete
      ? null : new Promise((resolve) => { image.onload = resolve; image.onerror = resolve; })))));
    const broken = await frame.evaluate(() => [...document.images]
      .filter((image) => image.naturalWidth === 0).map((image) => image.getAttribute('src')));
    check(broken.length === 0, `${name}: every picture of the page loads${broken.length ? ': ' + broken.join(', ') : ''}`);
  }
  await page.screenshot({ path: path.join(out, `${name}.png`) });
}
