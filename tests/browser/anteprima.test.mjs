// The preview page in Debian's Chromium: what it draws, the shared cursor,
// live updates in place, the error banner, the page without a server, and
// that it asks nothing of any other origin.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { after, before, beforeEach, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { avviaBrowser, CHROMIUM } from './browser.mjs';
import { documentoAttuale, fornitore } from './fornitore.mjs';

if (!fs.existsSync(CHROMIUM)) {
  console.log(`SALTATO: ${CHROMIUM} non c'è; le prove nel browser non sono state eseguite`);
  process.exit(77);
}

// Waits only fail a run that hangs.
const ATTESA = { timeout: 30000 };
// A change shows in the page within this, save to drawing.
const ENTRO_MS = Number(process.env.ANTEPRIMA_ENTRO_MS) || 1000;

// The kilometre as the document's stretches give it: the page must only look
// a position up.
function kmAtteso(doc, p) {
  const r = (doc.tratti_km ?? []).find((x) => (x.da === null || p >= x.da) && (x.a === null || p < x.a));
  return r ? r.progressiva + (p - r.posizione) : p;
}
const kmLetto = (testo) => {
  const m = /km (-?)(\d+)\+(\d{3})/.exec(testo);
  assert.ok(m, `nessun km in «${testo}»`);
  return (m[1] ? -1 : 1) * (Number(m[2]) * 1000 + Number(m[3]));
};
const doveAtteso = (o) => `${o.file.split(/[\\/]/).pop()}:${o.riga}`;
const collegamentoAtteso = (o) => 'vscode://file' + (o.file.startsWith('/') ? '' : '/') + o.file.replace(/\\/g, '/') + ':' + o.riga;
const conta = (doc, genere) => doc.oggetti.filter((o) => o.genere === genere).length;

let f, browser, page, doc, origine, stazione, iStazione, vistaIniziale;
const richieste = [];
const errori = [];

before(async () => {
  f = await fornitore();
  origine = new URL(f.url).origin;
  browser = await avviaBrowser();
  page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  page.on('request', (r) => richieste.push(r.url()));
  page.on('pageerror', (e) => errori.push(`eccezione: ${e.message}`));
  page.on('console', (m) => {
    if (m.type() === 'error') errori.push(`console: ${m.text()}`);
  });
  doc = await documentoAttuale(f.url);
  stazione = doc.oggetti.find((o) => o.genere === 'stazione' && o.nome === 'GRUZO') ??
    doc.oggetti.find((o) => o.genere === 'stazione' && o.nome && o.orario > 0);
  iStazione = doc.oggetti.indexOf(stazione);
  await page.goto(f.url);
  await page.waitForFunction(() => document.body.dataset.versione, ATTESA);
  vistaIniziale = await page.evaluate(() => window.anteprima.vista());
});

// Each test starts from the whole line.
beforeEach(async () => {
  await page?.evaluate(() => window.anteprima?.tuttaLaLinea());
});

after(async () => {
  await browser?.close();
  await f?.chiudi();
});

const testoDi = (sel) => page.$eval(sel, (e) => e.innerText);
const attendiTesto = (sel, atteso) =>
  page.waitForFunction((s, a) => document.querySelector(s)?.innerText.includes(a), ATTESA, sel, atteso);
const attendiRiga = (sel, re) =>
  page.waitForFunction((s, r) => new RegExp(r).test(document.querySelector(s)?.innerText ?? ''), ATTESA, sel, re.source);
// Resolves once the page has asked for `url` (at once if it already has).
const attendiRichiesta = (url) => new Promise((ok, ko) => {
  if (richieste.includes(url)) return ok();
  const t = setTimeout(() => { page.off('request', vista); ko(new Error(`nessuna richiesta di ${url}`)); }, ATTESA.timeout);
  const vista = (r) => { if (r.url() === url) { clearTimeout(t); page.off('request', vista); ok(); } };
  page.on('request', vista);
});
const SENZA_FORNITORE = process.env.ANTEPRIMA_URL && !process.env.ANTEPRIMA_FORNITORE
  ? 'ANTEPRIMA_URL senza ANTEPRIMA_FORNITORE: nessun modo di cambiare i sorgenti' : false;
