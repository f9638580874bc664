// The page writing its sources (`scenario preview --edit`), in Chromium
// against the real server: a drag writes the file, a file changed on disk
// meanwhile refuses the edit, the page's undo gives the bytes back, a time
// dragged agrees with `check`, an edit that would not compile is not written, forged requests change nothing, a sign's text
// is what its field can carry, and an edit keeps a source's link and mode.
// Env: ANTEPRIMA_URL, ANTEPRIMA_SORGENTI (the folder served),
// ANTEPRIMA_PROGRAMMA (scenario, to run check) and ANTEPRIMA_WINE if any.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { avviaBrowser, CHROMIUM } from './browser.mjs';
import { esito, pronta, ridisegnata, spostaOrario, spostaStazione } from './trascina.mjs';

if (!fs.existsSync(CHROMIUM) || !process.env.ANTEPRIMA_URL) {
  console.log('SALTATO: manca Chromium o ANTEPRIMA_URL');
  process.exit(77);
}
const url = new URL(process.env.ANTEPRIMA_URL);
const cartella = process.env.ANTEPRIMA_SORGENTI;
const treno = path.join(cartella, 'FerziaPS-Calvorano_24617-.txt');
const linea = path.join(cartella, 'FerziaPS-Calvorano_linea.txt');
const leggi = (f) => fs.readFileSync(f, 'latin1');
// Whole, as an editor saves: the server never reads half a file.
const scrivi = (f, t) => { fs.writeFileSync(f + '.nuovo', t, 'latin1'); fs.renameSync(f + '.nuovo', f); };
const riga = (t, n) => t.split('\r\n')[n - 1];
const ATTESA = { timeout: 30000 };

let browser, page, originale;
before(async () => {
  originale = leggi(treno);
  browser = await avviaBrowser();
  page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  await page.goto(url.href);
  await pronta(page, 21700);
});
after(async () => browser?.close());

test('a drag writes the line, live cell first; the page undoes it byte for byte', async () => {
  const prima = await spostaStazione(page, 'GRUZO', 21800, { cella: 436 });
  assert.equal((await esito(page)).esito, 'fatta');
  await ridisegnata(page, prima, 'GRUZO', 21800);
  const dopo = leggi(treno);
  assert.equal(dopo, originale.replace('stazione,   21600, 12,', 'stazione,   21800, 12,'));
  await page.evaluate(() => { document.body.dataset.esitoModifica = ''; });
  await page.click('#annulla-modifica');
  assert.equal((await esito(page)).esito, 'fatta');
  await page.waitForFunction(() => window.anteprima.voce('GRUZO')?.posizione === 21600, ATTESA);
  assert.equal(leggi(treno), originale);
});

