'use strict';
// Just enough of the zip format to read a .vsix: the entries' names and the
// bytes of stored or deflated ones.
const fs = require('node:fs');
const zlib = require('node:zlib');

function apriZip(file) {
  const b = fs.readFileSync(file);
  // The end record sits last, before a comment of at most 64 KiB.
  let fine = -1;
  for (let i = b.length - 22; i >= Math.max(0, b.length - 22 - 0xffff); i--) {
    if (b.readUInt32LE(i) === 0x06054b50) {
      fine = i;
      break;
    }
  }
  if (fine < 0) throw new Error(`${file}: not a zip file`);
  const voci = new Map();
  let p = b.readUInt32LE(fine + 16);
  for (let n = b.readUInt16LE(fine + 10); n > 0; n--) {
    if (b.readUInt32LE(p) !== 0x02014b50) throw new Error(`${file}: bad central directory`);
    const lunghezze = [28, 30, 32].map((o) => b.readUInt16LE(p + o));
    const nome = b.toString('utf8', p + 46, p + 46 + lunghezze[0]);
    voci.set(nome, {
      metodo: b.readUInt16LE(p + 10),
      compresso: b.readUInt32LE(p + 20),
      locale: b.readUInt32LE(p + 42),
    });
    p += 46 + lunghezze[0] + lunghezze[1] + lunghezze[2];
  }
  return {
    nomi: [...voci.keys()],
    leggi(nome) {
      const v = voci.get(nome);
      if (!v) throw new Error(`${file}: no entry ${nome}`);
      const inizio = v.locale + 30 + b.readUInt16LE(v.locale + 26) + b.readUInt16LE(v.locale + 28);
      const dati = b.subarray(inizio, inizio + v.compresso);
      if (v.metodo === 0) return dati;
      if (v.metodo === 8) return zlib.inflateRawSync(dati);
      throw new Error(`${file}: ${nome} compressed with method ${v.metodo}`);
    },
  };
}

module.exports = { apriZip };
