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

  // Header texts arrive as UTF-8 text (bytes that are not UTF-8 as U+FFFD, shown as
  // such); control characters are shown as \xNN.
  function shown(text) {
    return text.replace(/[\x00-\x1f\x7f-\x9f]/g, (c) => '\\x' + c.charCodeAt(0).toString(16).toUpperCase().padStart(2, '0'));
  }

  function call(name, types, args) {
    return engine.ccall(name, 'string', types, args);
  }

  // --- the report ---

  // The save types the strings ask for, in words: "SRAM" or "SRAM and Flash 128 KiB".
  function askedText(verdict) {
    return verdict.asked.map((a) => a.text).join(' and ');
  }

  // What a suggested command means on this page: "-e6 -p --replace -cZTGP" as choices.
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

  function applyChoices(choice) {
    $('save-type-' + choice.type).checked = true;
    $('placement-' + choice.placement).checked = true;
    $('pad').checked = choice.pad;
    $('replace').checked = choice.replace;
    if (choice.gameCode) {
      $('game-code').value = choice.gameCode;
      edited.add('game-code');
    }
    $('patch-button').focus();
  }

  function describeChoices(choice) {
    const type = SAVE_TYPES.find((t) => t.number === choice.type);
    return `${type.name}, ${choice.placement === 'append' ? 'appended' : 'embedded inside the ROM'}` +
      (choice.pad ? ', padded' : '') + (choice.replace ? ', leftover strings replaced' : '') +
      (choice.gameCode ? `, game code ${choice.gameCode}` : '');
  }

  function problemList(data, warning) {
    const { report } = data;
    const notes = new Map();
    for (const group of data.groups) {
      for (const r of group.readers) notes.set(r.id, { name: r.name, outcome: group.outcome, note: r.note });
    }
    const items = [];
    if (warning) items.push(element('li', { class: 'warning', text: warning }));
    const h = report.header;
    if (!h.complete) {
      items.push(element('li', { text: 'The file is shorter than a cartridge header: nothing will start it.' }));
    } else if (!h.starts) {
      items.push(element('li', { text: 'A real Game Boy Advance would not start it: its header is damaged. ' +
        'Patching it here repairs the header.' }));
    }
    const v = report.verdict;
    if (!v.asked.length) {
      items.push(element('li', { text: 'It holds no save-type string, so every emulator guesses its save memory. ' +
        'Choose the save type the game needs below.' }));
    } else if (v.asked.length > 1) {
      items.push(element('li', { text: `Its strings ask for more than one save type: ${askedText(v)}.` }));
    }
    if (v.disagreeing.length) {
      const readers = v.disagreeing.map((id) => {
        const r = notes.get(id);
        return element('li', { class: 'disagreeing', 'data-id': id,
          text: `${r.name}: ${r.outcome}${r.note ? ` (${r.note})` : ''}` });
      });
      items.push(element('li', {}, [`Saves may not work in these, which do not give it ${askedText(v)}:`,
        element('ul', {}, readers)]));
    }
    for (const command of v.commands) {
      const wanted = v.asked.find((a) => a.type === command.type);
      const text = wanted ? wanted.text : '';
      if (!command.options) {
        items.push(element('li', { class: 'fix', text: `No patch makes every emulator give ${text}.` }));
        continue;
      }
      const choice = choicesOf(command.options);
      const button = element('button', { type: 'button', class: 'use-fix', 'data-options': command.options,
        text: 'Use these settings' });
      button.addEventListener('click', () => applyChoices(choice));
      items.push(element('li', { class: 'fix' }, [
        `What makes every emulator give ${text}: ${describeChoices(choice)} `,
        element('span', { class: 'command', text: `(tagwright ${command.options})` }), ' ', button]));
    }
    return items;
  }

  function renderReport(container, data, name, warning) {
    container.replaceChildren();
    const { report } = data;
    const problems = problemList(data, warning);
    if (problems.length) {
      container.append(element('h3', { text: 'Problems' }), element('ul', { class: 'problems' }, problems));
    } else {
      container.append(element('p', { class: 'ok',
        text: `No problems: the console starts it and every emulator that reads save strings gives ${askedText(report.verdict)}.` }));
    }

    const h = report.header;
    const facts = [
      ['File', name],
      ['Size', `${report.size} bytes (${sizeText(report.size)})`],
    ];
    if (h.complete) {
      facts.push(
        ['Title', '"' + shown(h.title) + '"'],
        ['Game code', shown(h.game_code)],
        ['Maker code', shown(h.maker_code)],
        ['Version', String(h.version)],
        ['Logo', h.logo_ok ? 'ok' : 'damaged'],
        ['Fixed byte at 0xB2', h.fixed_ok ? 'ok' : `${hex(h.fixed_value)}, should be 0x96`],
        ['Complement check', hex(h.complement) + (h.complement_ok ? ' ok' : `, should be ${hex(h.complement_expected)}`)]);
    }
    container.append(element('h3', { text: 'Header' }),
      element('dl', { class: 'facts' }, facts.flatMap(([k, v]) => [element('dt', { text: k }), element('dd', { text: v })])));

    container.append(element('h3', { text: 'Save-type strings in the file' }));
    container.append(report.strings.length
      ? element('ul', {}, report.strings.map((s) => element('li', { class: 'string',
        text: `${s.text} at ${hex(s.offset, 1)}${s.aligned ? ' (aligned)' : ' (not aligned)'}` })))
      : element('p', { text: 'None.' }));

    container.append(element('h3', { text: 'What each emulator, loader and flash cart will give the game' }));
    const byId = new Map(report.readers.map((r) => [r.id, r]));
    for (const group of data.groups) {
      const list = element('ul', {}, group.readers.map((r) => {
        const judged = byId.get(r.id);
        return element('li', { class: 'reader', 'data-id': r.id, 'data-outcome': judged.outcome,
          'data-bytes': String(judged.bytes), 'data-reason': judged.reason,
          text: r.name + (r.note ? ` (${r.note})` : '') });
      }));
      container.append(element('div', { class: 'group' }, [element('h4', { text: group.outcome }), list]));
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
    const data = JSON.parse(call('tw_report', ['string'], [file.name]));
    loaded = { name: file.name, header: data.report.header };
    renderReport($('report'), data, file.name);
    fillForm(data.report.header);
    $('report-section').hidden = false;
    $('patch-section').hidden = false;
    $('status').textContent = `"${file.name}" is open: ${data.report.size} bytes.`;
  }

  // The header fields the user has typed in since the file was opened: only those are
  // set (a field shown from the file may not survive the round trip through the form,
  // e.g. a line break in a damaged header).
  const edited = new Set();

  function fillForm(header) {
    edited.clear();
    // A field that is not plain text is left empty: it stays as it is unless typed in.
    const fields = [['title', header.title], ['game-code', header.game_code.replace(/\0+$/, '')],
      ['maker-code', header.maker_code.replace(/\0+$/, '')]];
    for (const [id, text] of fields) {
      const plain = /^[\x20-\x7e]*$/.test(text);
      $(id).value = plain ? text : '';
      $(id).placeholder = plain ? '' : '(not plain text in the file)';
    }
    $('version').value = String(header.version);
  }

  // --- patching ---

  // A field's text when the user changed it, else null (the header keeps its bytes).
  function changed(id) {
    return edited.has(id) ? $(id).value : null;
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
    const title = changed('title');
    const gameCode = changed('game-code');
    const makerCode = changed('maker-code');
    for (const [text, label] of [[title, 'title'], [gameCode, 'game code'], [makerCode, 'maker code']]) {
      if (text !== null && /[^\x20-\x7e]/.test(text)) {
        showError($('patch-error'), `The ${label} may hold only plain letters, digits and punctuation (ASCII).`);
        return;
      }
    }
    let version = -1;
    const versionText = changed('version');
    if (versionText !== null) {
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
    const name = outputName(loaded.name, type);
    const result = JSON.parse(call('tw_patch',
      ['string', 'number', 'number', 'number', 'number', 'string', 'string', 'string', 'number'],
      [name, typeNumber, PLACEMENTS[placement], $('pad').checked ? 1 : 0, $('replace').checked ? 1 : 0,
        title, gameCode, makerCode, version]));
    if (!result.written) {
      showError($('patch-error'), result.problem);
      return;
    }
    const report = JSON.parse(call('tw_output_report', ['string'], [name]));
    if (downloadUrl) URL.revokeObjectURL(downloadUrl);
    downloadUrl = null;
    const link = $('download');
    link.href = '#';
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
    renderReport($('result-report'), report, name, result.warning);
    $('result-section').hidden = false;
    $('result-title').focus();
  }

  // The file is copied out of the engine's memory only when it is downloaded: the
  // link's address is set as it is clicked, before the browser follows it.
  function prepareDownload() {
    if (downloadUrl) return;
    const bytes = engine.HEAPU8.subarray(engine._tw_output(), engine._tw_output() + engine._tw_output_size());
    downloadUrl = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    $('download').href = downloadUrl;
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
    for (const id of ['title', 'game-code', 'maker-code', 'version']) {
      $(id).addEventListener('input', () => edited.add(id));
    }
    $('download').addEventListener('click', prepareDownload);
    $('result-title').tabIndex = -1;
    $('status').textContent = 'Ready: choose or drop a ROM.';
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
})();
