// Drags on the preview page as a hand would: the mouse pressed on an entry,
// moved in steps, released. Shared by the page's edit tests and the editors'.
const ATTESA = { timeout: 30000 };

async function passi(page, da, a, n = 8, primaDiLasciare = null) {
  await page.mouse.move(da.x, da.y);
  await page.mouse.down();
  for (let i = 1; i <= n; i++) {
    await page.mouse.move(da.x + ((a.x - da.x) * i) / n, da.y + ((a.y - da.y) * i) / n);
    if (i === Math.floor(n / 2) && primaDiLasciare) await primaDiLasciare();
  }
}

// The page drawn with the document, the view around position p.
export async function pronta(page, p, larghezza = 3000) {
  await page.waitForFunction(() => document.body.dataset.versione && window.anteprima.modifica().attive, ATTESA);
  await page.evaluate((p, w) => window.anteprima.inquadra(p, w), p, larghezza);
}

// Moves the station `nome` from its position to `verso` in the plan. The
// live label must name the cell `cella` before the release, when given.
// `aMeta` runs halfway through the drag. Returns the page's version before.
export async function spostaStazione(page, nome, verso, { cella = null, aMeta = null } = {}) {
  const prima = await page.evaluate(() => { document.body.dataset.esitoModifica = ''; return document.body.dataset.versione; });
  const o = await page.evaluate((n) => window.anteprima.voce(n), nome);
  const [da, a] = await page.evaluate((p, q) => [window.anteprima.schermo(p).pianta, window.anteprima.schermo(q).pianta], o.posizione, verso);
  await passi(page, da, a, 8, aMeta);
  if (cella !== null)
    await page.waitForFunction((c) => (document.body.dataset.posto ?? '').includes(`cella ${c}`), ATTESA, cella);
  await page.mouse.up();
  return prima;
}

// Drags the station's time in the timetable to `ora` (seconds).
export async function spostaOrario(page, nome, ora) {
  const prima = await page.evaluate(() => { document.body.dataset.esitoModifica = ''; return document.body.dataset.versione; });
  const o = await page.evaluate((n) => window.anteprima.voce(n), nome);
  const da = await page.evaluate((p) => window.anteprima.schermo(p).orario, o.posizione);
  const [y0, y1] = await page.evaluate((a, b) => [window.anteprima.schermoOra(a), window.anteprima.schermoOra(b)], o.t, ora);
  await passi(page, { x: da.x, y: y0 }, { x: da.x, y: y1 });
  await page.mouse.up();
  return prima;
}

// Waits for a drawing newer than version `prima` where `nome` stands at `p`.
export async function ridisegnata(page, prima, nome, p) {
  await page.waitForFunction(
    (v, n, q) => document.body.dataset.versione !== v && window.anteprima.voce(n)?.posizione === q,
    ATTESA, prima, nome, p);
}

export async function esito(page) {
  await page.waitForFunction(() => ['fatta', 'rifiutata'].includes(document.body.dataset.esitoModifica), ATTESA);
  return page.evaluate(() => ({ esito: document.body.dataset.esitoModifica, testo: document.getElementById('esito-modifica').textContent }));
}
