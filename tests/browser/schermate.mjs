// Two screenshots: the whole line, and one station close up with the cursor
// on it. Of the 37 km fixture, or with ANTEPRIMA_URL of whatever serves that
// page (a real `scenario preview`); SCHERMATE=DIR/PREFIX names the files
// (default: schermata-linea.png and schermata-stazione.png here).
import fs from 'node:fs';
import { avviaBrowser, CHROMIUM, FIXTURE_37, PAGINA } from './browser.mjs';
import { documentoAttuale } from './fornitore.mjs';
import { avviaServer } from './server-prova.mjs';

if (!fs.existsSync(CHROMIUM)) {
  console.log(`SALTATO: ${CHROMIUM} non c'è`);
  process.exit(77);
}
const nome = process.env.STAZIONE || 'GRUZO';
const server = process.env.ANTEPRIMA_URL
  ? null
  : await avviaServer({ pagina: PAGINA, documento: JSON.parse(fs.readFileSync(FIXTURE_37, 'utf8')) });
const url = process.env.ANTEPRIMA_URL || server.url;
const prefisso = process.env.SCHERMATE || new URL('./schermata', import.meta.url).pathname;
const browser = await avviaBrowser();
try {
  const documento = await documentoAttuale(url);
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  page.on('pageerror', (e) => console.error('errore nella pagina:', e.message));
  await page.goto(url);
  await page.waitForFunction(() => document.body.dataset.versione, { timeout: 30000 });
  await page.screenshot({ path: `${prefisso}-linea.png` });
  const s = documento.oggetti.find((o) => o.genere === 'stazione' && o.nome === nome);
  await page.evaluate((p) => window.anteprima.inquadra(p, 5000), s.posizione);
  const q = await page.evaluate((p) => window.anteprima.schermo(p), s.posizione);
  await page.mouse.click(q.pianta.x, q.pianta.y);
  await page.waitForFunction((n) => document.querySelector('#cursore').textContent.includes(n), { timeout: 30000 }, nome);
  await page.click('#cursore a.voce .genere');
  await page.screenshot({ path: `${prefisso}-stazione.png` });
  console.log(`${prefisso}-linea.png, ${prefisso}-stazione.png`);
} finally {
  await browser.close();
  await server?.chiudi();
}