const aggiornamenti = () => page.evaluate(() => Number(document.body.dataset.aggiornamenti));
const attendiAggiornamento = (dopo) =>
  page.waitForFunction((n) => Number(document.body.dataset.aggiornamenti) > n, ATTESA, dopo);
const centro = async (sel) => {
  const b = await (await page.$(sel)).boundingBox();
  return { x: b.x + b.width / 2, y: b.y + b.height / 2 };
};
const stazioneSel = () => `#pianta .stazione[data-i="${iStazione}"]`;

test('plan, profiles and timetable are drawn from the document', async () => {
  for (const [sel, genere] of [['.stazione', 'stazione'], ['.segnale', 'segnale'], ['.indicatore', 'indicatore'], ['.cartello', 'cartello'], ['path.rallentamento', 'rallentamento'], ['.abbattimento', 'abbattimento']])
    assert.equal(await page.$$eval(`#pianta ${sel}`, (l) => l.length), conta(doc, genere), `${sel} nella pianta`);
  const nome = await page.$eval(stazioneSel(), (e) => e.dataset.nome);
  assert.equal(nome, stazione.nome);

  // Each profile covers the whole width of its frame, not a piece of it.
  const misure = await page.evaluate(() => {
    const larghezza = (sel) => {
      const e = document.querySelector(sel);
      return e && e.getAttribute('d') ? e.getBBox().width : 0;
    };
    const cornice = document.querySelector('#profilo-pendenza .cornice').getBBox().width;
    return {
      cornice,
      pendenza: larghezza('#profilo-pendenza .linea-pendenza'),
      salite: larghezza('#profilo-pendenza .salite'),
      velocita: larghezza('#profilo-velocita .linea-velocita'),
      orario: larghezza('#grafico-orario .linea-orario'),
      marcia: Math.max(larghezza('#grafico-orario .marcia:not(.ritardo)'), larghezza('#grafico-orario .marcia.ritardo')),
      corsa: larghezza('#profilo-velocita .marcia'),
      fermate: document.querySelectorAll('#grafico-orario .fermata').length,
    };
  });
  assert.ok(misure.cornice > 500, `cornice larga ${misure.cornice}`);
  for (const k of ['pendenza', 'velocita']) assert.ok(misure[k] >= misure.cornice - 2, `${k}: largo ${misure[k]} su ${misure.cornice}`);
  if (doc.pendenza.some((v) => v > 0)) assert.ok(misure.salite > 0, 'salite vuote');
  const fermate = doc.oggetti.filter((o) => o.genere === 'stazione' && o.orario > 0).sort((a, b) => a.posizione - b.posizione);
  assert.equal(misure.fermate, fermate.length, 'fermate nel grafico orario');
  const tratto = (fermate.at(-1).posizione - fermate[0].posizione) / doc.lunghezza;
  assert.ok(misure.orario >= misure.cornice * tratto * 0.98, `orario: largo ${misure.orario}`);
  for (const k of ['marcia', 'corsa']) assert.ok(misure[k] >= misure.cornice * tratto * 0.98, `${k} del treno: larga ${misure[k]}`);
});

