// The page's Cumulative Layout Shift in Debian's headless Chromium
// (docs/performance.md, "Browser"): each load in a fresh tab, on a desktop
// window and on a phone (412 x 915 CSS pixels at a device pixel ratio of
// 2.625), the layout-shift entries of its first seconds summed, as
// Lighthouse sums those not caused by input. Prints the largest and the
// median sum of LOADS loads on each.
//
//   node bench/web/layout_shift.mjs [PAGE_DIR] [LOADS]     (from the top directory,
//   after npm ci in tests/web; PAGE_DIR defaults to build-web/web)
import {createServer} from 'node:http';
import {readFileSync} from 'node:fs';
import path from 'node:path';
import {createRequire} from 'node:module';

const require = createRequire(path.resolve('tests/web/package.json'));
const {chromium} = require('playwright-core');
const pageDir = process.argv[2] || 'build-web/web';
const loads = Number(process.argv[3] || 5);

const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
               '.png': 'image/png', '.css': 'text/css', '.webmanifest': 'application/manifest+json'};
const server = createServer((request, response) => {
  const name = new URL(request.url, 'http://x').pathname.replace(/\/$/, '/index.html');
  try {
    const body = readFileSync(path.join(pageDir, path.normalize(name)));
    response.writeHead(200, {'Content-Type': TYPES[path.extname(name)], 'Cache-Control': 'no-store'});
    response.end(body);
  } catch {
    response.writeHead(404).end();
  }
});
await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
const origin = `http://127.0.0.1:${server.address().port}/`;

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const screens = {
  desktop: {viewport: {width: 480, height: 720}, deviceScaleFactor: 1},
  phone: {viewport: {width: 412, height: 915}, deviceScaleFactor: 2.625, isMobile: true,
          hasTouch: true},
};
for (const [name, screen] of Object.entries(screens)) {
  const sums = [];
  for (let i = 0; i < loads; ++i) {
    const context = await browser.newContext({...screen, serviceWorkers: 'block'});
    await context.addInitScript(() => {
      window.__shift = 0;
      new PerformanceObserver(list => {
        for (const entry of list.getEntries()) {
          if (!entry.hadRecentInput) window.__shift += entry.value;
        }
      }).observe({type: 'layout-shift', buffered: true});
    });
    const page = await context.newPage();
    await page.goto(origin, {waitUntil: 'load'});
    await page.waitForFunction(() => document.getElementById('frame').textContent !== '');
    await page.waitForTimeout(2000);
    sums.push(await page.evaluate(() => window.__shift));
    await context.close();
  }
  sums.sort((a, b) => a - b);
  console.log(`${name}: largest ${sums[sums.length - 1].toFixed(4)}, ` +
              `median ${sums[Math.floor(sums.length / 2)].toFixed(4)} over ${loads} loads`);
}
await browser.close();
server.close();
