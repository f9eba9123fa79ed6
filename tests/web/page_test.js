// The page in headless Chromium against the native program:
//   node page_test.js PAGE_DIR NATIVE_TAGWRIGHT CHROMIUM ARTIFACT_DIR
// For each case a ROM is opened in the page, its report's reader lines are compared
// with the native program's report on the same file, a patch is clicked through and
// the downloaded file must equal, byte for byte, what the native program writes for
// the same options; the report of the result must match the native report of that
// file. Errors must show in words and leave the page working. Screenshots at 360 and
// 1280 px wide go to ARTIFACT_DIR.
'use strict';

const assert = require('assert/strict');
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { launchBrowser, openPage, servePage } = require('./browser.js');

const [pageDir, native, chromium, artifacts] = process.argv.slice(2);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tagwright-page-'));
const downloads = path.join(work, 'downloads');
fs.mkdirSync(downloads);
fs.mkdirSync(artifacts, { recursive: true });

// --- test images, from a fixed pseudo-random sequence ---

function noise(size, seed) {
  const bytes = new Uint8Array(size);
  let x = seed >>> 0 || 1;
  for (let i = 0; i < size; i++) {
    x ^= x << 13; x >>>= 0; x ^= x >>> 17; x ^= x << 5; x >>>= 0;
    bytes[i] = (x & 0xff) || 1;  // no zero bytes: no room for a tag unless made
  }
  return bytes;
}

function put(bytes, offset, text) {
  for (let i = 0; i < text.length; i++) bytes[offset + i] = text.charCodeAt(i);
  return bytes;
}

function image(name, size, seed, edit) {
  const bytes = noise(size, seed);
  if (edit) edit(bytes);
  const file = path.join(work, name);
  fs.writeFileSync(file, bytes);
  return file;
}

const roomy = image('Roomy Game.gba', 65539, 7, (b) => b.fill(0, 0x1000, 0x1010));
// A line break in its game code: a field that does not survive a form unchanged.
const full = image('full.agb', 262144, 11, (b) => put(b, 0xAC, 'A\nBC'));
const mixed = image('mixed strings.bin', 131072, 23, (b) => {
  put(b, 0x400, 'FLASH1M_V103');
  put(b, 0x801, 'EEPROM_V124');
  b.fill(0, 0x2000, 0x2020);
});
const tiny = image('notes.txt', 10, 3);
const huge = path.join(work, 'huge.gba');
fs.writeFileSync(huge, '');
fs.truncateSync(huge, (32 << 20) + 1);

// --- the native program ---

// Runs it in the work folder; names are given relative to it, as an argument starting
// with "/" could be taken for an option.
function nativeRun(args) {
  const run = spawnSync(native, args, { cwd: work, encoding: 'utf8' });
  assert.ok(run.status === 0 || run.status === 1, `tagwright ${args.join(' ')}: status ${run.status} ${run.stderr}`);
  return run;
}

function nativeReport(file) {
  return JSON.parse(nativeRun(['--info', '--json', path.relative(work, file)]).stdout);
}

// What a report calls an outcome, stated from the outcome words of --info --json.
function outcomeWords(outcome, bytes) {
  const size = bytes === null ? '' : bytes < 1024 ? `${bytes} B` : `${bytes / 1024} KiB`;
  return {
    eeprom: size ? `EEPROM ${size}` : 'EEPROM', sram: `SRAM ${size}`, flash: `Flash ${size}`,
    none: 'no save memory', refused: 'refuses the file',
    runtime: size ? `decided at run time, Flash ${size}` : 'decided at run time',
  }[outcome];
}

// --- the page ---