// The page draws the run the server worked out; no train beats the limits'
// bound (cells with limit 0 add no time to it).
test('the run drawn is the server\'s, never faster than the limits allow', async () => {
  const fermate = doc.oggetti.filter((o) => o.genere === 'stazione' && o.orario > 0).sort((a, b) => a.posizione - b.posizione);
  const passo = doc.passo_celle;
  const ora = (s) => new Date(Math.round(s) * 1000).toISOString().slice(11, 19);
  const arrivi = await page.evaluate(() => window.anteprima.arrivi());
  assert.equal(arrivi.length, fermate.length - 1);
  await page.keyboard.press('Escape');
  for (let k = 1; k < fermate.length; k++) {
    const [A, B] = [fermate[k - 1], fermate[k]];
    let limiti = A.orario;
    for (let i = Math.floor(A.posizione / passo); i * passo < B.posizione; i++) {
      const v = doc.velocita[i];
      if (v > 0) limiti += ((Math.min(B.posizione, (i + 1) * passo) - Math.max(A.posizione, i * passo)) * 3.6) / v;
    }
    // The server sends the run's times in tenths of a second.
    const t = A.orario + doc.marce[k - 1].t.at(-1) / 10;
    assert.ok(Math.abs(arrivi[k - 1].arrivo - t) < 0.051, `da ${A.nome} a ${B.nome}: ${arrivi[k - 1].arrivo} invece di ${t}`);
    assert.ok(t >= limiti, `da ${A.nome} a ${B.nome}: ${t} prima del limite ${limiti}`);
    await page.evaluate((p) => window.anteprima.inquadra(p, 2000), B.posizione - 1);
    const q = await page.evaluate((p) => window.anteprima.schermo(p), B.posizione - 1);
    await page.mouse.move(q.orario.x, q.orario.y);
    await attendiRiga('#cursore', /posizione/);
    const testo = await testoDi('#cursore');
    const m = /marcia del treno\s+(\d\d:\d\d:\d\d), (\d+) km\/h/.exec(testo);
    assert.ok(m && [ora(t), ora(t - 1)].includes(m[1]), `da ${A.nome} a ${B.nome}: atteso ${ora(t)}, pannello «${testo}»`);
    // One metre before the stop the train is braking to it.
    assert.ok(Number(m[2]) < 40, `da ${A.nome} a ${B.nome}: ${m[2]} km/h a un metro dalla fermata`);
  }
});

