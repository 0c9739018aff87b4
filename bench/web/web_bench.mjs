// Figures of the page in Debian's headless Chromium (docs/performance.md,
// "Browser"): load to first frame, file sizes, passes a second at the start
// pace and with a negative pacing count, and the page's memory while playing.
// The first frame is the first paint of a frame picture on the canvas (drawn
// from a decoded ImageBitmap, or put from the module's pixels); the passes
// are counted by the yield that ends each, a message that goes round a
// MessageChannel twice (a page may paint less often than it passes). With --before, a page built
// from another commit is measured side by side, its loads taking turns with
// this page's in the same browser.
//
//   node bench/web/web_bench.mjs [PAGE_DIR] [LOADS] [--before OTHER_PAGE_DIR]
//   (from the top directory, after npm ci in tests/web; PAGE_DIR defaults to
//   build-web/web)
import {createServer} from 'node:http';
import {readFileSync, readdirSync} from 'node:fs';
import {execFileSync} from 'node:child_process';
import path from 'node:path';
import zlib from 'node:zlib';
import {createRequire} from 'node:module';

const require = createRequire(path.resolve('tests/web/package.json'));
const {chromium} = require('playwright-core');
const args = process.argv.slice(2);
const before = args.includes('--before') ? args.splice(args.indexOf('--before'), 2)[1] : null;
const pageDir = args[0] || 'build-web/web';
const loads = Number(args[1] || 5);

const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
               '.png': 'image/png', '.css': 'text/css', '.webmanifest': 'application/manifest+json'};
const serve = async pageDir => {
  const server = createServer((request, response) => {
    const name = new URL(request.url, 'http://x').pathname.replace(/^\/$/, '/index.html');
    try {
      const body = readFileSync(path.join(pageDir, path.normalize(name)));
      // Cross-origin isolated, so that the page may measure its own memory.
      response.writeHead(200, {'Content-Type': TYPES[path.extname(name)], 'Cache-Control': 'no-store',
                               'Cross-Origin-Opener-Policy': 'same-origin',
                               'Cross-Origin-Embedder-Policy': 'require-corp'});
    response.end(body);
  } catch {
    response.writeHead(404).end();
  }
  });
  await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
  return {server, origin: `http://127.0.0.1:${server.address().port}/`};
};

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--enable-blink-features=ForceEagerMeasureMemory'],
});
const settings = {viewport: {width: 480, height: 720}};
// Counts the frame pictures painted on the canvas, and the messages posted.
const countPaints = () => {
  window.__paints = [];
  window.__messages = 0;
  const post = MessagePort.prototype.postMessage;
  MessagePort.prototype.postMessage = function(...args) {
    ++window.__messages;
    return post.apply(this, args);
  };
  const count = (name, isPicture) => {
    const paint = CanvasRenderingContext2D.prototype[name];
    CanvasRenderingContext2D.prototype[name] = function(...args) {
      if (this.canvas.id === 'display' && isPicture(args[0])) window.__paints.push(performance.now());
      return paint.apply(this, args);
    };
  };
  count('drawImage', image => image instanceof ImageBitmap);
  count('putImageData', () => true);
};
const newContext = async () => {
  const context = await browser.newContext(settings);
  await context.addInitScript(countPaints);
  return context;
};