// The page's report in `container` against the native report on the same file: every
// reader's outcome, size and reason, the heading of its group, and the verdict's
// disagreeing readers and (for a file opened, not for a result) suggested commands.
async function checkReport(page, container, file, withCommands) {
  const shown = await page.$$eval(`${container} li.reader`, (items) => items.map((li) => ({
    id: li.dataset.id, outcome: li.dataset.outcome, bytes: li.dataset.bytes, reason: li.dataset.reason,
    group: li.closest('.group').querySelector('h4').textContent })));
  const expected = nativeReport(file);
  const label = `${container} of ${path.basename(file)}`;
  assert.deepEqual(shown.map((r) => r.id).sort(), expected.readers.map((r) => r.id).sort(), `${label}: readers`);
  for (const r of expected.readers) {
    const s = shown.find((x) => x.id === r.id);
    assert.deepEqual([s.outcome, s.bytes, s.reason, s.group],
      [r.outcome, String(r.bytes), r.reason, outcomeWords(r.outcome, r.bytes)], `${label}: ${r.id}`);
  }
  const disagreeing = await page.$$eval(`${container} li.disagreeing`, (items) => items.map((li) => li.dataset.id));
  assert.deepEqual(disagreeing, expected.verdict.disagreeing, `${label}: readers that disagree`);
  const fixes = await page.$$eval(`${container} button.use-fix`, (items) => items.map((b) => b.dataset.options));
  assert.deepEqual(fixes, withCommands ? expected.verdict.commands.filter((c) => c.options).map((c) => c.options) : [],
    `${label}: suggested commands`);
}

async function open(page, file) {
  const before = await page.evaluate(() => document.body.dataset.opened);
  const input = await page.$('#rom-file');
  await input.evaluate((e) => { e.value = ''; });  // the same file again is a change too
  await input.uploadFile(file);
  await page.waitForFunction((b) => document.body.dataset.opened !== b, {}, before);
}

async function choose(page, options) {
  await page.click(`#save-type-${options.type}`);
  await page.click(`#placement-${options.placement}`);
  const pad = await page.$eval('#pad', (e) => e.checked);
  if (pad !== Boolean(options.pad)) await page.click('#pad');
  const replace = await page.$eval('#replace', (e) => e.checked);
  if (replace !== Boolean(options.replace)) await page.click('#replace');
  for (const [id, value] of Object.entries(options.fields || {})) {
    await page.$eval(`#${id}`, (e) => { e.value = ''; });
    await page.type(`#${id}`, value);
  }
}

async function patch(page) {
  await page.click('#patch-button');
  await page.waitForFunction(() => !document.getElementById('result-section').hidden ||
    !document.getElementById('patch-error').hidden);
}

async function download(page, expectedName) {
  const target = path.join(downloads, expectedName);
  fs.rmSync(target, { force: true });
  assert.equal(await page.$eval('#download', (a) => a.download), expectedName, 'download name');
  await page.click('#download');
  for (let i = 0; i < 200 && !fs.existsSync(target); i++) await new Promise((r) => setTimeout(r, 50));
  assert.ok(fs.existsSync(target), `downloaded ${expectedName}`);
  return target;
}

// Each case: a file, what is chosen on the page, and the same as command-line options.
const cases = [
  { file: roomy, type: 6, placement: 'automatic', args: ['-e6'], name: 'Roomy Game (SRAM 512k).gba' },
  { file: roomy, type: 3, placement: 'append', pad: true, args: ['-s3', '-p', '-tNEW TITLE', '-cABCD', '-mZZ', '-r7'],
    fields: { title: 'NEW TITLE', 'game-code': 'ABCD', 'maker-code': 'ZZ', version: '7' },
    name: 'Roomy Game (Flash 1M).gba' },
  { file: full, type: 1, placement: 'automatic', args: ['-s1', '-p'], name: 'full (EEPROM 64k).gba' },
  { file: full, type: 4, placement: 'append', args: ['-s4'], name: 'full (Flash 512k).gba', warns: true },
  { file: mixed, type: 5, placement: 'embed', args: ['-e5', '-cAB'], fields: { 'game-code': 'AB' },
    name: 'mixed strings (SRAM 256k).gba' },
  { file: mixed, type: 2, placement: 'append', pad: true, args: ['-s2', '-p', '-r255'], fields: { version: '255' },
    name: 'mixed strings (EEPROM 128k).gba' },
  { file: mixed, type: 6, placement: 'automatic', replace: true, args: ['-e6', '--replace'],
    replaced: ['FLASH1M_V103 at 0x400 replaced by SRAM_V113', 'EEPROM_V124 at 0x801 replaced by SRAM_V113'],
    name: 'mixed strings (SRAM 512k).gba' },
];

