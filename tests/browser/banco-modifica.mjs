// Benchmark, not a test: from the end of a drag on the page to the page
// redrawn with the edit, against a real `scenario preview --edit`
// (ANTEPRIMA_URL). Each round drags a scheduled station 100 m along the plan
// and back the next; timed on the page's clock from the release to the frame
// after the new drawing. Median and spread of VOLTE rounds (7 unless given).
import fs from 'node:fs';
import os from 'node:os';
import { avviaBrowser, CHROMIUM } from './browser.mjs';
import { esito, pronta, ridisegnata, spostaStazione } from './trascina.mjs';

if (!fs.existsSync(CHROMIUM)) {
  console.log(`SALTATO: ${CHROMIUM} non c'è`);
  process.exit(77);
}
const VOLTE = Number(process.env.VOLTE) || 7;
const ordinati = (v) => [...v].sort((a, b) => a - b);
const ms = (v) => `${v.toFixed(0)} ms`;

const browser = await avviaBrowser();
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  await page.goto(process.env.ANTEPRIMA_URL);
  await page.waitForFunction(() => document.body.dataset.versione, { timeout: 60000 });
  const doc = await page.evaluate(() => fetch('dati' + location.search).then((r) => r.json()));
  const stazione = doc.oggetti.filter((o) => o.genere === 'stazione' && o.orario > 0)[1];
  const nome = stazione.nome, p = stazione.posizione;
  await pronta(page, p, 2000);
  const tempi = [];
  for (let k = 1; k <= VOLTE; k++) {
    const verso = k % 2 ? p + 100 : p;
    const prima = await spostaStazione(page, nome, verso);
    const e = await esito(page);
    if (e.esito !== 'fatta') throw new Error(e.testo);
    await ridisegnata(page, prima, nome, verso);
    const t = await page.waitForFunction(() => {
      const x = window.anteprima.misure.at(-1);
      return Number.isFinite(x.frame) && x.frame - window.anteprima.misure.fineTrascinamento;
    }, { timeout: 60000 }).then((h) => h.jsonValue());
    tempi.push(t);
  }
  const cpu = (fs.readFileSync('/proc/cpuinfo', 'utf8').match(/^model name\s*:\s*(.*)$/m) || [])[1] ?? 'sconosciuta';
  console.log(`CPU: ${cpu} (${os.cpus().length} core), carico ${os.loadavg().map((x) => x.toFixed(2)).join(' ')}`);
  console.log(`Browser: ${await browser.version()}`);
  console.log(`Documento: ${doc.linea}, ${doc.lunghezza / 1000} km, ${doc.oggetti.length} oggetti; stazione trascinata: ${nome} (${p} m)`);
  console.log(`fine del trascinamento → pagina ridisegnata: ${tempi.map(ms).join(', ')}`);
  console.log(`mediana ${ms(ordinati(tempi)[Math.floor(VOLTE / 2)])}, da ${ms(ordinati(tempi)[0])} a ${ms(ordinati(tempi).at(-1))} (${VOLTE} giri; obiettivo 300 ms)`);
} finally {
  await browser.close();
}