const median = values => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const rate = async (page, seconds) => {
  const before = await page.evaluate(() => window.__messages);
  const start = Date.now();
  await page.waitForTimeout(seconds * 1000);
  const after = await page.evaluate(() => window.__messages);
  return (after - before) / 2 / ((Date.now() - start) / 1000);
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

// Paces and memory while playing, alone in the browser.
async function playing({origin}) {
  const context = await newContext();
  const page = await context.newPage();
  await page.goto(origin);
  await page.waitForFunction(() => window.__paints.length > 2);
  const startPace = await rate(page, 5);

  // Memory while playing: the resident set of the page's renderer process, the
  // page's JavaScript heap and the module's linear memory.
  await page.waitForTimeout(2000);
  const heap = await (await context.newCDPSession(page)).send('Runtime.getHeapUsage');
  const linear = await page.evaluate(() => Module.HEAP8.length);
  const measured = await page.evaluate(async () => (await performance.measureUserAgentSpecificMemory()).bytes);
  const processes = renderers();

  // A pointer dragged beyond the left edge gives a negative X, so a negative
  // pacing count: no counted iterations, one pump a pass.
  const box = await page.locator('canvas').boundingBox();
  await page.mouse.move(box.x + 100, box.y + 100);
  await page.mouse.down();
  await page.mouse.move(box.x - 10, box.y + 100);
  await page.waitForTimeout(500);
  const negativePace = await rate(page, 3);
  await page.mouse.up();
  await context.close();
  return {startPace, negativePace, heap, linear, measured, processes};
}

// Load to first frame: from the start of navigation to the first frame
// picture painted on the canvas. A first visit: a fresh browser context.
async function firstFrame({origin}) {
  const context = await newContext();
  const tab = await context.newPage();
  await tab.goto(origin);
  await tab.waitForFunction(() => window.__paints.length > 0);
  const time = await tab.evaluate(() => window.__paints[0]);
  await context.close();
  return time;
}

// A visit after the first, where the page has a service worker: it serves
// the page's files from what it kept.
async function laterFrames({origin}) {
  const context = await newContext();
  const first = await context.newPage();
  await first.goto(origin);
  const kept = await first.evaluate(async () => {
    if (!navigator.serviceWorker) return false;
    for (let i = 0; i < 200 && !navigator.serviceWorker.controller; ++i) {
      await new Promise(resolve => setTimeout(resolve, 20));
    }
    return !!navigator.serviceWorker.controller;
  });
  await first.close();
  const times = [];
  for (let i = 0; kept && i < loads; ++i) {
    const tab = await context.newPage();
    await tab.goto(origin);
    await tab.waitForFunction(() => window.__paints.length > 0);
    times.push(await tab.evaluate(() => window.__paints[0]));
    await tab.close();
  }
  await context.close();
  return times;
}

const pages = [{name: 'this build', dir: pageDir, ...(await serve(pageDir)), firstFrames: []}];
if (before) pages.push({name: `before (${before})`, dir: before, ...(await serve(before)), firstFrames: []});
for (let i = 0; i < loads; ++i) {
  for (const page of pages) page.firstFrames.push(await firstFrame(page));
}
console.log(`Chromium: ${browser.version()}`);
for (const page of pages) {
  const play = await playing(page);
  const later = await laterFrames(page);
  console.log(`== ${page.name}: ${page.dir}`);
  console.log(`load to first frame, first visit, ms (each of ${loads} loads): ${page.firstFrames.map(t => t.toFixed(0)).join(' ')}; median ${median(page.firstFrames).toFixed(0)}`);
  if (later.length) {
    console.log(`load to first frame, later visits (service worker), ms: ${later.map(t => t.toFixed(0)).join(' ')}; median ${median(later).toFixed(0)}`);
  }
  let total = 0, totalGzip = 0;
  for (const name of readdirSync(page.dir).sort()) {
    const body = readFileSync(path.join(page.dir, name));
    const gzip = zlib.gzipSync(body, {level: 9}).length;
    total += body.length;
    totalGzip += gzip;
    console.log(`${name}: ${body.length} bytes, gzip -9 ${gzip} bytes`);
  }
  console.log(`all files: ${total} bytes, gzip -9 ${totalGzip} bytes`);
  console.log(`passes a second at the start pace: ${play.startPace.toFixed(1)}`);
  console.log(`passes a second with k < 0: ${play.negativePace.toFixed(0)}`);
  console.log(`the page's renderer process (the busiest), resident set, MiB: ${(play.processes[0].rss / 1024).toFixed(1)} (renderers, by processor time: ${play.processes.map(p => `${(p.rss / 1024).toFixed(1)} MiB ${p.cpu} s`).join(', ')})`);
  console.log(`JavaScript heap used / total, MiB: ${(play.heap.usedSize / 1048576).toFixed(1)} / ${(play.heap.totalSize / 1048576).toFixed(1)}`);
  console.log(`module's linear memory, MiB: ${(play.linear / 1048576).toFixed(0)}`);
  console.log(`the page's memory (performance.measureUserAgentSpecificMemory), MiB: ${(play.measured / 1048576).toFixed(1)}`);
}
await browser.close();
for (const page of pages) page.server.close();
