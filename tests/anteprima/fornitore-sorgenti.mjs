// The browser test's changes made as an author makes them: by writing the
// source files that `scenario preview` watches. Each write goes to a
// temporary file renamed over the source, as editors save.
// ANTEPRIMA_SORGENTI: the folder; ANTEPRIMA_LINEA and ANTEPRIMA_TRENO the
// route and train (the built-in ones unless given).
import fs from 'node:fs';
import path from 'node:path';

const cartella = process.env.ANTEPRIMA_SORGENTI;
const linea = process.env.ANTEPRIMA_LINEA || 'FerziaPS-Calvorano';
const treno = process.env.ANTEPRIMA_TRENO || '24617';
const LINEA = path.join(cartella, `${linea}_linea.txt`);
const TRENO = path.join(cartella, `${linea}_${treno}-.txt`);
// The sources are Windows-1252: read and written byte for byte.
const leggi = (f) => fs.readFileSync(f, 'latin1');
const originali = { [LINEA]: leggi(LINEA), [TRENO]: leggi(TRENO) };

function scrivi(file, testo) {
  const temp = `${file}.salvataggio`;
  fs.writeFileSync(temp, testo, 'latin1');
  fs.renameSync(temp, file);
}

const campi = (riga) => riga.split(',');

// The names of the stations with a time, in the order of the source.
export function stazioniConOrario() {
  return leggi(TRENO).split('\r\n').filter((r) => /^\s*stazione\s*,/i.test(r))
    .map(campi).filter((c) => c.slice(-4, -1).some((v) => Number(v) !== 0)).map((c) => c.at(-1).trim());
}

// The station line whose name is `nome` gets the time `secondi` after midnight.
export async function cambiaOrario(nome, secondi) {
  const righe = leggi(TRENO).split('\r\n');
  const i = righe.findIndex((r) => /^\s*stazione\s*,/i.test(r) && campi(r).at(-1).trim() === nome);
  if (i < 0) throw new Error(`nessuna stazione ${nome} in ${TRENO}`);
  const c = campi(righe[i]);
  // ..., hours, minutes, seconds, name: the three fields before the last.
  const valori = [Math.floor(secondi / 3600), Math.floor(secondi / 60) % 60, secondi % 60];
  valori.forEach((v, k) => { c[c.length - 4 + k] = String(v).padStart(3); });
  righe[i] = c.join(',');
  scrivi(TRENO, righe.join('\r\n'));
}

// The first curve loses its length: a number that does not read.
export async function rompi() {
  const righe = originali[LINEA].split('\r\n');
  const i = righe.findIndex((r) => /^\s*curva/i.test(r));
  const c = campi(righe[i]);
  c[2] = c[2].replace(/[0-9]$/, 'x');
  righe[i] = c.join(',');
  scrivi(LINEA, righe.join('\r\n'));
}

export async function ripara() {
  scrivi(LINEA, originali[LINEA]);
}

export async function chiudi() {
  for (const [f, t] of Object.entries(originali)) scrivi(f, t);
}
