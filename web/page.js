// The page: reads the file the user gives, hands its bytes to the engine (tagwright.js)
// and shows what comes back. Nothing here decides anything about the bytes; every
// rule is the engine's.
'use strict';

(function () {
  const MAX_SIZE = 32 * 1024 * 1024;  // the largest GBA cartridge
  const HEADER_SIZE = 192;

  // What each save type means to a player; the tag text comes from the engine.
  const SAVE_TYPES = [
    { number: 1, name: 'EEPROM 64 kbit', short: 'EEPROM 64k', meaning: '8 KiB of EEPROM' },
    { number: 2, name: 'EEPROM 128 kbit', short: 'EEPROM 128k', meaning: '16 KiB of EEPROM' },
    { number: 3, name: 'Flash 1024 kbit', short: 'Flash 1M', meaning: '128 KiB of Flash' },
    { number: 4, name: 'Flash 512 kbit', short: 'Flash 512k', meaning: '64 KiB of Flash' },
    { number: 5, name: 'SRAM 256 kbit', short: 'SRAM 256k', meaning: '32 KiB of battery-backed SRAM' },
    { number: 6, name: 'SRAM 512 kbit', short: 'SRAM 512k',
      meaning: '64 KiB of battery-backed SRAM; what most homebrew uses' },
  ];
  const PLACEMENTS = { append: 0, embed: 1, automatic: 2 };

  const $ = (id) => document.getElementById(id);
  let engine = null;
  let loaded = null;      // { name, header } of the file in the engine
  let downloadUrl = null;

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

  function hex(value, digits) {
    return '0x' + value.toString(16).toUpperCase().padStart(digits || 2, '0');
  }

  function sizeText(bytes) {
    if (bytes >= 1024 * 1024) return (bytes / 1048576).toFixed(bytes % 1048576 ? 2 : 0) + ' MiB';
    if (bytes >= 1024) return (bytes / 1024).toFixed(bytes % 1024 ? 1 : 0) + ' KiB';
    return bytes + ' bytes';
  }

  // Header texts arrive as one character per byte; unprintable bytes are shown as \xNN.
  function shown(text) {
    return text.replace(/[^\x20-\x7e]/g, (c) => '\\x' + c.charCodeAt(0).toString(16).toUpperCase().padStart(2, '0'));
  }

  function call(name, types, args) {
    return engine.ccall(name, 'string', types, args);
  }

  // --- the report ---

  function problemsOf(report) {
    const problems = [];
    const header = report.header;
    if (!header.complete) {
      problems.push('The file is shorter than a cartridge header: no console or emulator will start it.');
    } else if (!header.starts) {
      problems.push('A real Game Boy Advance would not start it: its header is damaged ' +
        '(patching repairs the header).');
    }
    const byOutcome = groupReaders(report.readers.filter((r) => r.readsStrings));
    if (byOutcome.size > 1) {
      problems.push('Emulators disagree about its save memory, so saves may not work everywhere.');
    }
    for (const [outcome, readers] of byOutcome) {
      if (outcome === 'no save memory' || outcome === 'refuses the file') {
        problems.push(readers.map((r) => r.name).join(', ') + ': ' +
          (outcome === 'refuses the file' ? 'will not load it.' : 'will give the game no save memory, so it cannot save.'));
      }
    }
    return problems;
  }

  function groupReaders(readers) {
    const groups = new Map();
    for (const reader of readers) {
      if (!groups.has(reader.outcome)) groups.set(reader.outcome, []);
      groups.get(reader.outcome).push(reader);
    }
    return groups;
  }

  function renderReport(container, report, name) {
    container.replaceChildren();
    const problems = problemsOf(report);
    if (problems.length) {
      container.append(element('h3', { text: 'Problems' }),
        element('ul', { class: 'problems' }, problems.map((p) => element('li', { text: p }))));
    } else {
      container.append(element('p', { class: 'ok', text: 'No problems found: the console starts it and every emulator that reads save strings agrees.' }));
    }

    const h = report.header;
    const facts = [
      ['File', name],
      ['Size', report.size + ' bytes (' + sizeText(report.size) + (report.powerOfTwo ? ', a power of two' : '') + ')'],
    ];
    if (h.complete) {
      facts.push(
        ['Title', '"' + shown(h.title) + '"'],
        ['Game code', shown(h.gameCode)],
        ['Maker code', shown(h.makerCode)],
        ['Version', String(h.version)],
        ['Logo', h.logoOk ? 'ok' : 'damaged'],
        ['Fixed byte at 0xB2', h.fixedValue === 0x96 ? 'ok' : hex(h.fixedValue) + ', should be 0x96'],
        ['Complement check', hex(h.storedCheck) + (h.storedCheck === h.computedCheck ? ' ok' : ', should be ' + hex(h.computedCheck))]);
    }
    container.append(element('h3', { text: 'Header' }),
      element('dl', { class: 'facts' }, facts.flatMap(([k, v]) => [element('dt', { text: k }), element('dd', { text: v })])));

    container.append(element('h3', { text: 'Save-type strings in the file' }));
    if (!report.strings.length) {
      container.append(element('p', { text: 'None.' }));
    } else {
      const items = report.strings.map((s) => element('li', { class: 'string',
        text: s.text + ' at ' + hex(s.offset, 1) + (s.aligned ? ' (aligned)' : ' (not aligned)') }));
      if (report.stringCount > report.strings.length) {
        items.push(element('li', { text: 'and ' + (report.stringCount - report.strings.length) + ' more' }));
      }
      container.append(element('ul', {}, items));
    }

    container.append(element('h3', { text: 'What each emulator will give the game' }));
    for (const [outcome, readers] of groupReaders(report.readers)) {
      const list = element('ul', {}, readers.map((r) => element('li', {
        class: 'reader', 'data-reader': r.name, 'data-outcome': r.outcome, 'data-reason': r.reason,
        text: r.name + (r.reason ? ': ' + r.reason : ''),
      })));
      container.append(element('div', { class: 'group' }, [element('h4', { text: outcome }), list]));
    }
  }

  // --- opening a file ---

  let opened = 0;

  async function openFile(file) {
    try {
      await readFile(file);
    } finally {
      document.body.dataset.opened = String(++opened);  // lets a test wait for the outcome
    }
  }

  async function readFile(file) {
    showError($('error'), '');
    $('report-section').hidden = true;
    $('patch-section').hidden = true;
    $('result-section').hidden = true;
    loaded = null;
    if (file.size < HEADER_SIZE) {
      showError($('error'), `"${file.name}" is not a GBA ROM: it has ${file.size} bytes, ` +
        `fewer than the ${HEADER_SIZE} bytes of a cartridge header.`);
      return;
    }
    if (file.size > MAX_SIZE) {
      showError($('error'), `"${file.name}" is too large for a GBA ROM: ${sizeText(file.size)}, ` +
        'and the largest cartridge holds 32 MiB.');
      return;
    }
    $('status').textContent = `Reading "${file.name}"…`;
    let bytes;
    try {
      bytes = new Uint8Array(await file.arrayBuffer());
    } catch (e) {
      showError($('error'), `"${file.name}" could not be read: ${e.message}`);
      $('status').textContent = '';
      return;
    }
    const at = engine._tw_input(bytes.length);
    if (!at) {
      showError($('error'), 'There is not enough memory in this browser tab for this file.');
      $('status').textContent = '';
      return;
    }
    engine.HEAPU8.set(bytes, at);
    const report = JSON.parse(call('tw_report', ['string'], [file.name]));
    loaded = { name: file.name, header: report.header };
    renderReport($('report'), report, file.name);
    fillForm(report.header);
    $('report-section').hidden = false;
    $('patch-section').hidden = false;
    $('status').textContent = `"${file.name}" is open: ${report.size} bytes.`;
  }

  function fillForm(header) {
    $('title').value = header.title;
    $('game-code').value = header.gameCode.replace(/\0+$/, '');
    $('maker-code').value = header.makerCode.replace(/\0+$/, '');
    $('version').value = String(header.version);
  }

  // --- patching ---

  // A field's text when the user changed it, else null (the header keeps its bytes).
  function changed(id, original) {
    const value = $(id).value;
    return value === original ? null : value;
  }

  function outputName(inputName, type) {
    const dot = inputName.lastIndexOf('.');
    const base = dot > 0 ? inputName.slice(0, dot) : inputName;
    return `${base} (${type.short}).gba`;
  }

  function patch(event) {
    event.preventDefault();
    showError($('patch-error'), '');
    $('result-section').hidden = true;
    if (!loaded) return;
    const h = loaded.header;
    const title = changed('title', h.title);
    const gameCode = changed('game-code', h.gameCode.replace(/\0+$/, ''));
    const makerCode = changed('maker-code', h.makerCode.replace(/\0+$/, ''));
    for (const [text, label] of [[title, 'title'], [gameCode, 'game code'], [makerCode, 'maker code']]) {
      if (text !== null && /[^\x20-\x7e]/.test(text)) {
        showError($('patch-error'), `The ${label} may hold only plain letters, digits and punctuation (ASCII).`);
        return;
      }
    }
    let version = -1;
    const versionText = $('version').value.trim();
    if (versionText !== String(h.version)) {
      if (!/^\d{1,3}$/.test(versionText) || Number(versionText) > 255) {
        showError($('patch-error'), 'The version must be a whole number from 0 to 255.');
        $('version').focus();
        return;
      }
      version = Number(versionText);
    }
    const typeNumber = Number(document.querySelector('input[name="save-type"]:checked').value);
    const type = SAVE_TYPES.find((t) => t.number === typeNumber);
    const placement = document.querySelector('input[name="placement"]:checked').value;
    const result = JSON.parse(call('tw_patch',
      ['number', 'number', 'number', 'number', 'string', 'string', 'string', 'number'],
      [typeNumber, PLACEMENTS[placement], $('pad').checked ? 1 : 0, $('replace').checked ? 1 : 0,
        title, gameCode, makerCode, version]));
    if (!result.written) {
      showError($('patch-error'), result.problem);
      return;
    }
    const name = outputName(loaded.name, type);
    const report = JSON.parse(call('tw_output_report', ['string'], [name]));
    // The Blob copies the bytes out of the engine's memory.
    const bytes = engine.HEAPU8.subarray(engine._tw_output(), engine._tw_output() + engine._tw_output_size());
    if (downloadUrl) URL.revokeObjectURL(downloadUrl);
    downloadUrl = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    const link = $('download');
    link.href = downloadUrl;
    link.download = name;
    link.textContent = `Download "${name}" (${sizeText(result.size)})`;
    const where = result.embeddedAt !== undefined
      ? `inside the ROM at ${hex(result.embeddedAt, 1)}` : 'after the ROM\'s last byte';
    $('result-summary').textContent = `${type.name} tag placed ${where}` +
      (result.padded ? ', padded to a power of two' : '') + `; the header is repaired. ` +
      `The new file has ${result.size} bytes.`;
    const changes = $('replaced');
    changes.replaceChildren(...result.replaced.map((c) => element('li', {
      text: c.fits ? `${c.oldText} at ${hex(c.offset, 1)} replaced by ${c.newText}`
        : `${c.oldText} at ${hex(c.offset, 1)} left as it is: ${c.newText} does not fit in its place` })));
    changes.hidden = !result.replaced.length;
    renderReport($('result-report'), report, name);
    $('result-section').hidden = false;
    $('result-title').focus();
  }

  // --- set-up ---

  function buildSaveTypes(tags) {
    const box = $('save-types');
    for (const type of SAVE_TYPES) {
      const id = 'save-type-' + type.number;
      const input = element('input', { type: 'radio', name: 'save-type', id, value: String(type.number) });
      if (type.number === 6) input.checked = true;
      const label = element('label', { for: id });
      label.append(element('b', { text: type.name }), ` (tag ${tags[type.number]}): ${type.meaning}`);
      box.append(element('div', { class: 'choice' }, [input, label]));
    }
  }

  function start(module) {
    engine = module;
    const tags = JSON.parse(call('tw_save_tags', [], []));
    buildSaveTypes(tags);
    $('rom-file').addEventListener('change', (e) => {
      if (e.target.files.length) openFile(e.target.files[0]);
    });
    document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
    document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
    document.addEventListener('drop', (e) => {
      e.preventDefault();
      document.body.classList.remove('dragging');
      if (e.dataTransfer.files.length) openFile(e.dataTransfer.files[0]);
    });
    $('patch-form').addEventListener('submit', patch);
    $('result-title').tabIndex = -1;
    $('status').textContent = 'Ready: choose or drop a ROM.';
    document.body.dataset.ready = 'true';
  }

  createTagwright().then(start, (e) => {
    showError($('error'), 'The engine could not start in this browser: ' + e);
  });
})();
