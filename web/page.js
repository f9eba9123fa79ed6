// The page: reads the files the player gives (ROMs, or ROMs inside a zip or gzip file,
// archives.js), hands each ROM's bytes to the engine (tagwright.js) and shows what
// comes back: first the answer and the one button that makes the ROM right, then, on
// demand, the details. Nothing here judges the bytes; every rule and every word for a
// save memory is the engine's.
'use strict';

(function () {
  const Archives = TagwrightArchives;
  const HEADER_SIZE = 192;
  const PLACEMENTS = { append: 0, embed: 1, automatic: 2 };
  const PLACES = [['computers and phones', 'Computers and phones'], ['DS and 3DS', 'DS and 3DS'],
    ['flash carts and FPGA', 'Flash carts and FPGA consoles']];
  const DEFAULT_TYPE = 6;  // what most homebrew uses, when nothing says otherwise

  const $ = (id) => document.getElementById(id);
  let engine = null;
  let types = [];        // [{number, tag, memory}] from the engine
  let entries = [];      // the ROMs opened together
  let current = null;    // the entry shown on its own
  let held = null;       // the entry whose bytes are in the engine
  let openings = 0;
  let allUrl = null;

  function element(tag, attributes, children) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes || {})) {
      if (key === 'text') node.textContent = value;
      else node.setAttribute(key, value);
    }
    for (const child of children || []) node.append(child);
    return node;
  }

  function showError(box, message) {
    box.textContent = message;
    box.hidden = !message;
  }

  const hex = (value, digits) => '0x' + value.toString(16).toUpperCase().padStart(digits || 2, '0');
  const bytesText = (n) => `${n.toLocaleString('en-US')} bytes`;
  const typeOf = (number) => types.find((t) => t.number === number);
  const quote = (name) => `"${name}"`;

  // Header texts arrive as UTF-8 text (bytes that are not UTF-8 as U+FFFD); control
  // characters are shown as \xNN.
  function shown(text) {
    return text.replace(/[\x00-\x1f\x7f-\x9f]/g, (c) => '\\x' + c.charCodeAt(0).toString(16).toUpperCase().padStart(2, '0'));
  }

  function call(name, argTypes, args) {
    return engine.ccall(name, 'string', argTypes, args);
  }

  // Lets the browser draw "Working…" before the engine holds the thread.
  function painted() {
    return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
  }

  function working(on) {
    document.body.classList.toggle('busy', on);
    if (on) $('status').textContent = 'Working…';
  }

  // --- what to do with a ROM ---

  // A suggested command's options ("-e6 -p --replace -cZTGP") as the page's choices.
  function choicesOf(options) {
    const choice = { pad: false, replace: false, gameCode: null };
    for (const word of options.split(' ')) {
      if (/^-[se][1-6]$/.test(word)) {
        choice.type = Number(word[2]);
        choice.placement = word[1] === 's' ? 'append' : 'embed';
      } else if (word === '-p') choice.pad = true;
      else if (word === '--replace') choice.replace = true;
      else if (word.startsWith('-c')) choice.gameCode = word.slice(2);
    }
    return choice;
  }

  // The answer for an opened ROM: the type it wants and why, what the readers do with
  // it, and the choices the one button patches with (none when it is ready).
  function planOf(data, chosenType) {
    const { report, needs } = data;
    const v = report.verdict;
    const plan = { sentences: [], why: '', choose: false, ready: false, options: null };
    const asked = v.asked.map((a) => a.text);
    if (needs && needs.type) {
      plan.type = needs.type;
      plan.sentences.push(`The game's code uses ${needs.memory}` +
        (asked.length && !v.asked.some((a) => a.type === needs.type) ? `, though its save strings ask for ${asked.join(' and ')}.` : '.'));
      const source = { code: 'Found in its code', trial: 'Seen as it ran', string: 'Named by its save library' }[needs.by] ||
        'Found in its code';
      plan.why = `${source}: ${needs.why || 'its save accesses'}.`;
    } else if (v.asked.length === 1) {
      plan.type = v.asked[0].type;
      plan.sentences.push(`The game asks for ${asked[0]}.`);
    } else if (v.asked.length > 1) {
      const fix = v.commands.find((c) => c.options);
      plan.type = fix ? fix.type : v.asked[0].type;
      plan.sentences.push(`Its save strings ask for ${asked.join(' and ')}: only one can be right.`);
    } else {
      plan.type = chosenType || DEFAULT_TYPE;
      plan.choose = true;
      plan.sentences.push('The game does not say which save type it uses, so each emulator guesses.');
      if (needs && needs.outcome === 'none' && needs.why) plan.why = `No saving found in its code: ${needs.why}.`;
    }
    const judged = data.readers.filter((r, i) => report.readers[i].tag_can_change);
    const differ = judged.filter((r) => !r.gives.includes(plan.type));
    const { memory, asked: kind } = typeOf(plan.type);
    if (plan.choose) {
      plan.sentences.push(`${judged.length - differ.length} of ${judged.length} emulators and carts would guess ${kind}.`);
    } else if (differ.length) {
      plan.sentences.push(`${differ.length} of ${judged.length} emulators and carts would give it something else, so saves may be lost there.`);
    } else {
      plan.sentences.push(`Every emulator and cart that reads save types gives it ${kind}.`);
    }
    if (!report.header.starts) plan.sentences.push('A real GBA would not start it: its header is damaged.');
    plan.ready = v.ok && !plan.choose && !differ.length;
    const command = v.commands.find((c) => c.options && c.type === plan.type);
    plan.options = command ? command.options : null;
    plan.choices = command ? choicesOf(command.options)
      : { type: plan.type, placement: 'automatic', pad: false, replace: false, gameCode: null };
    const given = needs && needs.type === plan.type && needs.memory ? needs.memory : memory;
    plan.button = !differ.length && !plan.choose && !report.header.starts ? 'Repair the header' : `Give it ${given}`;
    return plan;
  }

  // --- the report's details ---

  function readerGrid(data, wanted) {
    const { report } = data;
    const box = element('div', { class: 'places' });
    for (const [place, heading] of PLACES) {
      const items = [];
      data.readers.forEach((r, i) => {
        if (r.place !== place) return;
        const judged = report.readers[i];
        const mark = !judged.tag_can_change ? ['own', '•', 'decides by itself']
          : r.gives.includes(wanted) ? ['good', '✓', 'gives it'] : ['bad', '✗', 'gives something else'];
        items.push(element('li', { class: 'reader', 'data-id': r.id, 'data-outcome': judged.outcome,
          'data-bytes': String(judged.bytes), 'data-reason': judged.reason, 'data-words': r.outcome,
          'data-mark': mark[0] }, [element('details', {}, [
          element('summary', {}, [element('span', { class: 'mark ' + mark[0], 'aria-hidden': 'true', text: mark[1] }),
            element('span', { class: 'sr', text: mark[2] + ': ' }), ' ' + judged.name]),
          element('p', { text: r.outcome + (r.note ? `: ${r.note}` : '') })])]));
      });
      box.append(element('h3', { text: heading }), element('ul', { class: 'grid' }, items));
    }
    return box;
  }

  function renderReport(container, data, name, wanted) {
    container.replaceChildren();
    const { report } = data;
    container.append(element('p', { class: 'legend', text: '✓ gives the save type wanted · ✗ gives another · ' +
      '• decides by itself. Open a name for its reason.' }), readerGrid(data, wanted));
    const h = report.header;
    const facts = [['File', name], ['Size', bytesText(report.size)]];
    if (h.complete) {
      facts.push(
        ['Title', '"' + shown(h.title) + '"'],
        ['Game code', shown(h.game_code)],
        ['Maker code', shown(h.maker_code)],
        ['Version', String(h.version)],
        ['Starts on a GBA', h.starts ? 'yes' : 'no: the header is damaged'],
        ['Logo', h.logo_ok ? 'ok' : 'damaged'],
        ['Fixed byte at 0xB2', h.fixed_ok ? 'ok' : `${hex(h.fixed_value)}, should be 0x96`],
        ['Header check byte', h.complement_ok ? 'ok' : `${hex(h.complement)}, should be ${hex(h.complement_expected)}`]);
    } else {
      facts.push(['Header', 'shorter than a cartridge header']);
    }
    container.append(element('h3', { text: 'Header' }),
      element('dl', { class: 'facts' }, facts.flatMap(([k, v]) => [element('dt', { text: k }), element('dd', { text: v })])));
    container.append(element('h3', { text: 'Save strings in the file' }));
    container.append(report.strings.length
      ? element('ul', {}, report.strings.map((s) => element('li', { class: 'string',
        text: `${s.text} at ${hex(s.offset, 1)}${s.aligned ? '' : ' (not aligned)'}` })))
      : element('p', { text: 'None.' }));
  }

  // --- the engine ---

  async function hold(entry) {
    if (held === entry) return;
    held = null;
    const bytes = await entry.read();
    if (bytes.length < HEADER_SIZE) {
      throw new Error(`${quote(entry.name)} is not a GBA ROM: it has ${bytesText(bytes.length)}, ` +
        `fewer than the ${HEADER_SIZE} bytes of a cartridge header.`);
    }
    if (bytes.length > Archives.MAX_ROM) throw new Error(Archives.tooLarge(entry.name, bytes.length));
    const at = engine._tw_input(bytes.length);
    if (!at) throw new Error('There is not enough memory in this browser tab for this file.');
    engine.HEAPU8.set(bytes, at);
    if (entry.crc !== null && (engine._tw_crc32(0) >>> 0) !== entry.crc) {
      throw new Error(`${quote(entry.name)} in ${quote(entry.from)} is damaged: its check does not match.`);
    }
    entry.size = bytes.length;
    held = entry;
  }

  function outputName(entry, type) {
    const dot = entry.name.lastIndexOf('.');
    const base = dot > 0 ? entry.name.slice(0, dot) : entry.name;
    return `${base} (${typeOf(type).memory}).gba`;
  }

  // Patches the entry with `choices` ({type, placement, pad, replace, title, gameCode,
  // makerCode, version}; null fields leave the header's); returns a problem in words or null.
  async function patchEntry(entry, choices) {
    await hold(entry);
    const name = outputName(entry, choices.type);
    const result = JSON.parse(call('tw_patch',
      ['string', 'number', 'number', 'number', 'number', 'string', 'string', 'string', 'number'],
      [name, choices.type, PLACEMENTS[choices.placement], choices.pad ? 1 : 0, choices.replace ? 1 : 0,
        choices.title ?? null, choices.gameCode ?? null, choices.makerCode ?? null, choices.version ?? -1]));
    if (!result.written) return result.problem;
    const start = engine._tw_output();
    const blob = new Blob([engine.HEAPU8.subarray(start, start + engine._tw_output_size())],
      { type: 'application/octet-stream' });
    if (entry.result) URL.revokeObjectURL(entry.result.url);
    entry.result = { ...result, name, blob, url: URL.createObjectURL(blob), crc: engine._tw_crc32(1) >>> 0,
      type: choices.type, data: JSON.parse(call('tw_output_report', ['string'], [name])) };
    return null;
  }

  // The verdict on a patched file, in one or two sentences.
  function resultVerdict(entry) {
    const { report } = entry.result.data;
    const v = report.verdict;
    const { memory, asked: kind } = typeOf(entry.result.type);
    const needs = entry.data.needs;
    if (entry.result.codeDisagrees && needs && needs.memory) {
      return { ok: false, text: `Tagged ${memory}, but the game's code uses ${needs.memory}: ` +
        'emulators and carts will give it the wrong save memory, and its saves may be lost.' };
    }
    if (v.ok) {
      return { ok: true, text: `Saves will work: it asks for ${memory}, and every emulator and cart that reads save types gives it ${kind}.` };
    }
    const names = v.disagreeing.map((id) => report.readers.find((r) => r.id === id).name);
    const start = report.header.starts ? '' : 'A real GBA still would not start it. ';
    return { ok: false, text: `${start}Tagged ${memory}, but ${names.length} still give${names.length === 1 ? 's' : ''} ` +
      `something else: ${names.join(', ')}.` };
  }

  // --- one ROM on its own ---

  function showAnswer(entry) {
    current = entry;
    $('many-section').hidden = true;
    $('back-line').hidden = entries.length < 2;
    const plan = entry.plan;
    $('answer-title').textContent = entry.from ? `${entry.name} (from ${entry.from})` : entry.name;
    $('answer').textContent = plan.sentences.join(' ');
    $('answer').dataset.ready = String(plan.ready);
    $('answer').dataset.needs = entry.data.needs.outcome;
    $('why').textContent = plan.why;
    $('why').hidden = !plan.why;
    $('quick-type-box').hidden = !plan.choose;
    $('quick-type').value = String(plan.type);
    const button = $('fix-button');
    button.hidden = plan.ready;
    button.textContent = plan.button;
    button.dataset.options = plan.options || '';
    renderReport($('report'), entry.data, entry.name, plan.type);
    fillForm(entry.data.report.header, plan.choices);
    $('answer-section').hidden = false;
    if (entry.result) showResult(entry);
    else $('result-section').hidden = true;
  }

  function showResult(entry) {
    const r = entry.result;
    const verdict = resultVerdict(entry);
    $('result-title').textContent = verdict.ok ? 'Fixed' : 'Patched, with a warning';
    $('result-verdict').textContent = verdict.ok ? verdict.text : `${verdict.text} The details below say why.`;
    $('result-verdict').dataset.ok = String(verdict.ok);
    const link = $('download');
    link.href = r.url;
    link.download = r.name;
    link.textContent = `Download "${r.name}" (${bytesText(r.size)})`;
    const where = r.embeddedAt !== undefined ? `inside the ROM at ${hex(r.embeddedAt, 1)}` : 'after the ROM\'s last byte';
    const h = entry.data.report.header;
    $('result-summary').textContent = `The ${typeOf(r.type).memory} tag is ${where}` +
      (r.padded ? ', and the file is padded to a power of two' : '') +
      (h.starts && h.complement_ok ? '' : '; the header is repaired') + '.';
    const changes = $('replaced');
    changes.replaceChildren(...r.replaced.map((c) => element('li', {
      text: c.fits ? `${c.oldText} at ${hex(c.offset, 1)} replaced by ${c.newText}`
        : `${c.oldText} at ${hex(c.offset, 1)} left as it is: ${c.newText} does not fit in its place` })));
    changes.hidden = !r.replaced.length;
    renderReport($('result-report'), r.data, r.name, r.type);
    $('result-section').hidden = false;
  }

  async function fixCurrent(choices) {
    const entry = current;
    showError($('patch-error'), '');
    working(true);
    await painted();
    let problem;
    try {
      problem = await patchEntry(entry, choices);
    } catch (e) {
      problem = e.message;
    }
    working(false);
    $('status').textContent = problem ? '' : `Patched: ${entry.result.name}.`;
    if (problem) {
      showError($('patch-error'), problem);
      $('more').open = true;
      $('result-section').hidden = true;
    } else {
      showResult(entry);
      if (entries.length > 1) updateItem(entry);
      $('result-title').focus({ preventScroll: true });
      window.scrollTo(0, 0);
    }
    document.body.dataset.patched = String(Number(document.body.dataset.patched || 0) + 1);
  }

  // --- more choices ---

  // The header fields the player has typed in since the ROM was shown: only those are
  // set (a field shown from the file may not survive the round trip through the form,
  // e.g. a line break in a damaged header).
  const edited = new Set();

  function fillForm(header, choices) {
    edited.clear();
    const fields = [['title', header.title], ['game-code', header.game_code.replace(/\0+$/, '')],
      ['maker-code', header.maker_code.replace(/\0+$/, '')]];
    for (const [id, text] of fields) {
      const plain = /^[\x20-\x7e]*$/.test(text);
      $(id).value = plain ? text : '';
      $(id).placeholder = plain ? '' : '(not plain text in the file)';
    }
    $('version').value = String(header.version);
    $('save-type-' + choices.type).checked = true;
    $('placement-' + choices.placement).checked = true;
    $('pad').checked = choices.pad;
    $('replace').checked = choices.replace;
    if (choices.gameCode) {
      $('game-code').value = choices.gameCode;
      edited.add('game-code');
    }
  }

  const changed = (id) => (edited.has(id) ? $(id).value : null);

  function submitForm(event) {
    event.preventDefault();
    showError($('patch-error'), '');
    if (!current) return;
    const choices = { title: changed('title'), gameCode: changed('game-code'), makerCode: changed('maker-code') };
    for (const [text, label] of [[choices.title, 'title'], [choices.gameCode, 'game code'], [choices.makerCode, 'maker code']]) {
      if (text !== null && /[^\x20-\x7e]/.test(text)) {
        showError($('patch-error'), `The ${label} may hold only plain letters, digits and punctuation (ASCII).`);
        return;
      }
    }
    const versionText = changed('version');
    if (versionText !== null) {
      if (!/^\d{1,3}$/.test(versionText) || Number(versionText) > 255) {
        showError($('patch-error'), 'The version must be a whole number from 0 to 255.');
        $('version').focus();
        return;
      }
      choices.version = Number(versionText);
    }
    choices.type = Number(document.querySelector('input[name="save-type"]:checked').value);
    choices.placement = document.querySelector('input[name="placement"]:checked').value;
    choices.pad = $('pad').checked;
    choices.replace = $('replace').checked;
    fixCurrent(choices);
  }

  // --- several ROMs ---

  function updateItem(entry) {
    const item = entry.item;
    const answer = item.querySelector('.item-answer');
    const fix = item.querySelector('.fix-one');
    const link = item.querySelector('.download-one');
    if (entry.problem) {
      answer.textContent = entry.problem;
      answer.classList.add('problem');
      fix.hidden = true;
    } else if (entry.result) {
      answer.textContent = resultVerdict(entry).text;
      fix.hidden = true;
      link.hidden = false;
      link.href = entry.result.url;
      link.download = entry.result.name;
      link.replaceChildren('Download ', element('span', { class: 'sr', text: entry.result.name + ' ' }),
        `(${bytesText(entry.result.size)})`);
    } else {
      item.dataset.type = String(entry.plan.choices.type);
      item.dataset.options = entry.plan.options || '';
      answer.textContent = entry.plan.ready ? 'Ready as it is: ' + entry.plan.sentences.join(' ') : entry.plan.sentences.join(' ');
      fix.hidden = entry.plan.ready;
      fix.textContent = entry.plan.button;
    }
    const fixed = entries.filter((e) => e.result).length;
    const left = entries.filter((e) => !e.problem && !e.result && !e.plan.ready).length;
    $('fix-all').hidden = !left;
    $('download-all').hidden = !fixed;
    $('download-all').textContent = `Download all ${fixed} fixed (.zip)`;
    $('many-summary').textContent = `${entries.length} ROMs: ${fixed} fixed, ${left} to fix` +
      `${entries.some((e) => e.problem) ? ', some could not be opened' : ''}.`;
  }

  function showMany() {
    current = null;
    $('answer-section').hidden = true;
    $('result-section').hidden = true;
    $('many-title').textContent = `${entries.length} ROMs`;
    const from = new Set(entries.map((e) => e.from));
    const only = from.size === 1 ? [...from][0] : null;
    $('download-all').download = only ? `${only.replace(/\.(zip|gz|gzip)$/i, '')} (fixed).zip` : 'Fixed ROMs.zip';
    const list = $('many-list');
    list.replaceChildren();
    for (const entry of entries) {
      const fix = element('button', { type: 'button', class: 'fix-one' });
      fix.addEventListener('click', () => fixMany([entry]));
      const open = element('button', { type: 'button', class: 'quiet open-one', text: 'Details',
        'aria-label': `Details of ${entry.name}` });
      open.addEventListener('click', () => showAnswer(entry));
      open.hidden = Boolean(entry.problem);
      entry.item = element('li', { class: 'item', 'data-name': entry.name }, [
        element('p', { class: 'item-name' }, [element('b', { text: entry.name }),
          entry.size !== null ? ` · ${bytesText(entry.size)}` : '']),
        element('p', { class: 'item-answer' }),
        element('div', { class: 'actions' }, [fix, element('a', { class: 'button download-one', href: '#', hidden: '' }), open])]);
      list.append(entry.item);
    }
    entries.forEach(updateItem);
    $('many-section').hidden = false;
  }

  async function fixMany(list) {
    working(true);
    await painted();
    for (const entry of list) {
      let problem;
      try {
        problem = await patchEntry(entry, entry.plan.choices);
      } catch (e) {
        problem = e.message;
      }
      if (problem) entry.problem = problem;
      updateItem(entry);
    }
    working(false);
    $('status').textContent = `Fixed ${entries.filter((e) => e.result).length} of ${entries.length} ROMs.`;
    document.body.dataset.patched = String(Number(document.body.dataset.patched || 0) + 1);
  }

  // The zip of every fixed ROM, made as its link is clicked, before the browser follows it.
  function prepareAll() {
    if (allUrl) URL.revokeObjectURL(allUrl);
    const fixed = entries.filter((e) => e.result).map((e) => ({ name: e.result.name, blob: e.result.blob, crc: e.result.crc }));
    allUrl = URL.createObjectURL(Archives.storedZip(fixed));
    $('download-all').href = allUrl;
  }

  // --- opening files ---

  // Each file given: a ROM, the ROMs of a zip or gzip file, or a refusal in words.
  async function entriesOf(file, refusals) {
    let head;
    try {
      head = new Uint8Array(await file.slice(0, 512).arrayBuffer());
    } catch (e) {
      refusals.push(`${quote(file.name)} could not be read: ${e.message}`);
      return [];
    }
    const kind = Archives.kindOf(head, file.name);
    if (kind.refused) {
      refusals.push(kind.refused);
      return [];
    }
    if (kind === 'zip' || kind === 'gzip') {
      try {
        const roms = kind === 'zip' ? await Archives.zipRoms(file) : [await Archives.gzipRom(file)];
        return roms.map((rom) => ({ ...rom, from: file.name }));
      } catch (e) {
        refusals.push(e.message);
        return [];
      }
    }
    let problem = null;
    if (file.size < HEADER_SIZE) {
      problem = `${quote(file.name)} is not a GBA ROM: it has ${bytesText(file.size)}, ` +
        `fewer than the ${HEADER_SIZE} bytes of a cartridge header.`;
    } else if (file.size > Archives.MAX_ROM) {
      problem = Archives.tooLarge(file.name, file.size);
    }
    return [{ name: file.name, size: file.size, crc: null, from: null, problem,
      read: async () => new Uint8Array(await file.arrayBuffer()) }];
  }

  async function openFiles(files) {
    try {
      await readFiles(files);
    } catch (e) {
      showError($('error'), e.message);
    } finally {
      working(false);
      document.body.dataset.opened = String(++openings);  // lets a test wait for the outcome
    }
  }

  async function readFiles(files) {
    showError($('error'), '');
    for (const id of ['answer-section', 'result-section', 'many-section']) $(id).hidden = true;
    for (const entry of entries) if (entry.result) URL.revokeObjectURL(entry.result.url);
    entries = [];
    current = null;
    held = null;
    working(true);
    await painted();
    const refusals = [];
    const found = [];
    for (const file of files) found.push(...await entriesOf(file, refusals));
    for (const entry of found) {
      if (entry.problem) continue;
      try {
        await hold(entry);
        entry.data = JSON.parse(call('tw_report', ['string'], [entry.name]));
        entry.plan = planOf(entry.data);
      } catch (e) {
        entry.problem = e.message;
      }
    }
    working(false);
    entries = found;
    const good = found.filter((e) => !e.problem);
    if (found.length === 1 && good.length === 1) {
      showError($('error'), refusals.join('\n'));
      showAnswer(good[0]);
      $('status').textContent = `${quote(good[0].name)} is open: ${bytesText(good[0].size)}.`;
    } else if (found.length > 1) {
      showError($('error'), refusals.join('\n'));
      showMany();
      $('status').textContent = `${good.length} of ${found.length} ROMs are open.`;
    } else {
      entries = [];
      showError($('error'), [...refusals, ...found.map((e) => e.problem)].join('\n'));
      $('status').textContent = '';
    }
  }

  // --- set-up ---

  function buildSaveTypes() {
    const box = $('save-types');
    for (const type of types) {
      const id = 'save-type-' + type.number;
      const input = element('input', { type: 'radio', name: 'save-type', id, value: String(type.number) });
      const label = element('label', { for: id });
      label.append(element('b', { text: type.memory }), ` (tag ${type.tag})`);
      box.append(element('div', { class: 'choice' }, [input, label]));
      $('quick-type').append(element('option', { value: String(type.number),
        text: type.memory + (type.number === DEFAULT_TYPE ? ' (most homebrew)' : '') }));
    }
  }

  function start(module) {
    engine = module;
    types = JSON.parse(call('tw_save_types', [], []));
    buildSaveTypes();
    $('rom-file').addEventListener('change', (e) => {
      const files = [...e.target.files];
      e.target.value = '';  // choosing the same file again is a change too
      if (files.length) openFiles(files);
    });
    document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
    document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
    document.addEventListener('drop', (e) => {
      e.preventDefault();
      document.body.classList.remove('dragging');
      if (e.dataTransfer.files.length) openFiles([...e.dataTransfer.files]);
    });
    $('patch-form').addEventListener('submit', submitForm);
    for (const id of ['title', 'game-code', 'maker-code', 'version']) {
      $(id).addEventListener('input', () => edited.add(id));
    }
    $('fix-button').addEventListener('click', () => fixCurrent(current.plan.choices));
    $('quick-type').addEventListener('change', () => {
      current.plan = planOf(current.data, Number($('quick-type').value));
      showAnswer(current);
    });
    $('fix-all').addEventListener('click', () => fixMany(entries.filter((e) => !e.problem && !e.result && !e.plan.ready)));
    $('download-all').addEventListener('click', prepareAll);
    $('back').addEventListener('click', showMany);
    $('result-title').tabIndex = -1;
    $('status').textContent = 'Ready: choose a ROM.';
    document.body.dataset.ready = 'true';
  }

  // The engine's WebAssembly travels gzip-compressed inside tagwright.js.
  async function engineModule() {
    const packed = Uint8Array.from(atob(tagwrightWasmGzip), (c) => c.charCodeAt(0));
    const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  engineModule().then((wasmBinary) => createTagwright({ wasmBinary })).then(start, (e) => {
    showError($('error'), 'The engine could not start in this browser: ' + e);
  });

  // Installed or served, the page keeps itself for use offline; opened from disk it
  // has no worker and needs none.
  if ('serviceWorker' in navigator && /^https?:$/.test(location.protocol)) {
    navigator.serviceWorker.register('sw.js').catch(() => {});
  }
})();
