// Benchmark, not a test: a save of a source until the page shows it, against
// a real `scenario preview` (ANTEPRIMA_URL) of the sources in
// ANTEPRIMA_SORGENTI (ANTEPRIMA_LINEA, ANTEPRIMA_TRENO). Each round writes a
// new time for a station and times, on one clock, the write to the page's
// version changing (drawn) and to the frame after it (painted). Median and
// spread of VOLTE rounds (7 unless given).
import fs from 'node:fs';
import os from 'node:os';
import { avviaBrowser, CHROMIUM } from './browser.mjs';

if (!fs.existsSync(CHROMIUM)) {
  console.log(`SALTATO: ${CHROMIUM} non c'è`);
  process.exit(77);
}
const url = process.env.ANTEPRIMA_URL;
if (!url || !process.env.ANTEPRIMA_SORGENTI) {
  console.log('uso: ANTEPRIMA_URL=... ANTEPRIMA_SORGENTI=DIR [ANTEPRIMA_LINEA=.. ANTEPRIMA_TRENO=..] node banco-reale.mjs');
  process.exit(64);
}
const { cambiaOrario, stazioniConOrario, chiudi } = await import(new URL('../anteprima/fornitore-sorgenti.mjs', import.meta.url));

const VOLTE = Number(process.env.VOLTE) || 7;
const ordinati = (v) => [...v].sort((a, b) => a - b);
const mediana = (v) => ordinati(v)[Math.floor(v.length / 2)];
const ms = (v) => `${v.toFixed(0)} ms`;
// Milliseconds since the epoch, on the clock both node and the page read.
const adesso = () => performance.timeOrigin + performance.now();

const browser = await avviaBrowser();
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  await page.goto(url);
  await page.waitForFunction(() => document.body.dataset.versione && document.body.dataset.collegamento === 'aperto', { timeout: 60000 });
  const doc = await (await fetch(new URL('dati' + new URL(url).search, url))).json();
  const nome = stazioniConOrario()[1];
  const stazione = doc.oggetti.find((o) => o.genere === 'stazione' && o.nome === nome);
  const righe = [];
  for (let k = 1; k <= VOLTE; k++) {
    const prima = await page.evaluate(() => document.body.dataset.versione);
    const t0 = adesso();
    await cambiaOrario(nome, stazione.orario + k);
    await page.waitForFunction((v) => document.body.dataset.versione !== v, { polling: 'mutation', timeout: 60000 }, prima);
    const t1 = adesso();
    const m = await page.waitForFunction(() => {
      const x = window.anteprima.misure.at(-1);
      const o = performance.timeOrigin;
      return x && Number.isFinite(x.frame) && { arrivo: o + x.arrivo, disegnato: o + x.disegnato, frame: o + x.frame };
    }, { timeout: 60000 }).then((h) => h.jsonValue());
    righe.push({ arrivo: m.arrivo - t0, disegnato: m.disegnato - t0, frame: m.frame - t0, node: t1 - t0 });
  }
  const cpu = (fs.readFileSync('/proc/cpuinfo', 'utf8').match(/^model name\s*:\s*(.*)$/m) || [])[1] ?? 'sconosciuta';
  console.log(`CPU: ${cpu} (${os.cpus().length} core), carico ${os.loadavg().map((x) => x.toFixed(2)).join(' ')}`);
  console.log(`Browser: ${await browser.version()}`);
  console.log(`Documento: ${doc.linea}, ${doc.lunghezza / 1000} km, ${doc.pendenza.length} celle, ${doc.pianta?.x?.length ?? 0} punti di pianta, ${doc.oggetti.length} oggetti; stazione cambiata: ${nome}`);
  // arrivo: the event reaches the page; disegnato: the page has drawn it;
  // frame: the frame after the drawing (painted); node: the new version seen
  // from here (one more round trip to the browser).
  console.log('giro  scrittura→arrivo  →disegnato  →frame  →visto da node');
  righe.forEach((r, i) => console.log(`${String(i + 1).padStart(4)}  ${ms(r.arrivo).padStart(16)}  ${ms(r.disegnato).padStart(10)}  ${ms(r.frame).padStart(6)}  ${ms(r.node).padStart(14)}`));
  for (const k of ['arrivo', 'disegnato', 'frame', 'node']) {
    const v = righe.map((r) => r[k]);
    console.log(`${k}: mediana ${ms(mediana(v))}, da ${ms(ordinati(v)[0])} a ${ms(ordinati(v).at(-1))} (${VOLTE} giri)`);
  }
} finally {
  await browser.close();
  await chiudi();
}
