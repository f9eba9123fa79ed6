// How fast the browser page reports on and patches a 32 MiB image (the largest GBA
// ROM) in the system's headless Chromium, next to the native program on the same
// file, what a zip of 20 ROMs costs end to end, and what the page weighs. Prints
// figures; passes or fails nothing.
//
//   node bench/web_page.js [build/web [build/default/src/tagwright [runs]]]
//
// Two images, pseudo-random, tagged with the automatic placement. "typical" has a
// header the console starts (written by the native program) and zero bytes in its
// last MiB only, so the tag is embedded there, after a search through 31 MiB; the
// readers agree. "worst" has no zero byte and a random header: the tag is appended
// and the file padded to 64 MiB, which several readers refuse, so the report and the
// warning after the patch try every command that might mend it and find none. Page
// times run
// from handing the file to the page until its report (or, after its one button, the
// result's report and the download link) is on screen.
//
// The zip: 20 pseudo-random 8 MiB ROMs, deflated by Python's zipfile; timed from handing
// it to the page until all 20 are reported, then "Fix all", then "Download all" until
// the stored zip of the 20 results is on disk. Native times are whole runs of `--info ROM` and of
// `ROM -e6` for "typical" and `ROM -s6 -p` for "worst" (the command line's forms of
// the automatic choice; each syncs its output to disk), in a folder under /dev/shm when
// there is one.
'use strict';

const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');

const buildDir = path.resolve(process.argv[2] || 'build/web');
const native = path.resolve(process.argv[3] || 'build/default/src/tagwright');
const runs = Number(process.argv[4] || 5);
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
process.env.NODE_PATH = path.join(buildDir, 'tests/node_modules');
require('module').Module._initPaths();
const { launchBrowser, openPage } = require('../tests/web/browser.js');

const pageDir = path.join(buildDir, 'page');
const work = fs.mkdtempSync(path.join(fs.existsSync('/dev/shm') ? '/dev/shm' : os.tmpdir(), 'tagwright-bench-'));
const images = ['typical.gba', 'worst.gba'];

function makeImages() {
  const bytes = new Uint8Array(32 << 20);
  let x = 12345;
  for (let i = 0; i < bytes.length; i++) {
    x ^= x << 13; x >>>= 0; x ^= x >>> 17; x ^= x << 5; x >>>= 0;
    bytes[i] = (x & 0xff) || 1;
  }
  fs.writeFileSync(path.join(work, 'worst.gba'), bytes);
  bytes.fill(0, 31 << 20);
  fs.writeFileSync(path.join(work, 'raw.gba'), bytes);
  execFileSync(native, ['raw.gba', '-tBENCHMARK', '-cZTGP', '-m01', '-otypical.gba'], { cwd: work, stdio: 'ignore' });
}

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
const ms = (value) => value.toFixed(0).padStart(6) + ' ms';

