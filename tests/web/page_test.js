// The page in headless Chromium against the native program:
//   node page_test.js PAGE_DIR NATIVE_TAGWRIGHT CHROMIUM ARTIFACT_DIR [REAL_ROMS_DIR]
// ROMs are opened in the page (plain, in zips, gzipped, several at once); each report's
// readers are compared with the native program's report on the same bytes, patches are
// made with the one button, with "Fix all" and with the detailed choices, and every file
// downloaded must equal, byte for byte, what the native program writes for the same
// options. Archives the page cannot read and files that are no ROM must be refused in
// words. axe-core audits the page's states in light and dark; the download must sit in
// the first screen at phone and desktop size (screenshots go to ARTIFACT_DIR); served
// over HTTP the page must be installable and reload with the network cut.
'use strict';

const assert = require('assert/strict');
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { launchBrowser, openPage, servePage } = require('./browser.js');

const [pageDir, native, chromium, artifacts, realRoms] = process.argv.slice(2).map((a, i) => (i === 2 ? a : path.resolve(a)));
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
const flash = image('flash game.gba', 98304, 31, (b) => { put(b, 0x600, 'FLASH1M_V103'); b.fill(0, 0x3000, 0x3010); });
const tiny = image('notes.txt', 10, 3);
const huge = path.join(work, 'huge.gba');
fs.writeFileSync(huge, '');
fs.truncateSync(huge, (32 << 20) + 1);
const sevenZip = path.join(work, 'game.7z');
fs.writeFileSync(sevenZip, Buffer.from([0x37, 0x7a, 0xbc, 0xaf, 0x27, 0x1c, 0, 4, ...noise(300, 5)]));
const rar = path.join(work, 'game.rar');
fs.writeFileSync(rar, Buffer.concat([Buffer.from('Rar!\x1a\x07\x01\x00', 'latin1'), Buffer.from(noise(300, 6))]));

// Archives written by Python's zipfile and gzip, a writer independent of the page's reader.
function python(script, ...args) {
  const run = spawnSync('python3', ['-c', script, ...args], { cwd: work, encoding: 'utf8' });
  assert.equal(run.status, 0, run.stderr);
  return run.stdout;
}
const ZIP = `import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for i, (name, method) in enumerate(zip(sys.argv[2::2], sys.argv[3::2])):
        z.write(name, ('roms/' if i % 2 else '') + name, zipfile.ZIP_DEFLATED if method == 'deflate' else zipfile.ZIP_STORED)`;
python(ZIP, 'one.zip', 'flash game.gba', 'deflate');
python(ZIP, 'several.zip', 'Roomy Game.gba', 'deflate', 'mixed strings.bin', 'stored', 'notes.txt', 'deflate',
  'flash game.gba', 'deflate');
python(ZIP, 'no rom.zip', 'notes.txt', 'deflate');
python(`import gzip, sys
with open(sys.argv[1], 'rb') as f, open(sys.argv[2], 'wb') as out, gzip.GzipFile('packed name.gba', 'wb', 9, out, 0) as g:
    g.write(f.read())`, 'full.agb', 'full.gz');
const unzipStored = `import json, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
print(json.dumps([[i.filename, i.compress_type, z.read(i).hex()] for i in z.infolist()]))`;

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

// The native output for options, written under the same name as the page's download.
function nativeOutput(input, args, name) {
  const run = nativeRun([path.relative(work, input), ...args, '-o' + name]);
  return { bytes: fs.readFileSync(path.join(work, name)), warned: run.stderr.includes('warning: ') };
}

