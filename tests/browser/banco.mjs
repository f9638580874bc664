// Benchmark, not a test: from pushing a 1000 km document to the page having
// drawn it, median of 7, measured in the page (message arrival to the end
// of the drawing, and to the next frame) and from node (push to the
// version showing in the page). Also the redraw for a view change.
import fs from 'node:fs';
import { avviaBrowser, CHROMIUM, FIXTURE_37, PAGINA } from './browser.mjs';
import { lineaGenerata, programma } from './fixture/genera.mjs';
import { avviaServer } from './server-prova.mjs';

if (!fs.existsSync(CHROMIUM)) {
  console.log(`SALTATO: ${CHROMIUM} non c'è`);
  process.exit(77);
}

const VOLTE = 7;
const mediana = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];
const ms = (v) => `${v.toFixed(1)} ms`;

const cpu = (fs.readFileSync('/proc/cpuinfo', 'utf8').match(/^model name\s*:\s*(.*)$/m) || [])[1] ?? 'sconosciuta';
const scenario = programma();
if (!scenario) {
  console.log('SALTATO: SCENARIO non nomina il programma che fa il documento di 1000 km');
  process.exit(77);
}
const lungo = lineaGenerata(scenario, 1000);
const testo = JSON.stringify(lungo);
const server = await avviaServer({ pagina: PAGINA, documento: JSON.parse(fs.readFileSync(FIXTURE_37, 'utf8')) });
const browser = await avviaBrowser();
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  await page.goto(server.url);
  await page.waitForFunction(() => document.body.dataset.versione && document.body.dataset.collegamento === 'aperto', { timeout: 30000 });
  const righe = [];
  for (let k = 1; k <= VOLTE; k++) {
    const versione = 100 + k;
    const t0 = performance.now();
    server.spingi({ ...lungo, versione });
    await page.waitForFunction((v) => document.body.dataset.versione === String(v), { polling: 'mutation', timeout: 60000 }, versione);
    const nodo = performance.now() - t0;
    const m = await page.waitForFunction(
      (v) => {
        const x = window.anteprima.misure.findLast((y) => y.versione === v);
        return x && Number.isFinite(x.frame) && x;
      },
      { timeout: 60000 },
      versione,
    ).then((h) => h.jsonValue());
    righe.push({ disegno: m.disegnato - m.arrivo, frame: m.frame - m.arrivo, nodo });
    // Between pushes, the view goes back to the whole line: each push draws it all.
    await page.evaluate(() => window.anteprima.tuttaLaLinea());
  }
  const vista = [];
  for (let k = 0; k < VOLTE; k++) vista.push(await page.evaluate(() => window.anteprima.ridisegnaOra()));
  const conteggi = await page.evaluate(() => ({
    oggetti: document.querySelectorAll('#pianta [data-i]').length,
    pianta: document.querySelector('#pianta .binario:not(.oltre)').getAttribute('d').length,
  }));
  const versioneChromium = await browser.version();

  console.log(`CPU: ${cpu} (${(await import('node:os')).cpus().length} core)`);
  console.log(`Browser: ${versioneChromium}`);
  console.log(`Documento: ${lungo.linea}, ${lungo.lunghezza / 1000} km, ${lungo.pendenza.length} celle, ${lungo.pianta.x.length} punti di pianta (passo ${lungo.pianta.passo} m), ${lungo.oggetti.length} oggetti, ${(testo.length / 1e6).toFixed(1)} MB di JSON`);
  console.log(`Disegnati: ${conteggi.oggetti} elementi di oggetti, tracciato della pianta ${conteggi.pianta} caratteri`);
  console.log('spinta  arrivo→disegnato  arrivo→frame  node: spinta→versione');
  righe.forEach((r, i) => console.log(`${String(i + 1).padStart(6)}  ${ms(r.disegno).padStart(16)}  ${ms(r.frame).padStart(12)}  ${ms(r.nodo).padStart(21)}`));
  console.log(`mediana di ${VOLTE}: arrivo→disegnato ${ms(mediana(righe.map((r) => r.disegno)))}, arrivo→frame ${ms(mediana(righe.map((r) => r.frame)))}, node ${ms(mediana(righe.map((r) => r.nodo)))}`);
  console.log(`ridisegno di tutta la linea (cambio di vista), mediana di ${VOLTE}: ${ms(mediana(vista))}`);
} finally {
  await browser.close();
  await server.chiudi();
}
