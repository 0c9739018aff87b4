// Figures of the page in Debian's headless Chromium (docs/performance.md,
// "Browser"): load to first frame, file sizes, passes a second at the start
// pace and with a negative pacing count, the longest task of the page's main
// thread (its processor time, from a trace) at the start pace, in scrub mode,
// with k < 0 and at the start pace on a processor slowed four times (as
// Lighthouse's phone), and the page's memory while playing.
// A page that counts its passes (Module.passes) is read; in one that does
// not, the yield that ends each pass posts a message that goes round twice,
// so the messages count the passes. BEFORE_DIR, a page built from another commit, is
// measured side by side: its loads take turns with this page's.
//
//   node bench/web/web_bench.mjs [PAGE_DIR] [LOADS] [BEFORE_DIR]     (from the top
//   directory, after npm ci in tests/web; PAGE_DIR defaults to build-web/web)
import {readFileSync, readdirSync} from 'node:fs';
import {execFileSync} from 'node:child_process';
import path from 'node:path';
import zlib from 'node:zlib';
import {launchChromium, servePages} from './page_host.mjs';

const pageDir = process.argv[2] || 'build-web/web';
const loads = Number(process.argv[3] || 5);
const pages = [['this build', '/'], ...(process.argv[4] ? [[process.argv[4], '/before/']] : [])];

// Cross-origin isolated, so that the page may measure its own memory.
const {server, origin} = await servePages(
    url => url.startsWith('/before/') ? [process.argv[4], url.slice(7)] : [pageDir, url],
    {'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp'});
const browser = await launchChromium(['--enable-blink-features=ForceEagerMeasureMemory']);
// No service worker: every load is a first visit.
const context = await browser.newContext({viewport: {width: 480, height: 720},
                                          serviceWorkers: 'block'});
// Counts the frame pictures painted (drawn from a decoded picture, or put
// from the module's pixels) and the messages posted.
await context.addInitScript(() => {
  window.__paints = [];
  window.__messages = 0;
  for (const name of ['drawImage', 'putImageData']) {
    const draw = CanvasRenderingContext2D.prototype[name];
    CanvasRenderingContext2D.prototype[name] = function(...args) {
      if (this.canvas.id === 'display') window.__paints.push(performance.now());
      return draw.apply(this, args);
    };
  }
  const post = MessagePort.prototype.postMessage;
  MessagePort.prototype.postMessage = function(...args) {
    ++window.__messages;
    return post.apply(this, args);
  };
});

const median = values => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const passes = page => page.evaluate(() => Module.passes ?? window.__messages / 2);
// Passes a second, and a second of the page's main thread's processor time
// (which the machine's other work does not change).
const rate = async (page, seconds) => {
  const cdp = await context.newCDPSession(page);
  await cdp.send('Performance.enable');
  const thread = async () =>
    (await cdp.send('Performance.getMetrics')).metrics.find(m => m.name === 'ThreadTime').value;
  const [before, threadBefore, start] = [await passes(page), await thread(), Date.now()];
  await page.waitForTimeout(seconds * 1000);
  const [after, threadAfter] = [await passes(page), await thread()];
  await cdp.detach();
  return [(after - before) / ((Date.now() - start) / 1000), (after - before) / (threadAfter - threadBefore)];
};

