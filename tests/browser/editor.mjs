// The page side of the editor tests: opens the preview an editor's language
// server started, drags GRUZO 200 m along the plan, and says so on stdout
// ("trascinato"); then, told "annullato" on stdin (the editor undid it),
// waits for the page to follow ("seguito"). Usage: node editor.mjs URL.
// Exit 77 without Chromium.
import fs from 'node:fs';
import readline from 'node:readline';
import { avviaBrowser, CHROMIUM } from './browser.mjs';
import { esito, pronta, ridisegnata, spostaStazione } from './trascina.mjs';

if (!fs.existsSync(CHROMIUM)) {
  console.log(`SALTATO: ${CHROMIUM} non c'è`);
  process.exit(77);
}
const righe = readline.createInterface({ input: process.stdin });
// Every line heard from the start: one may come before it is waited for.
const sentite = new Set();
const attese = new Map();
righe.on('line', (l) => { sentite.add(l.trim()); attese.get(l.trim())?.(); });
const attesa = (parola) => new Promise((fatto) => (sentite.has(parola) ? fatto() : attese.set(parola, fatto)));
const browser = await avviaBrowser();
let stato = 1;
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  await page.goto(process.argv[2]);
  await pronta(page, 21700);
  const modo = await page.evaluate(() => window.anteprima.modifica().modo);
  if (modo !== 'editor') throw new Error(`la pagina modifica come «${modo}», non attraverso l'editor`);
  const prima = await spostaStazione(page, 'GRUZO', 21800, { cella: 436 });
  const e = await esito(page);
  if (e.esito !== 'fatta') throw new Error(`modifica non fatta: ${e.testo}`);
  await ridisegnata(page, prima, 'GRUZO', 21800);
  // Read before saying so: the undo may be drawn as soon as it is said.
  const v = await page.evaluate(() => document.body.dataset.versione);
  console.log('trascinato');
  await attesa('annullato');
  await ridisegnata(page, v, 'GRUZO', 21600);
  console.log('seguito');
  stato = 0;
} catch (e) {
  console.log(`FALLITO: ${e.message}`);
} finally {
  await browser.close();
  righe.close();
}
process.exit(stato);
