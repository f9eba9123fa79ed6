// Archives as players pass ROMs around: what a file is from its first bytes, the ROMs
// inside a zip or a gzip file, and the one zip the page writes of several results.
//
// Zip, as read here (all numbers little-endian):
//   end record      "PK\5\6" within the last 65,557 bytes: entries (2 bytes at 10),
//                   directory size (4 at 12), directory offset (4 at 16); 0xFFFF or
//                   0xFFFFFFFF there means ZIP64, which no archive of GBA ROMs needs
//   directory entry "PK\1\2": flags (2 at 8; bit 0 a password, bit 11 a UTF-8 name),
//                   method (2 at 10: 0 stored, 8 deflate), CRC-32 (4 at 16), packed
//                   and unpacked sizes (4 at 20, 4 at 24), name, extra and comment
//                   lengths (2 at 28, 30, 32), local header offset (4 at 42), name at 46
//   local header    "PK\3\4": name and extra lengths (2 at 26, 28); data at 30 + both
// Deflate goes through the browser's own DecompressionStream('deflate-raw'); an entry
// larger than it says, or than MAX_ROM, is refused before it is held whole. The CRC-32
// is returned for the caller to check (the engine computes it).
//
// Gzip: 1F 8B 08, flags at 3 (4 extra field, 8 original name, 16 comment, 2 header
// CRC), the original name zero-terminated after the 10-byte header (and the extra
// field); unpacked by DecompressionStream('gzip'), stopped past MAX_ROM.
//
// The zip written is stored (ROMs barely compress): a local header and the bytes for
// each file, the directory, the end record; names UTF-8 (flag bit 11).
'use strict';

