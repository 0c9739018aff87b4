// Drives the dorvik page in Debian's headless Chromium for the end-to-end
// driver (tests/e2e/dorvik_e2e.py --web): serves the page's folder on
// 127.0.0.1 from here, opens it, and runs one JSON command per stdin line,
// answering each with one JSON line on stdout. Input goes in as real
// browser input events; "grab" answers with the pixels of a part of the
// canvas and "shot" with a screenshot of it, as B, G, R, 0 pixels (base64),
// the form the X screenshots take. A page opens on a desktop, phone or
// tablet, with touch or not, or inside a course page of another site. A copy
// of the page is also served in the folder /sibling/, and "serve" swaps the
// folder served at the top for another build's.
//
//   node bridge.mjs PAGE_DIR [CHROMIUM]
import {createServer} from 'node:http';
import {readFile, writeFile} from 'node:fs/promises';
import {createRequire} from 'node:module';
import {createInterface} from 'node:readline';
import path from 'node:path';
import zlib from 'node:zlib';
import {chromium} from 'playwright-core';

let [pageDir, executablePath = '/usr/bin/chromium'] = process.argv.slice(2);
if (!pageDir) {
  console.error('usage: node bridge.mjs PAGE_DIR [CHROMIUM]');
  process.exit(2);
}

const siblingDir = pageDir;
const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
               '.png': 'image/png', '.css': 'text/css', '.webmanifest': 'application/manifest+json'};