test('a time dragged to 14:52:00 is written in its fields, and check agrees with the page', async () => {
  await pronta(page, 21700, 12000);
  const prima = await spostaOrario(page, 'GRUZO', 14 * 3600 + 52 * 60);
  assert.equal((await esito(page)).esito, 'fatta');
  await page.waitForFunction((v) => document.body.dataset.versione !== v && window.anteprima.voce('GRUZO')?.t === 53520, ATTESA, prima);
  assert.match(riga(leggi(treno), 24), /,\s+14,52, 0, GRUZO$/);
  const rossa = await page.evaluate(() => document.querySelector('circle.fermata[data-nome="GRUZO"]').classList.contains('ritardo'));
  const wine = process.env.ANTEPRIMA_WINE;
  const args = ['check', wine ? 'Z:' + cartella.replace(/\//g, '\\') : cartella, 'FerziaPS-Calvorano', '24617'];
  const r = wine ? spawnSync(wine, [process.env.ANTEPRIMA_PROGRAMMA, ...args], { encoding: 'latin1' })
    : spawnSync(process.env.ANTEPRIMA_PROGRAMMA, args, { encoding: 'latin1' });
  const avvisa = /-\.txt:24: avviso: .*GRUZO/.test(r.stdout + r.stderr);
  assert.equal(rossa, avvisa, r.stdout + r.stderr);
  scrivi(treno, originale);
  await page.waitForFunction(() => window.anteprima.voce('GRUZO')?.t === 53451, ATTESA);
});

test('a file changed on disk during the drag refuses the edit, and the page says why', async () => {
  await pronta(page, 21700);
  const altro = originale.replace('stazione,   21600, 12,  300', 'stazione,   21600, 13,  300');
  await spostaStazione(page, 'GRUZO', 21800, { aMeta: () => scrivi(treno, altro) });
  const e = await esito(page);
  assert.equal(e.esito, 'rifiutata');
  assert.match(e.testo, /rifiutata: .*(cambiato|versione|non è più)/);
  assert.equal(leggi(treno), altro);
  scrivi(treno, originale);
});

test('a station whose stop would fall on a signal\'s cell is not written, and check still passes', async () => {
  // The page shows the file the test before restored.
  await page.waitForFunction(async (t) => {
    const d = await fetch('dati' + location.search).then((r) => r.json());
    return String(d.versione) === document.body.dataset.versione && d.oggetti?.find((o) => o.nome === 'GRUZO')?.testo === t;
  }, { ...ATTESA, polling: 100 }, riga(originale, 24));
  await pronta(page, 23000);
  // At 23200 m GRUZO's stop takes the cell of the signal at 23250 m.
  await spostaStazione(page, 'GRUZO', 23200, { cella: 464 });
  const e = await esito(page);
  assert.equal(e.esito, 'rifiutata');
  assert.match(e.testo, /nulla scritto: .*errore 16.*-\.txt:44/);
  assert.equal(leggi(treno), originale);
  const wine = process.env.ANTEPRIMA_WINE;
  const args = ['check', wine ? 'Z:' + cartella.replace(/\//g, '\\') : cartella, 'FerziaPS-Calvorano', '24617'];
  const r = wine ? spawnSync(wine, [process.env.ANTEPRIMA_PROGRAMMA, ...args], { encoding: 'latin1' })
    : spawnSync(process.env.ANTEPRIMA_PROGRAMMA, args, { encoding: 'latin1' });
  assert.equal(r.status, 0, r.stdout + r.stderr);
});

// A request as a page elsewhere or a careless script would send it: the
// status, with the answer's text.
function manda(corpo, { chiave = url.searchParams.get('t'), origine = url.origin, tipo = 'application/json' } = {}) {
  return new Promise((fatto) => {
    const q = http.request({ host: url.hostname, port: url.port, method: 'POST', path: `/modifica?t=${chiave}`,
      headers: { Origin: origine, 'Content-Type': tipo } }, (r) => {
      let corpo = '';
      r.setEncoding('utf8');
      r.on('data', (d) => { corpo += d; });
      r.on('end', () => fatto({ stato: r.statusCode, corpo }));
    });
    q.on('error', (e) => fatto({ stato: e.code, corpo: '' }));
    q.end(corpo);
  });
}

// The server's document once its version is past `dopo`.
const documento = (dopo = 0) => page.waitForFunction(async (v) => {
  const d = await fetch('dati' + location.search).then((r) => r.json());
  return d.versione > v && d;
}, { ...ATTESA, polling: 100 }, dopo).then((h) => h.jsonValue());

test('forged requests change nothing and the server goes on', async () => {
  // The server's document is the file restored by the test before.
  await page.waitForFunction(async (t) => {
    const d = await fetch('dati' + location.search).then((r) => r.json());
    return d.oggetti?.find((o) => o.nome === 'GRUZO')?.testo === t;
  }, { ...ATTESA, polling: 100 }, riga(originale, 24));
  const prima = [leggi(treno), leggi(linea)];
  const elenco = fs.readdirSync(cartella).sort();
  const doc = await page.evaluate(() => fetch('dati' + location.search).then((r) => r.json()));
  const gruzo = doc.oggetti.find((o) => o.nome === 'GRUZO');
  const buona = { intento: 'sposta', versione: doc.versione, file: gruzo.file, riga: 24, testo: gruzo.testo, posizione: 22000 };
  const casi = [
    [buona, { chiave: 'ab'.repeat(16) }, 403],
    [buona, { origine: 'http://esempio.invalid' }, 403],
    [buona, { tipo: 'text/plain' }, 415],
    [{ ...buona, testo: gruzo.testo.replace('GRUZO', 'GRUZ0') }, {}, 409],
    [{ ...buona, riga: 23 }, {}, 409],
    [{ ...buona, intento: 'rinomina' }, {}, 400],
    [{ ...buona, versione: doc.versione - 1 }, {}, 409],
    [{ ...buona, file: gruzo.file.replace('-.txt', '_note.txt') }, {}, 400],
    [{ ...buona, scritta: 'x'.repeat(8000) }, {}, 413],
  ];
  for (const [corpo, come, stato] of casi) assert.equal((await manda(JSON.stringify(corpo), come)).stato, stato, JSON.stringify(come));
  assert.deepEqual([leggi(treno), leggi(linea)], prima);
  assert.deepEqual(fs.readdirSync(cartella).sort(), elenco);
  const ancora = await page.evaluate(() => fetch('dati' + location.search).then((r) => r.status));
  assert.equal(ancora, 200);
});

test('a sign\'s text is held to what its field can carry, counted in the source\'s characters', async () => {
  const prima = leggi(linea);
  let doc = await documento();
  const cartello = (scritta, posizione) => manda(JSON.stringify({ intento: 'aggiungi', versione: doc.versione, posizione, oggetto: 'cartello', scritta }));
  // Two hundred characters, four hundred bytes of UTF-8.
  let r = await cartello('\u00c0'.repeat(200), 12845);
  assert.equal(r.stato, 200, r.corpo);
  assert.match(leggi(linea), new RegExp(`, \\xC0{200}\\r\\n`));
  doc = await documento(doc.versione);
  const dopo = leggi(linea);
  for (const [scritta, motivo] of [['a\u001b[2Jb', /U\+001B/], ['a\u0000b', /U\+0000/], ['\u00c0'.repeat(201), /201 caratteri/]]) {
    r = await cartello(scritta, 13345);
    assert.equal(r.stato, 400, r.corpo);
    assert.match(JSON.parse(r.corpo).messaggio, motivo);
  }
  assert.equal(leggi(linea), dopo);
  scrivi(linea, prima);
  await documento(doc.versione);
});

test('an edit and its undo keep a linked source a link, and its mode; read-only and hard-linked sources are refused, and why', async () => {
  const dentro = path.join(cartella, 'veri');
  const vero = path.join(dentro, path.basename(treno));
  // The link takes the file's place in one rename, over the same bytes: the
  // server never sees the source missing, and its document stays the same.
  fs.mkdirSync(dentro);
  fs.copyFileSync(treno, vero);
  fs.chmodSync(vero, 0o600);
  fs.symlinkSync(path.join('veri', path.basename(treno)), treno + '.collegamento');
  fs.renameSync(treno + '.collegamento', treno);
  let doc = await documento();
  const sposta = (posizione) => {
    const gruzo = doc.oggetti.find((o) => o.nome === 'GRUZO');
    return manda(JSON.stringify({ intento: 'sposta', versione: doc.versione, file: gruzo.file, riga: 24, testo: gruzo.testo, posizione }));
  };
  try {
    let r = await sposta(22000);
    assert.equal(r.stato, 200, r.corpo);
    assert.match(riga(leggi(vero), 24), /^stazione,   22000,/);
    doc = await documento(doc.versione);
    r = await manda(JSON.stringify({ intento: 'annulla', versione: doc.versione }));
    assert.equal(r.stato, 200, r.corpo);
    assert.equal(leggi(vero), originale);
    doc = await documento(doc.versione);
    assert.ok(fs.lstatSync(treno).isSymbolicLink());
    // Wine gives a file it writes the mode of its own files.
    if (!process.env.ANTEPRIMA_WINE) assert.equal(fs.statSync(vero).mode & 0o777, 0o600);
    fs.chmodSync(vero, 0o444);
    r = await sposta(22000);
    assert.notEqual(r.stato, 200);
    assert.match(JSON.parse(r.corpo).messaggio, /è in sola lettura/);
    fs.chmodSync(vero, 0o600);
    fs.linkSync(vero, path.join(dentro, 'doppio.txt'));
    r = await sposta(22000);
    assert.notEqual(r.stato, 200);
    assert.match(JSON.parse(r.corpo).messaggio, /ha 2 collegamenti fisici/);
    assert.equal(leggi(vero), originale);
    assert.deepEqual(fs.readdirSync(dentro).sort(), [path.basename(treno), 'doppio.txt']);
  } finally {
    fs.chmodSync(vero, 0o644);
    fs.renameSync(vero, treno);
    fs.rmSync(dentro, { recursive: true });
  }
});
