// What the page's benchmarks share: a folder served on loopback, and Debian's
// headless Chromium with its own start-up traffic off (nothing here reaches
// a network). Run from the top directory, after npm ci in tests/web.
import {createServer} from 'node:http';
import {readFileSync} from 'node:fs';
import path from 'node:path';
import {createRequire} from 'node:module';

const require = createRequire(path.resolve('tests/web/package.json'));
const {chromium} = require('playwright-core');

const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
               '.png': 'image/png', '.css': 'text/css', '.webmanifest': 'application/manifest+json'};

// Serves, uncached, the file that `locate(pathname)` names ([folder, name],
// a folder's index.html for a name ending in "/"), with `headers` besides.
// Resolves to the server and its origin ("http://127.0.0.1:PORT/").
export async function servePages(locate, headers = {}) {
  const server = createServer((request, response) => {
    const [folder, asked] = locate(new URL(request.url, 'http://x').pathname);
    const name = asked.replace(/\/$/, '/index.html');
    try {
      const body = readFileSync(path.join(folder, path.normalize(name)));
      response.writeHead(200, {'Content-Type': TYPES[path.extname(name)], 'Cache-Control': 'no-store',
                               ...headers});
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
  return {server, origin: `http://127.0.0.1:${server.address().port}/`};
}

export function launchChromium(extraArgs = []) {
  return chromium.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           ...extraArgs],
  });
}