test('pointing at a station on the plan shows its FILE:LINE, and a click fixes the cursor', async () => {
  const c = await centro(`${stazioneSel()} circle`);
  await page.mouse.move(c.x, c.y);
  await attendiTesto('#cursore', doveAtteso(stazione));
  assert.match(await testoDi('#cursore'), new RegExp(stazione.nome.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')));

  // A click fixes the cursor, so the pointer can go to the panel.
  await page.mouse.click(c.x, c.y);
  await attendiTesto('#cursore', 'fissato');
  const voce = await page.evaluateHandle((i) => [...document.querySelectorAll('#cursore a.voce')].find((a) => a.dataset.i === String(i)), iStazione);
  assert.ok(voce.asElement(), 'voce della stazione nel pannello');
  assert.equal(await voce.evaluate((a) => a.getAttribute('href')), collegamentoAtteso(stazione));
});

test('pointing at the profiles reads the same place: km, cell, gradient, limit', async () => {
  await page.keyboard.press('Escape');
  assert.ok(!(await testoDi('#cursore')).includes('fissato'), 'Esc libera il cursore');
  // Close up on the station in the profiles, by the wheel.
  let q = await page.evaluate((p) => window.anteprima.schermo(p), stazione.posizione);
  await page.mouse.move(q.velocita.x, q.velocita.y);
  for (let k = 0; k < 6; k++) await page.mouse.wheel({ deltaY: -400 });
  await page.waitForFunction(() => {
    const v = window.anteprima.vista().profili;
    return v.p1 - v.p0 < 5000;
  }, ATTESA);
  const passo = doc.passo_celle;
  const punti = (doc.tratti_km ?? []).map((r) => ({ posizione: r.posizione }));
  const primo = punti[0];
  const posti = [stazione.posizione + passo / 2];
  // Before the first reference point and past the last one, too.
  if (primo && primo.posizione - 1000 > 0) posti.push(primo.posizione - 1000 + passo / 2);
  const ultimo = punti.at(-1);
  if (ultimo && ultimo !== primo && ultimo.posizione + 500 < doc.lunghezza) posti.push(ultimo.posizione + 500 + passo / 2);
  for (const p of posti) {
    await page.evaluate((x) => {
      const v = window.anteprima.vista().profili;
      const w = v.p1 - v.p0;
      window.anteprima.inquadra(x, w);
    }, p);
    q = await page.evaluate((x) => window.anteprima.schermo(x), p);
    for (const pannello of ['pendenza', 'velocita', 'orario']) {
      await page.mouse.move(q[pannello].x, q[pannello].y);
      const cella = Math.floor(p / passo);
      await attendiRiga('#cursore', new RegExp(`cella\\s+${cella}\\n`));
      const testo = await testoDi('#cursore');
      const vista = await page.evaluate(() => window.anteprima.vista().profili);
      const metriPerPixel = (vista.p1 - vista.p0) / 1000;
      assert.ok(Math.abs(kmLetto(testo) - kmAtteso(doc, p)) <= 2 * metriPerPixel + 1, `${pannello}: ${testo}`);
      assert.match(testo, new RegExp(`pendenza\\s+${doc.pendenza[cella]} ‰`), `${pannello}`);
      const v = doc.velocita[cella];
      assert.match(testo, v > 0 ? new RegExp(`velocità\\s+${v} km/h`) : /velocità\s+nessun limite/, `${pannello}`);
    }
  }
});

test('a new document redraws in place: same page, same view, same cursor, new time', { skip: SENZA_FORNITORE }, async () => {
  await page.evaluate(() => { window.marcatore = 'stessa pagina'; });
  await page.waitForFunction(() => document.body.dataset.collegamento === 'aperto', ATTESA);
  // A view of one's own: zoomed plan, and the cursor fixed on the station.
  const c0 = await centro(`${stazioneSel()} circle`);
  const k0 = await page.evaluate(() => window.anteprima.vista().pianta.k);
  await page.mouse.move(c0.x, c0.y);
  await page.mouse.wheel({ deltaY: -500 });
  await page.waitForFunction((k) => window.anteprima.vista().pianta.k > k * 1.5, ATTESA, k0);
  const c = await centro(`${stazioneSel()} circle`);
  await page.mouse.click(c.x, c.y);
  await attendiTesto('#cursore', 'fissato');
  const vista = await page.evaluate(() => window.anteprima.vista());
  const cursore = await page.evaluate(() => window.anteprima.cursore());
  const versione = await page.evaluate(() => document.body.dataset.versione);

  const nuovo = stazione.orario + 120;
  const n = await aggiornamenti();
  const scritto = performance.now();
  await f.cambiaOrario(stazione.nome, nuovo);
  await attendiAggiornamento(n);
  await page.waitForFunction((v) => document.body.dataset.versione !== v, { ...ATTESA, polling: 'mutation' }, versione);
  // From the change (a save, with the real server) to the page showing it.
  const dopo = performance.now() - scritto;
  assert.ok(dopo <= ENTRO_MS, `nuovo orario nella pagina dopo ${dopo.toFixed(0)} ms (al più ${ENTRO_MS})`);

  assert.equal(await page.evaluate(() => window.marcatore), 'stessa pagina');
  assert.deepEqual(await page.evaluate(() => window.anteprima.vista()), vista);
  assert.deepEqual(await page.evaluate(() => window.anteprima.cursore()), cursore);
  const ora = new Date(nuovo * 1000).toISOString().slice(11, 19);
  const testo = await testoDi('#cursore');
  assert.ok(testo.includes(`orario ${ora}`) && testo.includes('fissato'), `pannello: «${testo}»`);
  const fermata = await page.$eval(`#grafico-orario .fermata[data-i="${iStazione}"]`, (e) => e.dataset.orario);
  assert.equal(fermata, ora);
  doc = await documentoAttuale(f.url);
  stazione = doc.oggetti[iStazione];
});

// The page marks what check warns of, from the same verdicts: a time too
// short for the limits, and one that goes back.
test('the red marks of the timetable are check\'s warnings', { skip: process.env.ANTEPRIMA_FORNITORE ? false : 'solo con il server vero (il server di prova non giudica)' }, async () => {
  const nomiRossi = () => page.$$eval('#grafico-orario .fermata.ritardo', (l) => l.map((e) => e.dataset.nome).sort());
  const nomiAvvisi = (d) => d.avvisi.map((a) => /orario (?:troppo stretto|all'indietro) da .* a (.*) \(\d\d:\d\d:\d\d\):/.exec(a.messaggio)?.[1])
    .filter(Boolean).sort();
  const fermate = doc.fermate.map((x) => doc.oggetti.filter((o) => o.genere === 'stazione')[x.stazione]);
  const k = fermate.indexOf(stazione);
  assert.ok(k > 0, 'la stazione ha una fermata prima');
  const prima = fermate[k - 1].orario;
  for (const ora of [prima + 30, prima - 60, stazione.orario]) {
    const n = await aggiornamenti();
    await f.cambiaOrario(stazione.nome, ora);
    await attendiAggiornamento(n);
    const d = await documentoAttuale(f.url);
    assert.deepEqual(await nomiRossi(), nomiAvvisi(d), `ora ${ora}`);
    assert.equal(nomiAvvisi(d).includes(stazione.nome), ora !== stazione.orario, `ora ${ora}`);
  }
  doc = await documentoAttuale(f.url);
});

test('a failed compile shows the error with its line and caret and greys the last drawing; a good one clears it', { skip: SENZA_FORNITORE }, async () => {
  const stazioni = await page.$$eval('#pianta .stazione', (l) => l.length);
  let n = await aggiornamenti();
  await f.rompi();
  await attendiAggiornamento(n);
  const e = (await documentoAttuale(f.url)).errore;
  assert.ok(e, 'il server dà l\'errore');
  const banner = await page.$eval('#errore', (b) => ({
    visibile: !b.hidden && b.getBoundingClientRect().height > 0,
    testo: b.textContent,
    pre: b.querySelector('pre')?.textContent,
    mono: getComputedStyle(b.querySelector('pre')).fontFamily,
  }));
  assert.ok(banner.visibile, 'banner visibile');
  assert.ok(banner.testo.includes(`${e.file}:${e.riga}`), `FILE:LINE in «${banner.testo}»`);
  assert.ok(banner.testo.includes(e.messaggio));
  assert.equal(banner.pre, `${e.testo}\n${e.caret}`);
  assert.match(banner.mono, /mono/i);
  const spento = await page.$eval('#disegno', (d) => ({ classe: d.classList.contains('spento'), opacita: Number(getComputedStyle(d).opacity), filtro: getComputedStyle(d).filter }));
  assert.ok(spento.classe && spento.opacita < 1 && /grayscale/.test(spento.filtro), JSON.stringify(spento));
  assert.equal(await page.$$eval('#pianta .stazione', (l) => l.length), stazioni, 'l\'ultimo disegno resta');

  n = await aggiornamenti();
  await f.ripara();
  await attendiAggiornamento(n);
  assert.ok(await page.$eval('#errore', (b) => b.hidden), 'banner tolto');
  const dopo = await page.$eval('#disegno', (d) => ({ classe: d.classList.contains('spento'), opacita: Number(getComputedStyle(d).opacity) }));
  assert.ok(!dopo.classe && dopo.opacita === 1, JSON.stringify(dopo));
  assert.equal(await page.evaluate(() => document.body.dataset.stato), 'ok');
  assert.equal(await page.evaluate(() => window.marcatore), 'stessa pagina');
});

test('after a dropped connection the page reconnects and fetches what it missed', { skip: process.env.ANTEPRIMA_URL ? 'solo con il server di prova' : false }, async () => {
  await page.waitForFunction(() => document.body.dataset.collegamento === 'aperto', ATTESA);
  const attuale = await documentoAttuale(f.url);
  const versione = attuale.versione + 1;
  f.server.interrompi();
  await page.waitForFunction(() => document.body.dataset.collegamento === 'chiuso', ATTESA);
  f.server.sostituisci({ ...attuale, versione });
  await page.waitForFunction((v) => document.body.dataset.versione === String(v), ATTESA, versione);
  assert.equal(await page.evaluate(() => document.body.dataset.collegamento), 'aperto');
  assert.equal(await page.evaluate(() => window.marcatore), 'stessa pagina');
});

test('dragging moves the plan and the profiles; "Tutta la linea" fits the whole line again', async () => {
  const prima = await page.evaluate(() => window.anteprima.vista());
  const c = await centro('#svg-pianta');
  await page.mouse.move(c.x, c.y);
  await page.mouse.down();
  await page.mouse.move(c.x + 60, c.y + 30, { steps: 4 });
  await page.mouse.move(c.x + 100, c.y + 50, { steps: 4 });
  await page.mouse.up();
  const dopo = await page.evaluate(() => window.anteprima.vista());
  assert.ok(Math.abs(prima.pianta.ca - dopo.pianta.ca - 100 / prima.pianta.k) < 1e-6 * Math.abs(prima.pianta.ca) + 1e-3, JSON.stringify([prima, dopo]));
  assert.ok(Math.abs(prima.pianta.cb - dopo.pianta.cb - 50 / prima.pianta.k) < 1e-6 * Math.abs(prima.pianta.cb) + 1e-3);
  const q = await centro('#profilo-velocita .cornice');
  await page.mouse.move(q.x, q.y);
  await page.mouse.down();
  await page.mouse.move(q.x - 80, q.y, { steps: 4 });
  await page.mouse.up();
  const px = await page.evaluate(() => window.anteprima.vista().profili);
  const kx = (await page.$eval('#profilo-velocita .cornice', (r) => r.getBBox().width)) / (prima.profili.p1 - prima.profili.p0);
  assert.ok(Math.abs(px.p0 - prima.profili.p0 - 80 / kx) < 1, JSON.stringify([prima.profili, px]));
  await page.click('#tutta-linea');
  assert.deepEqual(await page.evaluate(() => window.anteprima.vista()), vistaIniziale);
});

// Last on this page: headless Chromium, asked to open an editor link, holds
// back the keyboard afterwards.
test('clicking an entry opens its line in the editor and shows the line', async () => {
  // A click fixes the cursor, a second one on it frees it, a third fixes it again.
  await page.keyboard.press('Escape');
  const c = await centro(`${stazioneSel()} circle`);
  for (const atteso of [true, false, true]) {
    await page.mouse.click(c.x, c.y);
    await page.waitForFunction((a) => document.querySelector('#cursore').innerText.includes('fissato') === a, ATTESA, atteso);
  }
  const voce = await page.evaluateHandle((i) => [...document.querySelectorAll('#cursore a.voce')].find((a) => a.dataset.i === String(i)), iStazione);
  const aperto = attendiRichiesta(collegamentoAtteso(stazione));
  await voce.click();
  await attendiTesto('#sorgente', stazione.testo);
  assert.ok((await testoDi('#sorgente')).includes(doveAtteso(stazione)));
  await aperto;
});

test('editor links for Windows paths', async () => {
  assert.equal(await page.evaluate(() => window.anteprima.collegamento('C:\\dir\\x.txt', 24)), 'vscode://file/C:/dir/x.txt:24');
  assert.equal(await page.evaluate(() => window.anteprima.collegamento('/a b/c#d.txt', 3)), 'vscode://file/a%20b/c%23d.txt:3');
});

test('nothing leaves the page\'s origin, and the page logs no error', () => {
  const fuori = richieste.filter((u) => !u.startsWith(origine + '/') && !u.startsWith('vscode://file/'));
  assert.deepEqual(fuori, []);
  assert.ok(richieste.some((u) => u.startsWith(`${origine}/dati?t=`)), 'dati chiesti con la chiave');
  assert.ok(richieste.some((u) => u.startsWith(`${origine}/eventi?t=`)), 'eventi chiesti con la chiave');
  assert.deepEqual(errori, []);
});

// As `scenario plot --html` writes it: opened from disk, or from any web
// server that has nothing else (a request for dati or eventi fails there).
test('with its data written in, the page draws without asking any server', async () => {
  const html = await (await fetch(f.url)).text();
  const attuale = await documentoAttuale(f.url);
  const segnaposto = '<script type="application/json" id="dati"></script>';
  assert.ok(html.includes(segnaposto), 'la pagina ha il posto per i dati');
  const dati = JSON.stringify(attuale).replace(/</g, '\\u003c');
  const statica = html.replace(segnaposto, `<script type="application/json" id="dati">${dati}</script>`);
  const cartella = fs.mkdtempSync(path.join(os.tmpdir(), 'anteprima-statica-'));
  const file = path.join(cartella, 'linea.html');
  fs.writeFileSync(file, statica);
  const solo = http.createServer((req, res) => {
    res.writeHead(req.url === '/linea.html' ? 200 : 404, { 'Content-Type': 'text/html; charset=utf-8' });
    res.end(req.url === '/linea.html' ? statica : '');
  });
  await new Promise((ok) => solo.listen(0, '127.0.0.1', ok));
  try {
    for (const indirizzo of [pathToFileURL(file).href, `http://127.0.0.1:${solo.address().port}/linea.html`]) {
      const p = await browser.newPage();
      const viste = [];
      const sbagli = [];
      p.on('request', (r) => viste.push(r.url()));
      p.on('pageerror', (e) => sbagli.push(e.message));
      p.on('console', (m) => { if (m.type() === 'error') sbagli.push(m.text()); });
      try {
        await p.goto(indirizzo);
        await p.waitForFunction(() => document.body.dataset.versione, ATTESA);
        assert.equal(await p.$$eval('#pianta .stazione', (l) => l.length), conta(attuale, 'stazione'), indirizzo);
        assert.match(await p.$eval('#stato', (e) => e.textContent), /pagina statica/);
        assert.equal(await p.evaluate(() => document.body.dataset.collegamento), undefined, 'nessun EventSource');
        assert.deepEqual(viste, [indirizzo]);
        assert.deepEqual(sbagli, []);
      } finally {
        await p.close();
      }
    }
  } finally {
    // The browser keeps its connection alive; close() alone would wait for it.
    solo.closeAllConnections();
    await new Promise((ok) => solo.close(ok));
    fs.rmSync(cartella, { recursive: true, force: true });
  }
});

test('the rails of a map (preview --map) are drawn under the plan, with their legend', async () => {
  assert.equal(await page.$eval('#legenda-mappa', (e) => e.hidden), true, 'senza mappa nessuna voce');
  const html = await (await fetch(f.url)).text();
  const attuale = await documentoAttuale(f.url);
  // A rail along the first kilometre of the plan, 3 m to its side, and one far away.
  const x = attuale.pianta.x, y = attuale.pianta.y, vicina = [];
  for (let i = 0; i <= 100; i++) vicina.push(x[i] + 3, y[i]);
  const dati = JSON.stringify({ ...attuale, mappa: [vicina, [1e6, 1e6, 1e6 + 10, 1e6]] }).replace(/</g, '\\u003c');
  const segnaposto = '<script type="application/json" id="dati"></script>';
  const p = await browser.newPage();
  try {
    await p.setViewport({ width: 1400, height: 900 });
    await p.setContent(html.replace(segnaposto, `<script type="application/json" id="dati">${dati}</script>`));
    await p.waitForFunction(() => document.body.dataset.versione, ATTESA);
    const d = await p.$eval('#pianta path.mappa', (e) => e.getAttribute('d'));
    assert.equal((d.match(/M/g) ?? []).length, 1, `una sola via in vista: ${d.slice(0, 80)}`);
    assert.ok((d.match(/L/g) ?? []).length >= 1);
    assert.equal(await p.$eval('#legenda-mappa', (e) => e.hidden), false);
  } finally {
    await p.close();
  }
});
