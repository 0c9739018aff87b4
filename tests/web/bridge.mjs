// Drives the dorvik page in Debian's headless Chromium for the end-to-end
// driver (tests/e2e/dorvik_e2e.py --web): serves the page's folder on
// 127.0.0.1 from here, opens it, and runs one JSON command per stdin line,
// answering each with one JSON line on stdout. Input goes in as real
// browser input events; "grab" answers with the pixels of a part of the
// canvas and "shot" with a screenshot of it, as B, G, R, 0 pixels (base64),
// the form the X screenshots take.
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
               '.png': 'image/png'};
const served = [];  // [path, status] of every request the server answered
const server = createServer(async (request, response) => {
  const name = new URL(request.url, 'http://x').pathname.replace(/^\/$/, '/index.html');
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
const origin = `http://127.0.0.1:${server.address().port}`;

// Chromium's own start-up traffic stays off: nothing here reaches a network.
// Playwright gives the browser a fresh profile directory of its own.
const browser = await chromium.launch({
  executablePath,
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--force-color-profile=srgb'],
});
// One browser context for each device pixel ratio asked for.
const contexts = new Map();
async function contextFor(scale) {
  if (!contexts.has(scale)) {
    contexts.set(scale, await browser.newContext({viewport: {width: 480, height: 720},
                                                  deviceScaleFactor: scale}));
  }
  return contexts.get(scale);
}
let page = null;
let cdp = null;         // the page's own DevTools session: one round trip a look
let box = null;         // the canvas's place on the page
let pointer = [0, 0];   // the pointer, in canvas pixels
let foreign = [];       // requests that went anywhere but our server
let errors = [];        // console errors and uncaught exceptions

let inputs = Promise.resolve();  // the input sent so far, in order
let inputError = null;

function input(send) {
  inputs = inputs.then(send).catch(error => { inputError = inputError || error; });
  return {};
}

async function open({scale = 1}) {
  await inputs;
  if (page) await page.close();
  const context = await contextFor(scale);
  page = await context.newPage();
  foreign = [];
  errors = [];
  served.length = 0;
  page.on('request', r => { if (!r.url().startsWith(origin)) foreign.push(r.url()); });
  page.on('console', m => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', e => errors.push(String(e)));
  await page.goto(origin + '/', {waitUntil: 'load'});
  box = await page.locator('canvas').boundingBox();
  cdp = await context.newCDPSession(page);
  return {};
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

const commands = {
  open,
  // The canvas's own pixels: one turn of the page's main thread, which is
  // free only between two passes of the playback loop. At a device pixel
  // ratio of 1 the canvas is the screen's pixels one for one ("shot" checks).
  async grab({x, y, w, h}) {
    const {result, exceptionDetails} = await cdp.send('Runtime.evaluate', {
      returnByValue: true,
      expression: `(() => {
        const rgba = document.querySelector('canvas').getContext('2d')
            .getImageData(${x}, ${y}, ${w}, ${h}).data;
        let text = '';
        for (let i = 0; i < rgba.length; i += 0x8000) {
          text += String.fromCharCode.apply(null, rgba.subarray(i, i + 0x8000));
        }
        return btoa(text);
      })()`});
    if (exceptionDetails) throw new Error(exceptionDetails.text);
    return {pixels: rgbaToBgrx(Buffer.from(result.value, 'base64')).toString('base64')};
  },
  // What "grab" would answer, as its SHA-256 (hex) worked out in the page: a
  // look that moves 64 characters rather than the pixels, so that the driver
  // can look once every pass of the program's loop.
  async digest({x, y, w, h}) {
    const {result, exceptionDetails} = await cdp.send('Runtime.evaluate', {
      returnByValue: true, awaitPromise: true,
      expression: `(async () => {
        const pixels = document.querySelector('canvas').getContext('2d')
            .getImageData(${x}, ${y}, ${w}, ${h}).data;
        for (let i = 0; i < pixels.length; i += 4) {
          const red = pixels[i];
          pixels[i] = pixels[i + 2]; pixels[i + 2] = red; pixels[i + 3] = 0;
        }
        const sum = new Uint8Array(await crypto.subtle.digest('SHA-256', pixels));
        return Array.from(sum, byte => byte.toString(16).padStart(2, '0')).join('');
      })()`});
    if (exceptionDetails) throw new Error(exceptionDetails.text);
    return {digest: result.value};
  },
  // A real screenshot of a part of the canvas, as the compositor shows it,
  // in device pixels.
  async shot({x, y, w, h}) {
    const scale = await page.evaluate(() => window.devicePixelRatio);
    const shot = await cdp.send('Page.captureScreenshot', {
      format: 'png', optimizeForSpeed: true,
      clip: {x: box.x + x, y: box.y + y, width: w, height: h, scale}});
    const png = Buffer.from(shot.data, 'base64');
    return {width: png.readUInt32BE(16), height: png.readUInt32BE(20),
            pixels: pngToBgrx(png).toString('base64')};
  },
  // Input is sent in order but not waited for: the page acknowledges an
  // event only between two passes, and a look at the canvas right after a key
  // must not miss the frame that the key brought.
  key({key}) { return input(() => page.keyboard.press(key)); },
  move({x, y}) {
    pointer = [x, y];
    return input(() => page.mouse.move(box.x + x, box.y + y));
  },
  down() { return input(() => page.mouse.down()); },
  up() { return input(() => page.mouse.up()); },
  click({repeat = 1, delay = 0}) {
    const [x, y] = [box.x + pointer[0], box.y + pointer[1]];
    return input(() => repeat === 2 ? page.mouse.dblclick(x, y, {delay})
                                    : page.mouse.click(x, y, {delay}));
  },
  async state() {
    const page_state = await page.evaluate(() => ({
      title: document.title,
      titleElement: document.querySelector('title').textContent,
      titleBar: document.getElementById('titlebar').textContent,
      titleBarWhiteSpace: getComputedStyle(document.getElementById('titlebar')).whiteSpace,
      canvases: document.querySelectorAll('canvas').length,
      canvasSize: [document.querySelector('canvas').clientWidth,
                   document.querySelector('canvas').clientHeight],
      canvasStore: [document.querySelector('canvas').width,
                    document.querySelector('canvas').height],
      imageRendering: getComputedStyle(document.querySelector('canvas')).imageRendering,
      focused: document.activeElement === document.querySelector('canvas'),
      icon: document.querySelector('link[rel=icon]')?.getAttribute('href') || null,
      ended: document.documentElement.dataset.dorvik || '',
      status: document.getElementById('status').textContent,
    }));
    return {...page_state, served: [...served], foreign, errors};
  },
  // The whole window of the page (title bar and client area) as a PNG file.
  async windowShot({file}) {
    await page.locator('#window').screenshot({path: file, animations: 'allow'});
    return {};
  },
  // One of the 36 pictures as the browser decoded them, drawn unscaled, as
  // B, G, R, 0 pixels.
  async picture({slot}) {
    const [width, height, pixels] = await page.evaluate(slot => {
      const bitmap = Module.decodedPictures[slot];
      const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
      const c = canvas.getContext('2d');
      c.drawImage(bitmap, 0, 0);
      const rgba = c.getImageData(0, 0, bitmap.width, bitmap.height).data;
      let text = '';
      for (let i = 0; i < rgba.length; i += 0x8000) {
        text += String.fromCharCode.apply(null, rgba.subarray(i, i + 0x8000));
      }
      return [bitmap.width, bitmap.height, btoa(text)];
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
server.close();
