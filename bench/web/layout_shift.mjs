// The page's Cumulative Layout Shift in Debian's headless Chromium
// (docs/performance.md, "Browser"): each load in a fresh tab, on a desktop
// window and on a phone (412 x 915 CSS pixels at a device pixel ratio of
// 2.625), the layout-shift entries of its first seconds summed, as
// Lighthouse sums those not caused by input. Prints the largest and the
// median sum of LOADS loads on each.
//
//   node bench/web/layout_shift.mjs [PAGE_DIR] [LOADS]     (from the top directory,
//   after npm ci in tests/web; PAGE_DIR defaults to build-web/web)
import {launchChromium, servePages} from './page_host.mjs';

const pageDir = process.argv[2] || 'build-web/web';
const loads = Number(process.argv[3] || 5);

const {server, origin} = await servePages(name => [pageDir, name]);
const browser = await launchChromium();
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
