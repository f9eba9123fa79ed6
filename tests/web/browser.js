// Shared by the page test and the page benchmark: the system's Chromium, headless and
// with a profile of its own, and the page opened from disk with every request that
// would leave the machine recorded.
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

async function launchBrowser(chromium) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tagwright-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--disable-quic', `--user-data-dir=${profile}`],
  });
  return {
    browser,
    async close() {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Opens index.html from `pageDir` (or from `base`, a URL serving it) and waits until the engine is ready. `outside`
// collects every request for something other than the page's own files, and `errors`
// every uncaught error of the page.
async function openPage(browser, pageDir, downloads, base) {
  const page = await browser.newPage();
  const outside = [];
  const errors = [];
  base = base || 'file://' + path.resolve(pageDir) + '/';
  page.on('request', (r) => {
    const url = r.url();
    if (!url.startsWith(base) && !url.startsWith('data:') && !url.startsWith('blob:')) outside.push(url);
  });
  page.on('pageerror', (e) => errors.push(String(e)));
  if (downloads) {
    const cdp = await browser.target().createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  }
  await page.goto(base + 'index.html');
  await page.waitForSelector('body[data-ready="true"]', { timeout: 20000 });
  return { page, outside, errors };
}

// A static file server for `pageDir` on a free port of 127.0.0.1, as any web server
// would serve the folder. close() cuts every open connection too, as a lost network would.
function servePage(pageDir) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
    '.webmanifest': 'application/manifest+json', '.png': 'image/png' };
  const sockets = new Set();
  const server = http.createServer((request, response) => {
    const name = path.join(pageDir, path.basename(new URL(request.url, 'http://x').pathname) || 'index.html');
    fs.readFile(name, (error, bytes) => {
      response.writeHead(error ? 404 : 200, { 'Content-Type': types[path.extname(name)] || 'application/octet-stream' });
      response.end(error ? '' : bytes);
    });
  });
  server.on('connection', (socket) => {
    sockets.add(socket);
    socket.on('close', () => sockets.delete(socket));
  });
  const close = () => {
    server.close();
    for (const socket of sockets) socket.destroy();
  };
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () =>
    resolve({ url: `http://127.0.0.1:${server.address().port}/`, close })));
}

module.exports = { launchBrowser, openPage, servePage };