const served = [];  // [path, status] of every request the server answered
const server = createServer(async (request, response) => {
  const asked = new URL(request.url, 'http://x').pathname;
  const folder = asked.startsWith('/sibling/') ? siblingDir : pageDir;
  const name = asked.replace(/^\/sibling\//, '/').replace(/^\/$/, '/index.html');
  if (name === '/course.html') {  // asked for as http://localhost:PORT/, another site
    return response.end(`<!doctype html><title>A course page</title><link rel="icon" href="data:,">
        <iframe src="${origin}/" title="Dorvik" width="400" height="760"></iframe>`);
  }
  try {
    const body = await readFile(path.join(folder, path.normalize(name)));
    response.writeHead(200, {'Content-Type': TYPES[path.extname(name)] || 'application/octet-stream',
                             'Cache-Control': 'no-store'});
    response.end(body);
    served.push([name, 200]);
  } catch {
    response.writeHead(404).end();
    served.push([name, 404]);
  }
});
await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
const port = server.address().port;
const origin = `http://127.0.0.1:${port}`;

// Chromium's own start-up traffic stays off: nothing here reaches a network.
// Playwright gives the browser a fresh profile directory of its own.
const browser = await chromium.launch({
  executablePath,
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--force-color-profile=srgb'],
});
const DEVICES = {
  desktop: {viewport: {width: 480, height: 720}, deviceScaleFactor: 1},
  phone: {viewport: {width: 412, height: 915}, deviceScaleFactor: 2.625, isMobile: true, hasTouch: true},
  tablet: {viewport: {width: 1024, height: 1366}, deviceScaleFactor: 2, isMobile: true, hasTouch: true},
};
let context = null;     // a fresh one for each page: a first visit, no service worker yet
let page = null;
let target = null;      // the page's frame: the page itself, or the course page's iframe
let cdp = null;         // the page's own DevTools session: one round trip a look
let box = null;         // the canvas's place on the page, CSS pixels
let unit = 1;           // CSS pixels per client-area pixel
let touch = false;      // the pointer is a finger, the keys are tapped
let finger = false;     // the finger is down
let pointer = [0, 0];   // the pointer, in canvas pixels
let foreign = [];       // requests that went anywhere but our server
let errors = [];        // console errors and uncaught exceptions

let inputs = Promise.resolve();  // the input sent so far, in order
let inputError = null;

function input(send) {
  inputs = inputs.then(send).catch(error => { inputError = inputError || error; });
  return {};
}

async function locate() {  // the canvas's place and scale, as the page fitted it
  box = await target.locator('canvas').boundingBox();
  unit = await target.evaluate(
      () => parseFloat(getComputedStyle(document.documentElement).getPropertyValue('--u')));
}

async function open({device = 'desktop', embed = false, touch: byTouch = false, at = '/', reduced = false}) {
  await inputs;
  if (context) await context.close();
  context = await browser.newContext({...DEVICES[device], reducedMotion: reduced ? 'reduce' : 'no-preference'});
  page = await context.newPage();
  touch = byTouch;
  finger = false;
  foreign = [];
  errors = [];
  served.length = 0;
  page.on('request', r => { if (!r.url().startsWith(origin)) foreign.push(r.url()); });
  page.on('console', m => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', e => errors.push(String(e)));
  await page.goto(embed ? `http://localhost:${port}/course.html` : origin + at, {waitUntil: 'load'});
  target = page.frames().find(frame => frame.url().startsWith(origin));
  cdp = await context.newCDPSession(page);
  // The same screen, set again through DevTools: screenshots then count
  // device pixels, and take them without changing the page's device pixel
  // ratio while they do (the context's own screen changes it for a moment).
  const {viewport: {width, height}, deviceScaleFactor, isMobile = false} = DEVICES[device];
  await cdp.send('Emulation.setDeviceMetricsOverride', {
    width, height, deviceScaleFactor, mobile: isMobile});
  await locate();
  return {};
}

// An expression worked out in the page: through the page's own DevTools
// session, or in the course page's iframe (another process) through Playwright.
async function evaluate(expression) {
  if (target !== page.mainFrame()) return target.evaluate(expression);
  const {result, exceptionDetails} = await cdp.send('Runtime.evaluate', {
    expression, returnByValue: true, awaitPromise: true});
  if (exceptionDetails) throw new Error(exceptionDetails.text);
  return result.value;
}

const touchAt = (type, points) => cdp.send('Input.dispatchTouchEvent', {
  type, touchPoints: points.map(([x, y]) => ({x, y}))});
const onPage = ([x, y]) => [box.x + x * unit, box.y + y * unit];

// A PNG screenshot of a part of the page (CSS pixels), a device pixel to a
// pixel (the screen is set through DevTools, see "open").
async function capture(clip) {
  const shot = await cdp.send('Page.captureScreenshot', {
    format: 'png', optimizeForSpeed: true, clip: {...clip, scale: 1}});
  return Buffer.from(shot.data, 'base64');
}

// R, G, B, A in place to B, G, R, 0: the form of the X screenshots.
function rgbaToBgrx(pixels) {
  for (let i = 0; i < pixels.length; i += 4) {
    const red = pixels[i];
    pixels[i] = pixels[i + 2]; pixels[i + 2] = red; pixels[i + 3] = 0;
  }
  return pixels;
}

// A PNG screenshot (8-bit RGB or RGBA, not interlaced) to B, G, R, 0 pixels.
function pngToBgrx(png) {
  let pos = 8, width = 0, height = 0, type = 0;
  const data = [];
  while (pos < png.length) {
    const length = png.readUInt32BE(pos), tag = png.toString('latin1', pos + 4, pos + 8);
    const body = png.subarray(pos + 8, pos + 8 + length);
    if (tag === 'IHDR') {
      width = body.readUInt32BE(0); height = body.readUInt32BE(4); type = body[9];
      if (body[8] !== 8 || (type !== 2 && type !== 6) || body[12] !== 0) {
        throw new Error('unexpected PNG format');
      }
    } else if (tag === 'IDAT') {
      data.push(body);
    }
    pos += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const bpp = type === 6 ? 4 : 3, stride = width * bpp;
  const rows = Buffer.alloc(stride * height), out = Buffer.alloc(width * height * 4);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)], src = y * (stride + 1) + 1, dst = y * stride;
    for (let i = 0; i < stride; ++i) {
      const a = i >= bpp ? rows[dst + i - bpp] : 0, b = y > 0 ? rows[dst - stride + i] : 0;
      const c = i >= bpp && y > 0 ? rows[dst - stride + i - bpp] : 0;
      let p = raw[src + i];
      if (filter === 1) p += a;
      else if (filter === 2) p += b;
      else if (filter === 3) p += (a + b) >> 1;
      else if (filter === 4) {
        const q = a + b - c, pa = Math.abs(q - a), pb = Math.abs(q - b), pc = Math.abs(q - c);
        p += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      rows[dst + i] = p & 255;
    }
  }
  for (let i = 0, j = 0; i < width * height; ++i, j += bpp) {
    out[4 * i] = rows[j + 2]; out[4 * i + 1] = rows[j + 1]; out[4 * i + 2] = rows[j];
  }
  return out;
}

// The client area's own pixels, which the program draws and the page's
// canvas shows (at its size, or each pixel a block of several); the canvas
// itself until the program has started.
const clientArea = `const clientArea = () => window.Module?.clientArea || document.querySelector('canvas');`;

const commands = {
  open,
  // The client area's pixels: one turn of the page's main thread, which is
  // free only between two passes of the playback loop ("shot" checks how
  // the screen shows them).
  async grab({x, y, w, h}) {
    const value = await evaluate(`(() => {
        ${clientArea}
        const rgba = clientArea().getContext('2d')
            .getImageData(${x}, ${y}, ${w}, ${h}).data;
        let text = '';
        for (let i = 0; i < rgba.length; i += 0x8000) {
          text += String.fromCharCode.apply(null, rgba.subarray(i, i + 0x8000));
        }
        return btoa(text);
      })()`);
    return {pixels: rgbaToBgrx(Buffer.from(value, 'base64')).toString('base64')};
  },
  // What "grab" would answer, as its SHA-256 (hex) worked out in the page: a
  // look that moves 64 characters rather than the pixels, so that the driver
  // can look once every pass of the program's loop. With it, in the same
  // turn of the page, the frame and set that the lift chart's cursor marks
  // (none where the page has no chart, or has not drawn it yet).
  async digest({x, y, w, h}) {
    const [digest, cursor] = await evaluate(`(async () => {
        ${clientArea}
        const pixels = clientArea().getContext('2d')
            .getImageData(${x}, ${y}, ${w}, ${h}).data;
        const mark = document.querySelector('#chart .cursor');
        const cursor = document.body.classList.contains('no-chart') || !mark ? null :
            [Number(mark.dataset.frame), document.getElementById('lesson').dataset.set];
        for (let i = 0; i < pixels.length; i += 4) {
          const red = pixels[i];
          pixels[i] = pixels[i + 2]; pixels[i + 2] = red; pixels[i + 3] = 0;
        }
        const sum = new Uint8Array(await crypto.subtle.digest('SHA-256', pixels));
        return [Array.from(sum, byte => byte.toString(16).padStart(2, '0')).join(''), cursor];
      })()`);
    return {digest, cursor};
  },
  // The lift chart: given the focus, or tapped (clicked) over a frame.
  async chart({frame}) {
    await inputs;
    const chart = target.locator('#chart');
    if (frame === undefined) return chart.focus().then(() => ({}));
    const [x, y] = await chart.evaluate((e, f) => {
      const [px, py] = e.querySelector('polyline').getAttribute('points').split(' ')[f - 1].split(',');
      const box = e.getBoundingClientRect();
      return [box.x + Number(px), box.y + Number(py) - 10];
    }, frame);
    return input(() => touch ? page.touchscreen.tap(x, y) : page.mouse.click(x, y));
  },
  // The key for the parts' names, and where the names and their leaders' ends
  // stand, in the canvas's pixels (client area).
  names() { return input(() => target.locator('#names-key')[touch ? 'tap' : 'click']()); },
  async labels() {
    return {labels: await target.evaluate(() => {
      const canvas = document.getElementById('display').getBoundingClientRect();
      const scale = canvas.width / document.querySelector('#names svg').viewBox.baseVal.width;
      const leaders = [...document.querySelectorAll('#names line')];
      return [...document.querySelectorAll('.part-name')].filter(e => e.offsetParent).map((e, i) => {
        const box = e.getBoundingClientRect();
        return {name: e.textContent, box: [(box.left - canvas.left) / scale, (box.top - canvas.top) / scale,
                                           box.width / scale, box.height / scale],
                end: [Number(leaders[i].getAttribute('x2')), Number(leaders[i].getAttribute('y2'))]};
      });
    })};
  },
  // A real screenshot of a part of the canvas (client-area pixels), as the
  // compositor shows it, in device pixels: unit x ratio of them a pixel. With
  // it, where it starts in the part's pixels, and the device pixels a pixel.
  async shot({x, y, w, h}) {
    const ratio = await page.evaluate(() => window.devicePixelRatio);
    const left = Math.round(box.x * ratio), top = Math.round(box.y * ratio);
    const across = (Math.round((box.x + box.width) * ratio) - left) / Math.round(box.width / unit);
    const down = (Math.round((box.y + box.height) * ratio) - top) / Math.round(box.height / unit);
    const from = [Math.round(left + x * across), Math.round(top + y * down)];
    // (A quarter of a device pixel in: DevTools rounds the clip's CSS pixels
    // down to device pixels, and 38 / 2.625 * 2.625 is 37.999...)
    const png = await capture({x: (from[0] + 0.25) / ratio, y: (from[1] + 0.25) / ratio,
                               width: Math.round(w * across) / ratio,
                               height: Math.round(h * down) / ratio});
    return {width: png.readUInt32BE(16), height: png.readUInt32BE(20),
            pixels: pngToBgrx(png).toString('base64'),
            start: [(from[0] - left) / across - x, (from[1] - top) / down - y], scale: [across, down]};
  },
  // Input is sent in order but not waited for: the page acknowledges an
  // event only between two passes, and a look at the canvas right after a key
  // must not miss the frame that the key brought.
  key({key}) { return input(() => page.keyboard.press(key)); },
  // An on-screen key, by the start of its accessible name: tapped or clicked.
  press({label}) {
    return input(() => target.locator(`#keys button[aria-label^="${label} "]`)[touch ? 'tap' : 'click']());
  },
  // With touch, the finger dragged there: put down where the pointer was, if
  // it was lifted, and kept down for the next move.
  move({x, y}) {
    const from = pointer;
    pointer = [x, y];
    if (!touch) return input(() => page.mouse.move(...onPage([x, y])));
    return input(async () => {
      if (!finger) await touchAt('touchStart', [onPage(from)]);
      finger = true;
      await touchAt('touchMove', [onPage([x, y])]);
    });
  },
  down() { return input(() => page.mouse.down()); },
  up() { return input(() => page.mouse.up()); },
  // With touch, taps at the pointer, the finger first lifted.
  click({repeat = 1, delay = 0}) {
    const at = onPage(pointer);
    if (!touch) {
      return input(() => repeat === 2 ? page.mouse.dblclick(...at, {delay})
                                      : page.mouse.click(...at, {delay}));
    }
    return input(async () => {
      if (finger) await touchAt('touchEnd', []);
      finger = false;
      for (let i = 0; i < repeat; ++i) await page.touchscreen.tap(...at);
    });
  },
  // The same page on another screen: its size in CSS pixels and its device
  // pixel ratio changed at once, as a browser window moved to another display.
  async device({width, height, ratio}) {
    await inputs;
    await page.evaluate(() => {  // the page's fit to the new screen, once it has run
      window.refitted = new Promise(r => document.getElementById('display')
          .addEventListener('fitted', r, {once: true}));
    });
    // A new ratio alone reaches the page's media queries only with the next
    // change of size, in DevTools' emulation: a pixel narrower first.
    for (const across of [width - 1, width]) {
      await cdp.send('Emulation.setDeviceMetricsOverride', {
        width: across, height, deviceScaleFactor: ratio, mobile: true});
      await page.waitForFunction(([w, r]) => document.documentElement.clientWidth === w &&
                                             window.devicePixelRatio === r, [across, ratio]);
    }
    await page.evaluate(() => window.refitted);
    await page.evaluate(() => new Promise(r => requestAnimationFrame(() => r())));
    return locate().then(() => ({}));
  },
  // The page again, from what its service worker kept, with the server
  // stopped; "online" starts it again on the same port.
  async offline() {
    await inputs;
    await page.evaluate(async () => {
      await navigator.serviceWorker.ready;
      while (!navigator.serviceWorker.controller) await new Promise(r => setTimeout(r, 20));
    });
    await new Promise(resolve => { server.close(resolve); server.closeAllConnections(); });
    served.length = 0;
    await page.reload({waitUntil: 'load'});
    return locate().then(() => ({}));
  },
  // The page again, as a reload does, or at another path of the server.
  async go({at}) {
    await (at ? page.goto(origin + at, {waitUntil: 'load'}) : page.reload({waitUntil: 'load'}));
    return locate().then(() => ({}));
  },
  serve({dir}) { pageDir = dir; return {}; },  // another build, as a new release
  // Once a service worker controls the page: the caches, whether a new worker
  // is on its way, and the build that the markup and style sheet came from.
  kept() {
    return page.evaluate(async () => {
      const registration = await navigator.serviceWorker.ready;
      while (!navigator.serviceWorker.controller) await new Promise(r => setTimeout(r, 20));
      return {caches: await caches.keys(), updating: !!(registration.installing || registration.waiting),
              build: [document.lastChild.nodeValue, getComputedStyle(document.body).content]};
    });
  },
  async axe() {  // axe-core's violations: each rule, and where
    await evaluate(await readFile(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8'));
    return {violations: await evaluate('axe.run().then(r => r.violations.map(v => [v.id, v.nodes.map(n => n.target)]))')};
  },
  async online() {
    if (!server.listening) await new Promise(resolve => server.listen(port, '127.0.0.1', resolve));
    return {};
  },
  // The page's main thread's tasks in a trace: how many, the longest one's processor time (ms).
  async tasks({seconds}) {
    const frame = (await cdp.send('Page.getFrameTree')).frameTree.frame.id;
    await browser.startTracing(page, {categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline']});
    await page.waitForTimeout(seconds * 1000);
    const events = JSON.parse(await browser.stopTracing()).traceEvents;
    const {pid, tid} = events.find(e => e.name === 'FunctionCall' && e.args.data?.frame === frame) || {};
    const times = events.filter(e => e.pid === pid && e.tid === tid && e.name === 'RunTask' && e.tdur)
        .map(e => Math.min(e.tdur, e.dur) / 1000);  // the thread clock can pass the wall clock
    return {count: times.length, longest: times.reduce((a, b) => Math.max(a, b), 0)};
  },
  async state() {
    const page_state = await target.evaluate(() => ({
      title: document.title,
      titleElement: document.querySelector('title').textContent,
      titleBar: document.getElementById('titlebar').textContent,
      titleBarWhiteSpace: getComputedStyle(document.getElementById('titlebar')).whiteSpace,
      canvases: document.querySelectorAll('canvas').length,
      canvasSize: [document.querySelector('canvas').clientWidth,
                   document.querySelector('canvas').clientHeight],
      canvasName: document.querySelector('canvas').getAttribute('aria-label'),
      windowWidth: document.getElementById('window').getBoundingClientRect().width,
      // Text shown under 12 CSS pixels, and keys whose caption is cut off.
      smallText: [...document.querySelectorAll('#window *, #below *')].filter(e => e.offsetParent &&
          e.innerText?.trim() && parseFloat(getComputedStyle(e).fontSize) < 12).map(e => e.id || e.tagName),
      cutKeys: [...document.querySelectorAll('#keys button, #keys kbd')]
          .filter(e => e.scrollWidth > e.clientWidth || e.scrollHeight > e.clientHeight).map(e => e.textContent),
      fits: document.documentElement.scrollWidth <= document.documentElement.clientWidth &&
            document.documentElement.scrollHeight <= document.documentElement.clientHeight,
      keys: Array.from(document.querySelectorAll('#keys button'), b => b.getAttribute('aria-label')),
      enabledKeys: document.querySelectorAll('#keys button:enabled').length,
      lines: ['frame', 'said'].map(id => document.getElementById(id).textContent)
          .concat(document.getElementById('said').getAttribute('role')),
      focused: document.activeElement === document.querySelector('canvas'),
      worker: navigator.serviceWorker.controller?.scriptURL || null,
      icon: document.querySelector('link[rel=icon]')?.getAttribute('href') || null,
      ended: document.documentElement.dataset.dorvik || '',
      status: document.getElementById('status').textContent,
      chart: document.getElementById('chart').getAttribute('aria-valuetext'),
      charted: !document.body.classList.contains('no-chart'),
      fullScreenKey: !document.getElementById('full-key').hidden,
    }));
    return {...page_state, served: [...served], foreign, errors};
  },
  async installable() {  // what Chromium finds wrong with the page as an app
    await inputs;
    await page.evaluate(() => navigator.serviceWorker.ready);
    const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
    const {errors: manifest} = await cdp.send('Page.getAppManifest');
    return {problems: [...installabilityErrors.map(e => e.errorId), ...manifest.map(e => e.message)]};
  },
  async pageShot({file}) {  // the whole screen, a device pixel to a pixel
    const [width, height] = await page.evaluate(() => [
      document.documentElement.clientWidth, document.documentElement.clientHeight]);
    await writeFile(file, await capture({x: 0, y: 0, width, height}));
    return {};
  },
  // The whole window of the page (title bar and client area) as a PNG file.
  async windowShot({file}) {
    await page.locator('#window').screenshot({path: file, animations: 'allow'});
    return {};
  },
  // One of the 36 pictures as the page holds them, as B, G, R, 0 pixels.
  async picture({slot}) {
    const [width, height, pixels] = await page.evaluate(slot => {
      const rgba = Module.decodedPictures[slot].data;
      let text = '';
      for (let i = 0; i < rgba.length; i += 0x8000) {
        text += String.fromCharCode.apply(null, rgba.subarray(i, i + 0x8000));
      }
      return [Module.decodedPictures[slot].width, Module.decodedPictures[slot].height, btoa(text)];
    }, slot);
    return {width, height, pixels: rgbaToBgrx(Buffer.from(pixels, 'base64')).toString('base64'), count: await page.evaluate(
        () => Module.decodedPictures.length)};
  },
};

const lines = createInterface({input: process.stdin});
for await (const line of lines) {
  let answer;
  try {
    const command = JSON.parse(line);
    if (inputError) throw inputError;
    answer = {id: command.id, ok: true, ...(await commands[command.cmd](command))};
  } catch (error) {
    answer = {id: JSON.parse(line).id, ok: false, error: String(error && error.message || error)};
  }
  process.stdout.write(JSON.stringify(answer) + '\n');
}
await browser.close();
if (server.listening) server.close();