// The automatic placement: the tag inside the image when there is room (-eN), else
// appended with padding (-sN -p).
function automaticArgs(input, type) {
  const probe = spawnSync(native, [path.relative(work, input), `-e${type}`, '-oprobe.gba'], { cwd: work });
  return probe.status === 0 ? [`-e${type}`] : [`-s${type}`, '-p'];
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

// The page's reader grid in `container` against the native report on the same file:
// every reader's outcome, size, reason and words, and its mark for the type wanted.
async function checkReport(page, container, file, wanted) {
  const shown = await page.$$eval(`${container} li.reader`, (items) => items.map((li) => ({ ...li.dataset })));
  const expected = nativeReport(file);
  const label = `${container} of ${path.basename(file)}`;
  assert.deepEqual(shown.map((r) => r.id).sort(), expected.readers.map((r) => r.id).sort(), `${label}: readers`);
  for (const r of expected.readers) {
    const s = shown.find((x) => x.id === r.id);
    assert.deepEqual([s.outcome, s.bytes, s.reason, s.words], [r.outcome, String(r.bytes), r.reason,
      outcomeWords(r.outcome, r.bytes)], `${label}: ${r.id}`);
    if (!r.tag_can_change) assert.equal(s.mark, 'own', `${label}: ${r.id} decides by itself`);
  }
  if (wanted && expected.verdict.asked.length === 1) {
    // The one type the strings ask for: the readers the native verdict finds disagreeing are crossed.
    const crossed = shown.filter((s) => s.mark === 'bad').map((s) => s.id).sort();
    assert.deepEqual(crossed, [...expected.verdict.disagreeing].sort(), `${label}: readers crossed`);
  }
  return expected;
}

async function open(page, files) {
  const before = await page.evaluate(() => document.body.dataset.opened);
  const input = await page.$('#rom-file');
  await input.uploadFile(...[].concat(files));
  await page.waitForFunction((b) => document.body.dataset.opened !== b, {}, before);
}

const text = (page, selector) => page.$eval(selector, (e) => e.textContent);
const visible = (page, selector) => page.$eval(selector, (e) => e.getClientRects().length > 0);

async function clickAndWait(page, selector) {
  const before = await page.evaluate(() => document.body.dataset.patched);
  await page.click(selector);
  await page.waitForFunction((b) => document.body.dataset.patched !== b, {}, before);
}

async function choose(page, options) {
  await page.$eval('#more', (d) => { d.open = true; });
  await page.click(`#save-type-${options.type}`);
  await page.click(`#placement-${options.placement}`);
  for (const id of ['pad', 'replace']) {
    if (await page.$eval(`#${id}`, (e) => e.checked) !== Boolean(options[id])) await page.click(`#${id}`);
  }
  for (const [id, value] of Object.entries(options.fields || {})) {
    await page.$eval(`#${id}`, (e) => { e.value = ''; });
    await page.type(`#${id}`, value);
  }
}

async function download(page, selector) {
  const name = await page.$eval(selector, (a) => a.download);
  const target = path.join(downloads, name);
  fs.rmSync(target, { force: true });
  await page.click(selector);
  for (let i = 0; i < 200 && !fs.existsSync(target); i++) await new Promise((r) => setTimeout(r, 50));
  for (let i = 0; i < 100 && fs.existsSync(target + '.crdownload'); i++) await new Promise((r) => setTimeout(r, 50));
  assert.ok(fs.existsSync(target), `downloaded ${name}`);
  return { name, bytes: fs.readFileSync(target) };
}

// A download against the native program's output for `args` on `input`.
async function checkDownload(page, selector, input, args, label) {
  const got = await download(page, selector);
  const expected = nativeOutput(input, args, got.name);
  assert.ok(got.bytes.equals(expected.bytes), `${label}: downloaded bytes differ from tagwright ${args.join(' ')}`);
  return { ...got, warned: expected.warned };
}

// axe-core on the page as it stands, every details element open, in both colour schemes.
async function audit(page, state) {
  const source = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
  await page.evaluate(source);
  const opened = await page.$$eval('details:not([open])', (all) => all.map((d) => { d.open = true; return d; }).length);
  for (const scheme of ['light', 'dark']) {
    await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
    const found = await page.evaluate(() => window.axe.run(document, {
      runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice'] }));
    const violations = found.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
    assert.deepEqual(violations, [], `axe, ${state}, ${scheme}`);
    console.log(`ok  axe ${state} ${scheme}: ${found.passes.length} rules pass, none violated`);
  }
  await page.emulateMediaFeatures([]);
  if (opened) await page.$$eval('details[open]', (all) => all.forEach((d) => { d.open = false; }));
}

// A touch screen (pointer: coarse) or none; the emulation lasts as long as its session.
const sessions = new WeakMap();
async function touch(page, enabled) {
  if (!sessions.has(page)) sessions.set(page, await page.createCDPSession());
  await sessions.get(page).send('Emulation.setTouchEmulationEnabled', { enabled, maxTouchPoints: 5 });
}

// The download must be whole in the first screen, the page at its top; a screenshot of each size.
async function firstScreen(page, selector, state) {
  for (const [width, height] of [[390, 844], [1280, 800]]) {
    await page.setViewport({ width, height });
    await touch(page, width < 500);  // the phone-sized screenshots as a phone shows them
    await page.evaluate(() => window.scrollTo(0, 0));
    const box = await page.$eval(selector, (e) => {
      const r = e.getBoundingClientRect();
      return { top: r.top, bottom: r.bottom, width: r.width, height: window.innerHeight,
        over: document.documentElement.scrollWidth - window.innerWidth };
    });
    assert.ok(box.width > 0 && box.top >= 0 && box.bottom <= box.height,
      `${state} at ${width}x${height}: ${selector} at ${box.top}-${box.bottom} px, the screen ends at ${box.height}`);
    assert.ok(box.over <= 0, `${state} at ${width}x${height}: ${box.over} px wider than the screen`);
    await page.screenshot({ path: path.join(artifacts, `${state}-${width}x${height}.png`) });
  }
  await page.setViewport({ width: 1280, height: 800 });
}

// Each case: a file, what is chosen under "More choices", and the same as command-line options.
const cases = [
  { file: roomy, type: 6, placement: 'automatic', args: ['-e6'] },
  { file: roomy, type: 3, placement: 'append', pad: true, args: ['-s3', '-p', '-tNEW TITLE', '-cABCD', '-mZZ', '-r7'],
    fields: { title: 'NEW TITLE', 'game-code': 'ABCD', 'maker-code': 'ZZ', version: '7' } },
  { file: full, type: 1, placement: 'automatic', args: ['-s1', '-p'] },
  { file: full, type: 4, placement: 'append', args: ['-s4'], warns: true },
  { file: mixed, type: 5, placement: 'embed', args: ['-e5', '-cAB'], fields: { 'game-code': 'AB' } },
  { file: mixed, type: 2, placement: 'append', pad: true, args: ['-s2', '-p', '-r255'], fields: { version: '255' } },
  { file: mixed, type: 6, placement: 'automatic', replace: true, args: ['-e6', '--replace'],
    replaced: ['FLASH1M_V103 at 0x400 replaced by SRAM_V113', 'EEPROM_V124 at 0x801 replaced by SRAM_V113'] },
];

async function refusals(page) {
  const refused = [
    [tiny, /^"notes\.txt" is not a GBA ROM: it has 10 bytes, fewer than the 192 bytes/],
    [huge, /^"huge\.gba" is too large for a GBA ROM: 33,554,433 bytes, more than 32 MiB/],
    [sevenZip, /^"game\.7z" is a 7z archive: unpack it first/],
    [rar, /^"game\.rar" is a RAR archive: unpack it first/],
    [path.join(work, 'no rom.zip'), /^"no rom\.zip" holds no GBA ROM .*: it has notes\.txt\.$/],
  ];
  for (const [file, words] of refused) {
    await open(page, file);
    assert.match(await text(page, '#error'), words);
    assert.deepEqual(await page.$$eval('#download, #download-all, #fix-button', (all) =>
      all.filter((e) => e.getClientRects().length).map((e) => e.id)), [], `${path.basename(file)}: nothing offered`);
  }
  console.log('ok  refused in words: too short, too large, 7z, RAR, a zip without a ROM');
}

async function oneButton(page) {
  // The answer first: the strings ask for two types; the one button writes what the
  // engine's command for one of them writes, or, with none, that type placed automatically.
  await open(page, mixed);
  // (The page judges commands under the name it will write, "NAME (type).gba", so they
  // may differ from those --info judges under the file's own name.)
  await checkReport(page, '#report', mixed, false);
  const options = await page.$eval('#fix-button', (b) => b.dataset.options);
  assert.match(await text(page, '#answer'), /^Its save strings ask for Flash 128 KiB and EEPROM: only one can be right\./);
  assert.equal(await page.$$eval('body *', (all) => all.filter((e) => e.children.length === 0 &&
    /tagwright -|\(tagwright/.test(e.textContent)).length), 0, 'no command lines on the page');
  await audit(page, 'reported');
  await firstScreen(page, '#fix-button', 'opened');
  await clickAndWait(page, '#fix-button');
  await audit(page, 'patched');
  await firstScreen(page, '#download', 'patched');
  const type = Number(await page.$eval('input[name="save-type"]:checked', (e) => e.value));
  const args = options ? options.split(' ') : automaticArgs(mixed, type);
  const got = await checkDownload(page, '#download', mixed, args, 'the one button');
  assert.equal(await page.$eval('#result-verdict', (p) => p.dataset.ok), String(!got.warned), 'verdict after the button');
  await checkReport(page, '#result-report', path.join(downloads, got.name), true);
  console.log(`ok  one button: ${args.join(' ')}`);
}

async function archives(page) {
  // One ROM in a zip (deflated), and one gzipped: shown under their own names, patched
  // from the unpacked bytes.
  for (const [archive, inside, name] of [['one.zip', flash, 'flash game.gba'], ['full.gz', full, 'packed name.gba']]) {
    await open(page, path.join(work, archive));
    assert.equal(await text(page, '#answer-title'), `${name} (from ${archive})`);
    assert.equal(await text(page, '#error'), '');
    const copy = path.join(work, name);
    fs.copyFileSync(inside, copy);
    await checkReport(page, '#report', copy, true);
    const ready = await page.$eval('#answer', (p) => p.dataset.ready === 'true');
    if (ready) {
      await choose(page, { type: 3, placement: 'automatic' });
      await clickAndWait(page, '#patch-button');
    } else {
      await clickAndWait(page, '#fix-button');
    }
    const type = Number(await page.$eval('input[name="save-type"]:checked', (e) => e.value));
    const options = ready ? automaticArgs(copy, 3)
      : await page.$eval('#fix-button', (b) => b.dataset.options) || automaticArgs(copy, type);
    const got = await checkDownload(page, '#download', copy, [].concat(options), archive);
    assert.match(got.name, new RegExp(`^${name.replace(/\..*$/, '')} \\(`), `${archive}: named after the ROM inside`);
    console.log(`ok  ${archive}: ${name} patched as tagwright ${[].concat(options).join(' ')}`);
  }
}

// Several files at once: a zip of three ROMs and a note, a ROM, a 7z archive and a note.
async function several(page) {
  await open(page, [path.join(work, 'several.zip'), roomy, sevenZip, tiny]);
  assert.equal(await text(page, '#many-title'), '5 ROMs');
  assert.match(await text(page, '#error'), /"game\.7z" is a 7z archive/);
  assert.deepEqual(await page.$$eval('#many-list .item', (items) => items.map((i) => i.dataset.name)),
    ['Roomy Game.gba', 'mixed strings.bin', 'flash game.gba', 'Roomy Game.gba', 'notes.txt'], 'the ROMs listed (not the note in the zip)');
  assert.match(await page.$eval('.item[data-name="notes.txt"] .item-answer', (p) => p.textContent), /is not a GBA ROM/);
  await firstScreen(page, '#fix-all', 'many-opened');
  await audit(page, 'several opened');
  await clickAndWait(page, '#fix-all');
  await firstScreen(page, '#download-all', 'many-patched');
  await audit(page, 'several patched');
  const sources = { 'Roomy Game.gba': roomy, 'mixed strings.bin': mixed, 'flash game.gba': flash };
  const items = await page.$$('#many-list .item');
  const singles = [];
  for (const item of items) {
    const name = await item.evaluate((i) => i.dataset.name);
    if (name === 'notes.txt') continue;
    const index = await item.evaluate((i) => [...i.parentNode.children].indexOf(i) + 1);
    const selector = `#many-list .item:nth-child(${index}) .download-one`;
    const choice = await item.evaluate((i) => ({ ...i.dataset }));
    const args = choice.options ? choice.options.split(' ') : automaticArgs(sources[name], Number(choice.type));
    singles.push(await checkDownload(page, selector, sources[name], args, `several: ${name}`));
  }
  const all = await download(page, '#download-all');
  const unpacked = JSON.parse(python(unzipStored, path.join(downloads, all.name)));
  assert.deepEqual(unpacked.map(([, method]) => method), singles.map(() => 0), 'the zip is stored');
  const first = singles[0].name;
  const dot = first.lastIndexOf('.');
  assert.deepEqual(unpacked.map(([name]) => name), singles.map((s, i) =>
    (i === singles.length - 1 && s.name === first ? `${first.slice(0, dot)} (2)${first.slice(dot)}` : s.name)), 'names in the zip');
  unpacked.forEach(([name, , hex], i) => assert.equal(hex, singles[i].bytes.toString('hex'), `zip member ${name}`));
  // An item opened on its own, then back to the list.
  await page.click('#many-list .item:nth-child(2) .open-one');
  assert.equal(await visible(page, '#answer-section'), true);
  await page.click('#back');
  assert.equal(await visible(page, '#many-section'), true);
  console.log(`ok  several: ${singles.length} fixed, each and all together (${all.bytes.length} bytes) as the command line writes them`);
}

async function choices(page) {
  let opened = null;
  for (const c of cases) {
    const label = `${path.basename(c.file)} ${c.args.join(' ')}`;
    await open(page, c.file);  // the same file again reopens it, the fields back at the file's values
    if (opened !== c.file) await checkReport(page, '#report', c.file, false);
    opened = c.file;
    await choose(page, c);
    await clickAndWait(page, '#patch-button');
    assert.equal(await page.$eval('#patch-error', (e) => e.hidden), true, `${label}: patched`);
    assert.deepEqual(await page.$$eval('#replaced li', (items) => items.map((li) => li.textContent)),
      c.replaced || [], `${label}: strings replaced`);
    const got = await checkDownload(page, '#download', c.file, c.args, label);
    await checkReport(page, '#result-report', path.join(downloads, got.name), true);
    assert.equal(await page.$eval('#result-verdict', (p) => p.dataset.ok), String(!got.warned), `${label}: verdict`);
    if (c.warns) assert.ok(got.warned, `${label}: a case that warns`);
    console.log(`ok  ${label}`);
  }
}

// Real ROMs whose save memory is known from their source (shared real-roms folder, when
// there): once the engine judges a game's needs, the page must say them, choose that
// type, and write what the command line writes for it.
const REAL = [['save-sram.gba', 'sram', 'SRAM'], ['unsafe-unsafe.gba', 'sram', 'SRAM'],
  ['save-flash64.gba', 'flash', 'Flash 64 KiB'], ['save-flash128.gba', 'flash', 'Flash 128 KiB'], ['save-none.gba', 'none', '']];

async function realNeeds(page) {
  const folder = realRoms && path.join(realRoms, 'gba-tests');
  if (!folder || !fs.existsSync(folder)) {
    console.log('skip the game\'s needs on real ROMs: no real-roms folder');
    return;
  }
  for (const [name, memory, words] of REAL) {
    const copy = path.join(work, name);
    fs.copyFileSync(path.join(folder, name), copy);
    await open(page, copy);
    const needs = await page.$eval('#answer', (p) => p.dataset.needs);
    if (needs === 'unknown') {
      assert.doesNotMatch(await text(page, '#answer'), /code uses/, `${name}: nothing said of the code`);
      console.log(`ok  ${name}: its needs not judged; the page answers from the strings`);
      continue;
    }
    assert.equal(needs, memory, `${name}: the game's needs`);
    if (memory === 'none') continue;
    assert.match(await text(page, '#answer'), new RegExp(`^The game's code uses ${words}`), `${name}: the answer`);
    assert.equal(await visible(page, '#why'), true, `${name}: why, in one line`);
    await clickAndWait(page, '#fix-button');
    const type = Number(await page.$eval('input[name="save-type"]:checked', (e) => e.value));
    const options = await page.$eval('#fix-button', (b) => b.dataset.options);
    await checkDownload(page, '#download', copy, options ? options.split(' ') : automaticArgs(copy, type), name);
    console.log(`ok  ${name}: the code's needs chosen and written`);
    if (memory === 'sram') {
      // Another memory chosen: the result says what the code uses, as the command line warns.
      await choose(page, { type: 2, placement: 'append', pad: true });
      await clickAndWait(page, '#patch-button');
      assert.match(await text(page, '#result-verdict'), /^Tagged .*, but the game's code uses SRAM 32 KiB: /,
        `${name}: another memory asked`);
      assert.equal(await page.$eval('#result-verdict', (p) => p.dataset.ok), 'false', `${name}: not fixed`);
      const got = await checkDownload(page, '#download', copy, ['-s2', '-p'], `${name} -s2 -p`);
      assert.ok(got.warned, `${name}: the command line warns too`);
      console.log(`ok  ${name}: another memory chosen is warned about`);
    }
  }
}

async function offline(browser) {
  const server = await servePage(pageDir);
  let closed = false;
  try {
    const served = await openPage(browser, pageDir, null, server.url);
    const cdp = await served.page.createCDPSession();
    const manifest = await cdp.send('Page.getAppManifest');
    assert.deepEqual(manifest.errors, [], 'manifest errors');
    const parsed = JSON.parse(manifest.data);
    assert.ok(parsed.icons.some((i) => i.sizes === '512x512') && parsed.start_url && parsed.display === 'standalone',
      'manifest: name, icons, start, display');
    await served.page.evaluate(() => navigator.serviceWorker.ready);
    const kept = await served.page.evaluate(async () => {
      const cache = await caches.open('tagwright-page');
      return (await cache.keys()).map((r) => new URL(r.url).pathname.slice(1)).sort();
    });
    for (const file of ['index.html', 'page.js', 'archives.js', 'style.css', 'tagwright.js', 'manifest.webmanifest']) {
      assert.ok(kept.includes(file), `the worker keeps ${file} (it keeps ${kept.join(', ')})`);
    }
    await open(served.page, roomy);
    await checkReport(served.page, '#report', roomy, false);
    server.close();
    closed = true;
    await served.page.reload();
    await served.page.waitForSelector('body[data-ready="true"]', { timeout: 20000 });
    await open(served.page, mixed);
    await checkReport(served.page, '#report', mixed, false);
    assert.deepEqual([served.outside, served.errors], [[], []], 'served page: outside requests, errors');
    await served.page.close();
  } finally {
    if (!closed) server.close();
  }
  console.log('ok  served: manifest valid, files kept by the worker, works after a reload with the server gone');
}

async function main() {
  const { browser, close } = await launchBrowser(chromium);
  let failed = false;
  try {
    const { page, outside, errors } = await openPage(browser, pageDir, downloads);
    await page.setViewport({ width: 1280, height: 800 });

    // Every control has a name a screen reader can read; the page as opened passes axe.
    const unnamed = await page.$$eval('input, button, select', (controls) =>
      controls.filter((c) => !(c.labels && c.labels.length && c.labels[0].textContent.trim()) &&
        !(c.tagName === 'BUTTON' && c.textContent.trim()) && c.id !== 'fix-button').map((c) => c.id));
    assert.deepEqual(unnamed, [], 'controls without a label');
    await audit(page, 'opened');
    // Touch screens get no drop hint; the choose button is large.
    assert.equal(await visible(page, '.drop-hint'), true, 'drop hint without a touch screen');
    await touch(page, true);
    assert.equal(await visible(page, '.drop-hint'), false, 'drop hint on a touch screen');
    await touch(page, false);
    assert.ok(await page.$eval('.choose', (e) => e.getBoundingClientRect().height) >= 44, 'the Choose ROM button is large');
    const small = await page.$$eval('input[type="radio"], input[type="checkbox"]', (all) =>
      all.filter((e) => { const r = e.getBoundingClientRect(); return r.width && (r.width < 24 || r.height < 24); }).length);
    assert.equal(small, 0, 'radios and checkboxes at least 24 px');

    // "Working…" shows while the engine works.
    await page.evaluate(() => {
      window.statusTexts = [];
      new MutationObserver(() => window.statusTexts.push(document.getElementById('status').textContent))
        .observe(document.getElementById('status'), { childList: true, characterData: true, subtree: true });
    });
    await refusals(page);
    await open(page, full);
    assert.ok(await page.evaluate(() => window.statusTexts.includes('Working…')), 'Working… shown');
    assert.equal(await page.$eval('#error', (e) => e.hidden), true, 'the error goes once a ROM opens');
    assert.equal(await text(page, '#status'), '"full.agb" is open: 262,144 bytes.');

    // A file dropped on the page opens as one chosen does.
    const before = await page.evaluate(() => document.body.dataset.opened);
    await page.evaluate((bytes) => {
      const dropped = new DataTransfer();
      dropped.items.add(new File([new Uint8Array(bytes)], 'dropped.gba'));
      document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: dropped, bubbles: true, cancelable: true }));
    }, [...fs.readFileSync(full)]);
    await page.waitForFunction((b) => document.body.dataset.opened !== b, {}, before);
    assert.equal(await text(page, '#status'), '"dropped.gba" is open: 262,144 bytes.');
    await choose(page, { type: 6, placement: 'embed' });
    await clickAndWait(page, '#patch-button');
    assert.match(await text(page, '#patch-error'), /no room inside this file/);
    await choose(page, { type: 6, placement: 'automatic', fields: { version: '256' } });
    await page.click('#patch-button');
    assert.match(await text(page, '#patch-error'), /version must be a whole number from 0 to 255/);

    await oneButton(page);
    await archives(page);
    await several(page);
    await choices(page);
    await realNeeds(page);
    assert.deepEqual(outside, [], 'requests outside the page');
    assert.deepEqual(errors, [], 'errors in the page');

    // A file the browser cannot read, and an engine that cannot start: said in words.
    await page.evaluate(() => {
      const unreadable = { name: 'gone.gba', size: 4096, slice: () => ({ arrayBuffer: () => Promise.reject(new Error('the file is gone')) }) };
      const drop = new Event('drop', { bubbles: true, cancelable: true });
      Object.defineProperty(drop, 'dataTransfer', { value: { files: [unreadable] } });
      document.body.dispatchEvent(drop);
    });
    await page.waitForFunction(() => !document.getElementById('error').hidden);
    assert.equal(await text(page, '#error'), '"gone.gba" could not be read: the file is gone');
    const broken = await browser.newPage();
    await broken.setRequestInterception(true);
    broken.on('request', (r) => (r.url().endsWith('/tagwright.js')
      ? r.respond({ contentType: 'text/javascript', body: "var tagwrightWasmGzip = 'AAAA'; function createTagwright() {}" })
      : r.continue()));
    await broken.goto('file://' + path.resolve(pageDir) + '/index.html');
    await broken.waitForFunction(() => !document.getElementById('error').hidden);
    assert.match(await text(broken, '#error'), /^The engine could not start in this browser: /);
    await broken.close();

    await offline(browser);
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
