// Drives the dorvik page in Debian's headless Chromium for the end-to-end
// driver (tests/e2e/dorvik_e2e.py --web): serves the page's folder on
// 127.0.0.1 from here, opens it, and runs one JSON command per stdin line,
// answering each with one JSON line on stdout. Input goes in as real
// browser input events; "grab" answers with the pixels of a part of the
// canvas and "shot" with a screenshot of it, as B, G, R, 0 pixels (base64),
// the form the X screenshots take. A page opens on a desktop, phone or
// tablet, with touch or not, or inside a course page of another site.
//
//   node bridge.mjs PAGE_DIR [CHROMIUM]
import {createServer} from 'node:http';
import {readFile} from 'node:fs/promises';
import {createInterface} from 'node:readline';
import path from 'node:path';
import zlib from 'node:zlib';
import {chromium} from 'playwright-core';

const [pageDir, executablePath = '/usr/bin/chromium'] = process.argv.slice(2);
if (!pageDir) {
  console.error('usage: node bridge.mjs PAGE_DIR [CHROMIUM]');
  process.exit(2);
}

const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
               '.png': 'image/png', '.css': 'text/css', '.webmanifest': 'application/manifest+json'};
const served = [];  // [path, status] of every request the server answered
const server = createServer(async (request, response) => {
  const name = new URL(request.url, 'http://x').pathname.replace(/^\/$/, '/index.html');
  if (name === '/course.html') {  // asked for as http://localhost:PORT/, another site
    return response.end(`<!doctype html><title>A course page</title><link rel="icon" href="data:,">
        <iframe src="${origin}/" title="Dorvik" width="400" height="760"></iframe>`);
  }
  try {
    const body = await readFile(path.join(pageDir, path.normalize(name)));
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
  phone: {viewport: {width: 390, height: 844}, deviceScaleFactor: 3, isMobile: true, hasTouch: true},
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
  const canvas = target.locator('canvas');
  box = await canvas.boundingBox();
  unit = box.width / await canvas.evaluate(element => element.width);
}

async function open({device = 'desktop', embed = false, touch: byTouch = false}) {
  await inputs;
  if (context) await context.close();
  context = await browser.newContext(DEVICES[device]);
  page = await context.newPage();
  touch = byTouch;
  finger = false;
  foreign = [];
  errors = [];
  served.length = 0;
  page.on('request', r => { if (!r.url().startsWith(origin)) foreign.push(r.url()); });
  page.on('console', m => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', e => errors.push(String(e)));
  await page.goto(embed ? `http://localhost:${port}/course.html` : origin + '/', {waitUntil: 'load'});
  target = page.frames().find(frame => frame.url().startsWith(origin));
  await locate();
  cdp = await context.newCDPSession(page);
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

const commands = {
  open,
  // The canvas's own pixels: one turn of the page's main thread, which is
  // free only between two passes of the playback loop. At a device pixel
  // ratio of 1 the canvas is the screen's pixels one for one ("shot" checks).
  async grab({x, y, w, h}) {
    const value = await evaluate(`(() => {
        const rgba = document.querySelector('canvas').getContext('2d')
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
  // can look once every pass of the program's loop.
  async digest({x, y, w, h}) {
    const digest = await evaluate(`(async () => {
        const pixels = document.querySelector('canvas').getContext('2d')
            .getImageData(${x}, ${y}, ${w}, ${h}).data;
        for (let i = 0; i < pixels.length; i += 4) {
          const red = pixels[i];
          pixels[i] = pixels[i + 2]; pixels[i + 2] = red; pixels[i + 3] = 0;
        }
        const sum = new Uint8Array(await crypto.subtle.digest('SHA-256', pixels));
        return Array.from(sum, byte => byte.toString(16).padStart(2, '0')).join('');
      })()`);
    return {digest};
  },
  // A real screenshot of a part of the canvas (client-area pixels), as the
  // compositor shows it, in device pixels: unit x ratio of them a pixel.
  async shot({x, y, w, h}) {
    const scale = await page.evaluate(() => window.devicePixelRatio);
    const device = v => Math.round(v * scale) / scale;  // the canvas lies on device pixels
    const shot = await cdp.send('Page.captureScreenshot', {
      format: 'png', optimizeForSpeed: true,
      clip: {x: device(box.x + x * unit), y: device(box.y + y * unit), width: w * unit,
             height: h * unit, scale}});
    const png = Buffer.from(shot.data, 'base64');
    return {width: png.readUInt32BE(16), height: png.readUInt32BE(20),
            pixels: pngToBgrx(png).toString('base64')};
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
  async viewport({width, height}) {  // a turned tablet, say
    await inputs;
    await page.setViewportSize({width, height});
    await page.waitForFunction(w => document.documentElement.clientWidth === w, width);
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
      fits: document.documentElement.scrollWidth <= document.documentElement.clientWidth &&
            document.documentElement.scrollHeight <= document.documentElement.clientHeight,
      keys: Array.from(document.querySelectorAll('#keys button'), b => b.getAttribute('aria-label')),
      lines: ['frame', 'said'].map(id => document.getElementById(id).textContent)
          .concat(document.getElementById('said').getAttribute('role')),
      focused: document.activeElement === document.querySelector('canvas'),
      worker: navigator.serviceWorker.controller?.scriptURL || null,
      icon: document.querySelector('link[rel=icon]')?.getAttribute('href') || null,
      ended: document.documentElement.dataset.dorvik || '',
      status: document.getElementById('status').textContent,
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
  async pageShot({file}) {  // the whole screen, a CSS pixel to a pixel
    return page.screenshot({path: file, scale: 'css', animations: 'allow'}).then(() => ({}));
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