// The processor time (ms) of the longest task of the page's main thread over
// `seconds`, from a trace; never more than the task lasted (the thread's
// clock now and then reads more than the wall clock).
const longestTask = async (page, seconds) => {
  const cdp = await context.newCDPSession(page);
  const frame = (await cdp.send('Page.getFrameTree')).frameTree.frame.id;
  await cdp.detach();
  await browser.startTracing(page, {categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline']});
  await page.waitForTimeout(seconds * 1000);
  const events = JSON.parse(await browser.stopTracing()).traceEvents;
  // The page's main thread: where its scripts run.
  const {pid, tid} = events.find(e => e.name === 'FunctionCall' && e.args.data?.frame === frame);
  return events.filter(e => e.pid === pid && e.tid === tid && e.name === 'RunTask' && e.tdur)
      .reduce((longest, e) => Math.max(longest, Math.min(e.tdur, e.dur) / 1000), 0);
};

// This browser's renderer processes: id, resident set (KiB) and processor
// time (s). The page's is the busy one: its playback loop never rests.
function renderers() {
  const seconds = t => t.split(/[-:]/).map(Number).reduce((a, b) => a * 60 + b, 0);
  const table = execFileSync('ps', ['-eo', 'pid=,ppid=,rss=,time=,args=']).toString().trim()
      .split('\n').map(line => line.trim().split(/\s+/)).map(([pid, ppid, rss, time, ...args]) =>
          ({pid: Number(pid), ppid: Number(ppid), rss: Number(rss), cpu: seconds(time),
            args: args.join(' ')}));
  const ours = new Set([process.pid]);  // the browser is our child
  for (let grew = true; grew;) {
    grew = false;
    for (const p of table) if (ours.has(p.ppid) && !ours.has(p.pid)) { ours.add(p.pid); grew = true; }
  }
  return table.filter(p => ours.has(p.pid) && p.args.includes('--type=renderer'))
      .sort((a, b) => b.cpu - a.cpu);
}

// Load to first frame: from the start of navigation to the first frame
// picture painted on the canvas, in fresh tabs, the pages taking turns.
const firstFrames = pages.map(() => []);
for (let i = 0; i < loads * pages.length; ++i) {
  const tab = await context.newPage();
  await tab.goto(origin + pages[i % pages.length][1].slice(1));
  await tab.waitForFunction(() => window.__paints.length > 0);
  firstFrames[i % pages.length].push(await tab.evaluate(() => window.__paints[0]));
  await tab.close();
}
console.log(`Chromium: ${browser.version()}`);

for (const [k, [name, at]] of pages.entries()) {
  const page = await context.newPage();
  await page.goto(origin + at.slice(1));
  await page.waitForFunction(() => window.__paints.length > 2);
  const startPace = await rate(page, 5);

  // Memory while playing: the resident set of the page's renderer process, the
  // page's JavaScript heap and the module's linear memory.
  await page.waitForTimeout(2000);
  const heap = await (await context.newCDPSession(page)).send('Runtime.getHeapUsage');
  const linear = await page.evaluate(() => Module.HEAP8.length);
  const measured = await page.evaluate(async () => (await performance.measureUserAgentSpecificMemory()).bytes);
  const processes = renderers();

  const tasks = {'start pace': await longestTask(page, 4)};
  const cdp = await context.newCDPSession(page);
  await cdp.send('Emulation.setCPUThrottlingRate', {rate: 4});
  tasks['start pace, processor slowed 4x'] = await longestTask(page, 8);
  await cdp.send('Emulation.setCPUThrottlingRate', {rate: 1});

  // A pointer dragged beyond the left edge gives a negative X, so a negative
  // pacing count: no counted iterations, one pump a pass.
  const box = await page.locator('canvas').boundingBox();
  await page.mouse.move(box.x + 100, box.y + 100);
  await page.mouse.down();
  await page.mouse.move(box.x - 10, box.y + 100);
  await page.waitForTimeout(500);
  const negativePace = await rate(page, 3);
  tasks['k < 0'] = await longestTask(page, 3);
  await page.mouse.up();
  // A click there: scrub mode, k = 10000.
  await page.mouse.click(box.x + 100, box.y + 100);
  tasks['scrub mode'] = await longestTask(page, 3);

  await page.close();

  console.log(`== ${name}\nload to first frame, ms (each of ${loads} loads): ${firstFrames[k].map(t => t.toFixed(0)).join(' ')}; median ${median(firstFrames[k]).toFixed(0)}`);
  let total = 0;
  for (const file of readdirSync(k ? name : pageDir).sort()) {
    const body = readFileSync(path.join(k ? name : pageDir, file));
    total += zlib.gzipSync(body, {level: 9}).length;
    console.log(`${file}: ${body.length} bytes, gzip -9 ${zlib.gzipSync(body, {level: 9}).length} bytes`);
  }
  console.log(`all files, gzip -9: ${total} bytes`);
  console.log(`passes a second at the start pace: ${startPace[0].toFixed(1)} (a processor second: ${startPace[1].toFixed(1)})`);
  console.log(`passes a second with k < 0: ${negativePace[0].toFixed(0)} (a processor second: ${negativePace[1].toFixed(0)})`);
  for (const [pace, ms] of Object.entries(tasks)) {
    console.log(`longest main-thread task, processor time, ${pace}: ${ms.toFixed(1)} ms`);
  }
  console.log(`the page's renderer process (the busiest), resident set, MiB: ${(processes[0].rss / 1024).toFixed(1)} (renderers, by processor time: ${processes.map(p => `${(p.rss / 1024).toFixed(1)} MiB ${p.cpu} s`).join(', ')})`);
  console.log(`JavaScript heap used / total, MiB: ${(heap.usedSize / 1048576).toFixed(1)} / ${(heap.totalSize / 1048576).toFixed(1)}`);
  console.log(`module's linear memory, MiB: ${(linear / 1048576).toFixed(0)}`);
  console.log(`the page's memory (performance.measureUserAgentSpecificMemory), MiB: ${(measured / 1048576).toFixed(1)}`);
}
await browser.close();
server.close();