async function main() {
  const { browser, close } = await launchBrowser(chromium);
  let failed = false;
  try {
    const { page, outside, errors } = await openPage(browser, pageDir, downloads);
    await page.setViewport({ width: 1280, height: 900 });

    // Every control has a name a screen reader can read.
    const unnamed = await page.$$eval('input, button', (controls) =>
      controls.filter((c) => !(c.labels && c.labels.length && c.labels[0].textContent.trim()) &&
        !(c.tagName === 'BUTTON' && c.textContent.trim())).map((c) => c.id));
    assert.deepEqual(unnamed, [], 'controls without a label');

    // Errors in words, and the page goes on working after them.
    await open(page, tiny);
    assert.match(await page.$eval('#error', (e) => e.textContent), /"notes\.txt" is not a GBA ROM: it has 10 bytes/);
    await open(page, huge);
    assert.match(await page.$eval('#error', (e) => e.textContent), /"huge\.gba" is too large for a GBA ROM: 32\.00 MiB/);
    await open(page, full);
    assert.equal(await page.$eval('#error', (e) => e.hidden), true, 'the error goes once a ROM opens');

    // A file dropped on the page opens as one chosen does.
    const before = await page.evaluate(() => document.body.dataset.opened);
    await page.evaluate((bytes) => {
      const dropped = new DataTransfer();
      dropped.items.add(new File([new Uint8Array(bytes)], 'dropped.gba'));
      document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: dropped, bubbles: true, cancelable: true }));
    }, [...fs.readFileSync(full)]);
    await page.waitForFunction((b) => document.body.dataset.opened !== b, {}, before);
    assert.match(await page.$eval('#status', (e) => e.textContent), /"dropped\.gba" is open: 262144 bytes/);
    await choose(page, { type: 6, placement: 'embed' });
    await patch(page);
    assert.match(await page.$eval('#patch-error', (e) => e.textContent), /no room inside this file/);
    await choose(page, { type: 6, placement: 'automatic' });
    await page.$eval('#version', (e) => { e.value = ''; });
    await page.type('#version', '256');
    await patch(page);
    assert.match(await page.$eval('#patch-error', (e) => e.textContent), /version must be a whole number from 0 to 255/);

    let opened = null;
    for (const c of cases) {
      const label = `${path.basename(c.file)} ${c.args.join(' ')}`;
      if (opened !== c.file) {
        await open(page, c.file);
        await checkReport(page, '#report', c.file, true);
        opened = c.file;
        // A suggested command's button sets the choices that make it.
        const fix = await page.$('#report button.use-fix');
        if (c.file === mixed) assert.ok(fix, 'mixed strings: a command is suggested');
        if (fix) {
          const options = await fix.evaluate((b) => b.dataset.options);
          await fix.click();
          const [, letter, type] = options.match(/-([se])([1-6])/);
          assert.deepEqual(await page.evaluate(() => [
            document.querySelector('input[name="save-type"]:checked').value,
            document.querySelector('input[name="placement"]:checked').value,
            document.getElementById('pad').checked, document.getElementById('replace').checked]),
          [type, letter === 's' ? 'append' : 'embed', / -p\b/.test(options), options.includes('--replace')],
          `the button for ${options}`);
        }
      } else {
        await open(page, c.file);  // the fields back at the file's own values
      }
      await choose(page, c);
      await patch(page);
      assert.equal(await page.$eval('#patch-error', (e) => e.hidden), true, `${label}: patched`);
      assert.deepEqual(await page.$$eval('#replaced li', (items) => items.map((li) => li.textContent)),
        c.replaced || [], `${label}: strings replaced`);
      const got = await download(page, c.name);
      const run = nativeRun([path.basename(c.file), ...c.args, '-o' + c.name]);
      assert.ok(fs.readFileSync(got).equals(fs.readFileSync(path.join(work, c.name))),
        `${label}: downloaded bytes differ from the command line's`);
      await checkReport(page, '#result-report', got);
      const warning = run.stderr.split('\n').filter((l) => l.startsWith('warning: '));
      assert.deepEqual(await page.$$eval('#result-report li.warning', (items) => items.map((li) => li.textContent)),
        warning, `${label}: the warning after the save`);
      if (c.warns) assert.equal(warning.length, 1, `${label}: a case that warns`);
      console.log(`ok  ${label}`);
    }

    // Keyboard alone: from the save types, Tab reaches the button and Enter patches.
    await page.focus('#save-type-6');
    await page.keyboard.press('ArrowUp');  // moves the choice to type 5
    for (let i = 0; i < 30 && await page.evaluate(() => document.activeElement.id) !== 'patch-button'; i++) {
      await page.keyboard.press('Tab');
    }
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => !document.getElementById('result-section').hidden);
    assert.match(await page.$eval('#download', (a) => a.download), /\(SRAM 256k\)\.gba$/, 'patched from the keyboard');

    for (const width of [360, 1280]) {
      await page.setViewport({ width, height: 800 });
      const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
      assert.ok(overflow <= 0, `nothing wider than the ${width} px screen (${overflow} px over)`);
      await page.screenshot({ path: path.join(artifacts, `page-${width}.png`), fullPage: true });
    }
    assert.deepEqual(outside, [], 'requests outside the page');
    assert.deepEqual(errors, [], 'errors in the page');

    // A file the browser cannot read, and an engine that cannot start: said in words.
    await page.evaluate(() => {
      const unreadable = { name: 'gone.gba', size: 4096, arrayBuffer: () => Promise.reject(new Error('the file is gone')) };
      const drop = new Event('drop', { bubbles: true, cancelable: true });
      Object.defineProperty(drop, 'dataTransfer', { value: { files: [unreadable] } });
      document.body.dispatchEvent(drop);
    });
    await page.waitForFunction(() => !document.getElementById('error').hidden);
    assert.equal(await page.$eval('#error', (e) => e.textContent), '"gone.gba" could not be read: the file is gone');
    const broken = await browser.newPage();
    await broken.setRequestInterception(true);
    broken.on('request', (r) => (r.url().endsWith('/tagwright.js')
      ? r.respond({ contentType: 'text/javascript', body: "var tagwrightWasmGzip = 'AAAA'; function createTagwright() {}" })
      : r.continue()));
    await broken.goto('file://' + path.resolve(pageDir) + '/index.html');
    await broken.waitForFunction(() => !document.getElementById('error').hidden);
    assert.match(await broken.$eval('#error', (e) => e.textContent), /^The engine could not start in this browser: /);
    await broken.close();

    // The same folder from a web server works as well.
    const server = await servePage(pageDir);
    try {
      const served = await openPage(browser, pageDir, null, server.url);
      await open(served.page, roomy);
      await checkReport(served.page, '#report', roomy, true);
      assert.deepEqual([served.outside, served.errors], [[], []], 'served page: outside requests, errors');
    } finally {
      server.close();
    }
    console.log('ok  served over HTTP');
  } catch (e) {
    failed = true;
    console.error(e);
  } finally {
    await close();
    fs.rmSync(work, { recursive: true, force: true });
  }
  process.exit(failed ? 1 : 0);
}

main();