function timeNative(args) {
  const times = [];
  for (let i = 0; i < runs; i++) {
    const start = process.hrtime.bigint();
    try {
      execFileSync(native, args, { cwd: work, stdio: 'ignore' });
    } catch (e) {
      if (e.status !== 1) throw e;  // --info exits 1 when a file falls short
    }
    times.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  return median(times);
}

async function timePage(rom) {
  const { browser, close } = await launchBrowser(chromium);
  try {
    const { page } = await openPage(browser, pageDir);
    const report = [];
    const patch = [];
    for (let i = 0; i < runs; i++) {
      const input = await page.$('#rom-file');
      const before = await page.evaluate(() => document.body.dataset.opened);
      let start = performance.now();
      await input.uploadFile(rom);
      await page.waitForFunction((b) => document.body.dataset.opened !== b, { polling: 'mutation' }, before);
      report.push(performance.now() - start);
      if (!await page.$eval('#error', (e) => e.hidden)) throw new Error('the page refused the image');

      const patched = await page.evaluate(() => document.body.dataset.patched);
      start = performance.now();
      await page.click('#fix-button');
      await page.waitForFunction((b) => document.body.dataset.patched !== b, { polling: 'mutation' }, patched);
      patch.push(performance.now() - start);
      if (await page.$eval('#result-section', (e) => e.hidden)) throw new Error('the page did not patch the image');
    }
    return { report: median(report), patch: median(patch) };
  } finally {
    await close();
  }
}

async function timeZip() {
  const count = 20;
  const size = 8 << 20;
  execFileSync('python3', ['-c', `import random, zipfile
with zipfile.ZipFile('twenty.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(${count}):
        z.writestr('game %02d.gba' % i, random.Random(i).randbytes(${size}))`], { cwd: work });
  const downloads = path.join(work, 'downloads');
  fs.mkdirSync(downloads);
  const { browser, close } = await launchBrowser(chromium);
  try {
    const { page } = await openPage(browser, pageDir, downloads);
    const input = await page.$('#rom-file');
    let start = performance.now();
    await input.uploadFile(path.join(work, 'twenty.zip'));
    await page.waitForFunction(() => document.body.dataset.opened === '1', { polling: 'mutation', timeout: 120000 });
    const open = performance.now() - start;
    if (await page.$$eval('#many-list .item', (items) => items.length) !== count) throw new Error('not 20 ROMs listed');
    start = performance.now();
    await page.click('#fix-all');
    await page.waitForFunction(() => document.body.dataset.patched === '1', { polling: 'mutation', timeout: 120000 });
    const fix = performance.now() - start;
    start = performance.now();
    await page.click('#download-all');
    const target = path.join(downloads, 'twenty (fixed).zip');
    const expected = count * (size + 30 + 46) + 22;
    while (!fs.existsSync(target)) await new Promise((r) => setTimeout(r, 10));
    const zipped = performance.now() - start;
    const bytes = fs.statSync(target).size;
    const mib = (fs.statSync(path.join(work, 'twenty.zip')).size / 1048576).toFixed(0);
    console.log(`zip of ${count} ROMs of 8 MiB (${mib} MiB deflated):`);
    console.log(`  open and report all  ${ms(open)}`);
    console.log(`  fix all              ${ms(fix)}`);
    console.log(`  download all         ${ms(zipped)}   (${bytes} bytes, about ${expected - count * 60} to ${expected + count * 60})`);
    console.log(`  end to end           ${ms(open + fix + zipped)}`);
  } finally {
    await close();
  }
}

async function main() {
  makeImages();
  try {
    let total = 0;
    let gzipped = 0;
    console.log('page files (build/web/page):');
    for (const file of fs.readdirSync(pageDir).sort()) {
      const bytes = fs.readFileSync(path.join(pageDir, file));
      total += bytes.length;
      gzipped += zlib.gzipSync(bytes, { level: 9 }).length;
      console.log(`  ${file.padEnd(14)} ${String(bytes.length).padStart(8)} bytes`);
    }
    console.log(`  total          ${String(total).padStart(8)} bytes (${(total / 1000).toFixed(0)} KB; ` +
      `${(gzipped / 1000).toFixed(0)} KB gzipped; target under 400 KB)`);

    for (const name of images) {
      const inPage = await timePage(path.join(work, name));
      const nativeInfo = timeNative(['--info', name]);
      const options = name === 'typical.gba' ? ['-e6'] : ['-s6', '-p'];
      const nativePatch = timeNative([name, ...options, '-oout.gba']);
      console.log(`32 MiB image, ${name}, median of ${runs} runs:`);
      console.log(`  report  Chromium ${ms(inPage.report)}   native --info   ${ms(nativeInfo)}   target under 1000 ms`);
      console.log(`  patch   Chromium ${ms(inPage.patch)}   native ${options.join(' ').padEnd(8)} ${ms(nativePatch)}   target under 2000 ms`);
    }
    await timeZip();
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((e) => { console.error(e); process.exit(1); });
