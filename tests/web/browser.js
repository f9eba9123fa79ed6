// Shared by the page test and the page benchmark: the system's Chromium, headless and
// with a profile of its own, and the page opened from disk with every request that
// would leave the machine recorded.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

async function launchBrowser(chromium) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tagwright-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', `--user-data-dir=${profile}`],
  });
  return {
    browser,
    async close() {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Opens index.html from `pageDir` and waits until the engine is ready. `outside`
// collects every request for something other than the page's own files, and `errors`
// every uncaught error of the page.
async function openPage(browser, pageDir, downloads) {
  const page = await browser.newPage();
  const outside = [];
  const errors = [];
  const base = 'file://' + path.resolve(pageDir) + '/';
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

module.exports = { launchBrowser, openPage };
