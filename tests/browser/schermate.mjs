// Two screenshots of the 37 km fixture: the whole line, and one station
// close up with the cursor on it.
import fs from 'node:fs';
import { avviaBrowser, CHROMIUM, FIXTURE_37, PAGINA } from './browser.mjs';
import { avviaServer } from './server-prova.mjs';

if (!fs.existsSync(CHROMIUM)) {
  console.log(`SALTATO: ${CHROMIUM} non c'è`);
  process.exit(77);
}
const documento = JSON.parse(fs.readFileSync(FIXTURE_37, 'utf8'));
const nome = process.env.STAZIONE || 'GRUZO';
const server = await avviaServer({ pagina: PAGINA, documento });
const browser = await avviaBrowser();
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  page.on('pageerror', (e) => console.error('errore nella pagina:', e.message));
  await page.goto(server.url);
  await page.waitForFunction(() => document.body.dataset.versione, { timeout: 30000 });
  await page.screenshot({ path: new URL('./schermata-linea.png', import.meta.url).pathname });
  const s = documento.oggetti.find((o) => o.genere === 'stazione' && o.nome === nome);
  await page.evaluate((p) => window.anteprima.inquadra(p, 5000), s.posizione);
  const q = await page.evaluate((p) => window.anteprima.schermo(p), s.posizione);
  await page.mouse.click(q.pianta.x, q.pianta.y);
  await page.waitForFunction((n) => document.querySelector('#cursore').textContent.includes(n), { timeout: 30000 }, nome);
  await page.click('#cursore a.voce .genere');
  await page.screenshot({ path: new URL('./schermata-stazione.png', import.meta.url).pathname });
  console.log('schermata-linea.png, schermata-stazione.png');
} finally {
  await browser.close();
  await server.chiudi();
}