// eslint-disable-next-line no-unused-vars
const TagwrightArchives = (function () {
  const MAX_ROM = 32 * 1024 * 1024;
  const ROM_NAME = /\.(gba|agb|bin|mb)$/i;

  // Kinds that are plainly not a ROM, by their first bytes: [name, offset, bytes].
  const REFUSED = [
    ['a 7z archive', 0, [0x37, 0x7a, 0xbc, 0xaf, 0x27, 0x1c], true],
    ['a RAR archive', 0, [0x52, 0x61, 0x72, 0x21, 0x1a, 0x07], true],
    ['an xz archive', 0, [0xfd, 0x37, 0x7a, 0x58, 0x5a, 0x00], true],
    ['a bzip2 archive', 0, [0x42, 0x5a, 0x68], true],
    ['a Zstandard archive', 0, [0x28, 0xb5, 0x2f, 0xfd], true],
    ['a tar archive', 257, [0x75, 0x73, 0x74, 0x61, 0x72], true],
    ['a PDF document', 0, [0x25, 0x50, 0x44, 0x46, 0x2d], false],
    ['a PNG image', 0, [0x89, 0x50, 0x4e, 0x47], false],
    ['a JPEG image', 0, [0xff, 0xd8, 0xff], false],
    ['a GIF image', 0, [0x47, 0x49, 0x46, 0x38], false],
  ];

  function startsWith(bytes, offset, magic) {
    if (bytes.length < offset + magic.length) return false;
    return magic.every((b, i) => bytes[offset + i] === b);
  }

  // 'zip', 'gzip', 'rom', or the words that refuse it.
  function kindOf(head, name) {
    if (startsWith(head, 0, [0x50, 0x4b, 0x03, 0x04]) || startsWith(head, 0, [0x50, 0x4b, 0x05, 0x06])) return 'zip';
    if (startsWith(head, 0, [0x1f, 0x8b, 0x08])) return 'gzip';
    for (const [kind, offset, magic, archive] of REFUSED) {
      if (startsWith(head, offset, magic)) {
        return { refused: archive ? `"${name}" is ${kind}: unpack it first, then choose the ROM inside.`
          : `"${name}" is ${kind}, not a GBA ROM.` };
      }
    }
    return 'rom';
  }

  function tooLarge(name, size) {
    return `"${name}" is too large for a GBA ROM: ${size === null ? 'it unpacks to' : size.toLocaleString('en-US') + ' bytes,'} ` +
      'more than 32 MiB, the most a cartridge holds.';
  }

  const baseName = (path) => path.slice(path.lastIndexOf('/') + 1);

  // Reads a stream into one array of `expected` bytes (at most `limit`); too many
  // bytes throw `overflow`.
  async function collect(stream, limit, overflow) {
    const reader = stream.getReader();
    const chunks = [];
    let total = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      total += value.length;
      if (total > limit) {
        reader.cancel().catch(() => {});
        throw new Error(overflow);
      }
      chunks.push(value);
    }
    const bytes = new Uint8Array(total);
    let at = 0;
    for (const chunk of chunks) {
      bytes.set(chunk, at);
      at += chunk.length;
    }
    return bytes;
  }

  const u16 = (view, at) => view.getUint16(at, true);
  const u32 = (view, at) => view.getUint32(at, true);

  async function sliceBytes(file, start, end) {
    return new Uint8Array(await file.slice(start, end).arrayBuffer());
  }

  // The directory of a zip: [{name, path, method, flags, crc, packed, size, offset}].
  async function zipDirectory(file) {
    const tailStart = Math.max(0, file.size - 65557);
    const tail = await sliceBytes(file, tailStart, file.size);
    const view = new DataView(tail.buffer);
    let end = -1;
    for (let i = tail.length - 22; i >= 0; i--) {
      if (u32(view, i) === 0x06054b50) { end = i; break; }
    }
    const damaged = `"${file.name}" is a damaged zip archive: its list of files is missing or cut short.`;
    if (end < 0) throw new Error(damaged);
    const count = u16(view, end + 10);
    const dirSize = u32(view, end + 12);
    const dirOffset = u32(view, end + 16);
    if (count === 0xffff || dirOffset === 0xffffffff) {
      throw new Error(`"${file.name}" is a ZIP64 archive, which this page does not read: unpack it first.`);
    }
    if (dirOffset + dirSize > file.size) throw new Error(damaged);
    const dir = await sliceBytes(file, dirOffset, dirOffset + dirSize);
    const d = new DataView(dir.buffer);
    const entries = [];
    let at = 0;
    for (let i = 0; i < count; i++) {
      if (at + 46 > dir.length || u32(d, at) !== 0x02014b50) throw new Error(damaged);
      const nameLength = u16(d, at + 28);
      const flags = u16(d, at + 8);
      const path = new TextDecoder(flags & 0x800 ? 'utf-8' : 'latin1').decode(dir.subarray(at + 46, at + 46 + nameLength));
      entries.push({ path, name: baseName(path), flags, method: u16(d, at + 10), crc: u32(d, at + 16),
        packed: u32(d, at + 20), size: u32(d, at + 24), offset: u32(d, at + 42) });
      at += 46 + nameLength + u16(d, at + 30) + u16(d, at + 32);
    }
    return entries;
  }

  async function zipEntry(file, entry) {
    const local = await sliceBytes(file, entry.offset, entry.offset + 30);
    const view = new DataView(local.buffer);
    const where = `"${entry.name}" in "${file.name}"`;
    if (local.length < 30 || u32(view, 0) !== 0x04034b50) throw new Error(`${where} is damaged: its entry is missing.`);
    const start = entry.offset + 30 + u16(view, 26) + u16(view, 28);
    const packed = file.slice(start, start + entry.packed);
    const damaged = `${where} is damaged: it unpacks to more bytes than the archive says.`;
    let bytes;
    if (entry.method === 0) {
      bytes = new Uint8Array(await packed.arrayBuffer());
    } else {
      try {
        bytes = await collect(packed.stream().pipeThrough(new DecompressionStream('deflate-raw')), entry.size, damaged);
      } catch (e) {
        throw new Error(e.message === damaged ? damaged : `${where} is damaged: it does not unpack (${e.message}).`);
      }
    }
    if (bytes.length !== entry.size) throw new Error(`${where} is damaged: it is shorter than the archive says.`);
    return bytes;
  }

  // The ROMs of a zip, each {name, size, crc, read() -> bytes}, unread yet; entries
  // that are not ROMs by their names are skipped, those that cannot be unpacked here
  // are refused in words.
  async function zipRoms(file) {
    const entries = await zipDirectory(file);
    const files = entries.filter((e) => !e.path.endsWith('/') && !e.path.startsWith('__MACOSX/'));
    const roms = files.filter((e) => ROM_NAME.test(e.name));
    if (!roms.length) {
      const listed = files.slice(0, 5).map((e) => e.name).join(', ');
      throw new Error(`"${file.name}" holds no GBA ROM (.gba, .agb, .bin or .mb)` +
        (files.length ? `: it has ${listed}${files.length > 5 ? ', …' : ''}.` : ': it is empty.'));
    }
    return roms.map((entry) => {
      let problem = null;
      if (entry.flags & 1) problem = `"${entry.name}" in "${file.name}" is locked with a password: unpack it first.`;
      else if (entry.method !== 0 && entry.method !== 8) {
        problem = `"${entry.name}" in "${file.name}" is packed with a method this page cannot unpack: unpack it first.`;
      } else if (entry.size > MAX_ROM) problem = tooLarge(entry.name, entry.size);
      return { name: entry.name, size: entry.size, crc: entry.crc, problem, read: () => zipEntry(file, entry) };
    });
  }

  // The one ROM of a gzip file: {name, size, read() -> bytes}.
  async function gzipRom(file) {
    const head = await sliceBytes(file, 0, Math.min(file.size, 1034));
    const flags = head[3];
    let name = null;
    if (flags & 8) {
      let at = 10;
      if (flags & 4) at += 2 + (head[10] | (head[11] << 8));
      const end = head.indexOf(0, at);
      if (end > at) name = baseName(new TextDecoder('latin1').decode(head.subarray(at, end)));
    }
    if (!name) name = file.name.replace(/\.(gz|gzip)$/i, '') || 'unpacked.gba';
    const read = async () => {
      try {
        return await collect(file.stream().pipeThrough(new DecompressionStream('gzip')), MAX_ROM, tooLarge(name, null));
      } catch (e) {
        if (e.message === tooLarge(name, null)) throw e;
        throw new Error(`"${file.name}" is a damaged gzip file: it does not unpack (${e.message}).`);
      }
    };
    return { name, size: null, crc: null, problem: null, read };
  }

  // --- writing ---

  function dosTime(date) {
    return {
      time: (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1),
      date: ((date.getFullYear() - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate(),
    };
  }

  // One stored zip of `files`, each {name, blob, crc}; names made unique.
  function storedZip(files, now) {
    const stamp = dosTime(now || new Date());
    const encoder = new TextEncoder();
    const parts = [];
    const directory = [];
    const used = new Set();
    let offset = 0;
    for (const file of files) {
      let name = file.name;
      for (let n = 2; used.has(name.toLowerCase()); n++) {
        const dot = file.name.lastIndexOf('.');
        name = dot > 0 ? `${file.name.slice(0, dot)} (${n})${file.name.slice(dot)}` : `${file.name} (${n})`;
      }
      used.add(name.toLowerCase());
      const nameBytes = encoder.encode(name);
      const header = (size, signature) => {
        const bytes = new Uint8Array(size + nameBytes.length);
        const v = new DataView(bytes.buffer);
        v.setUint32(0, signature, true);
        return { bytes, v };
      };
      const local = header(30, 0x04034b50);
      local.v.setUint16(4, 20, true);
      local.v.setUint16(6, 0x800, true);
      local.v.setUint16(10, stamp.time, true);
      local.v.setUint16(12, stamp.date, true);
      local.v.setUint32(14, file.crc, true);
      local.v.setUint32(18, file.blob.size, true);
      local.v.setUint32(22, file.blob.size, true);
      local.v.setUint16(26, nameBytes.length, true);
      local.bytes.set(nameBytes, 30);
      const central = header(46, 0x02014b50);
      central.v.setUint16(4, 20, true);
      central.v.setUint16(6, 20, true);
      central.v.setUint16(8, 0x800, true);
      central.v.setUint16(12, stamp.time, true);
      central.v.setUint16(14, stamp.date, true);
      central.v.setUint32(16, file.crc, true);
      central.v.setUint32(20, file.blob.size, true);
      central.v.setUint32(24, file.blob.size, true);
      central.v.setUint16(28, nameBytes.length, true);
      central.v.setUint32(42, offset, true);
      central.bytes.set(nameBytes, 46);
      parts.push(local.bytes, file.blob);
      directory.push(central.bytes);
      offset += local.bytes.length + file.blob.size;
    }
    const dirSize = directory.reduce((sum, b) => sum + b.length, 0);
    const end = new Uint8Array(22);
    const v = new DataView(end.buffer);
    v.setUint32(0, 0x06054b50, true);
    v.setUint16(8, files.length, true);
    v.setUint16(10, files.length, true);
    v.setUint32(12, dirSize, true);
    v.setUint32(16, offset, true);
    return new Blob([...parts, ...directory, end], { type: 'application/zip' });
  }

  return { MAX_ROM, kindOf, zipRoms, gzipRom, storedZip, tooLarge };
})();
