// What serves the page to the tests. Without ANTEPRIMA_URL: the fixture
// server with the 37 km document. With ANTEPRIMA_URL: whatever serves that
// URL (e.g. `scenario preview`); the tests that change the sources need
// ANTEPRIMA_FORNITORE, a module exporting cambiaOrario(nome, secondi),
// rompi(), ripara() and optionally chiudi(), that make the server send the
// matching document (by editing the sources, for the real server).
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { FIXTURE_37, PAGINA } from './browser.mjs';
import { avviaServer } from './server-prova.mjs';

// The 37 km document as a failed compile gives it: no line, only the error.
function conErrore(doc) {
  return {
    linea: doc.linea,
    treno: doc.treno,
    versione: doc.versione,
    errore: {
      codice: 25,
      messaggio: 'errore 25: curva senza lunghezza',
      file: doc.oggetti.find((o) => o.file?.endsWith('_linea.txt'))?.file ?? 'FerziaPS-Calvorano_linea.txt',
      riga: 11,
      colonna: 14,
      testo: 'curvas6,  550',
      caret: '             ^',
    },
    avvisi: [],
  };
}

export async function fornitore() {
  const esterno = process.env.ANTEPRIMA_URL;
  if (esterno) {
    const mod = process.env.ANTEPRIMA_FORNITORE
      ? await import(pathToFileURL(path.resolve(process.env.ANTEPRIMA_FORNITORE)).href)
      : null;
    return {
      url: esterno,
      descrizione: `server esterno ${esterno}`,
      cambiaOrario: mod?.cambiaOrario ?? null,
      rompi: mod?.rompi ?? null,
      ripara: mod?.ripara ?? null,
      chiudi: async () => mod?.chiudi?.(),
    };
  }
  const buono = JSON.parse(fs.readFileSync(FIXTURE_37, 'utf8'));
  const server = await avviaServer({ pagina: PAGINA, documento: buono });
  let ultimo = buono;
  const nuovo = (doc) => ({ ...doc, versione: ultimo.versione + 1 });
  return {
    url: server.url,
    descrizione: 'server di prova',
    server,
    async cambiaOrario(nome, secondi) {
      const doc = nuovo(ultimo);
      // The times only: the verdicts stay the server's (these tests change
      // a time by seconds, well inside what the limits allow).
      const stazioni = ultimo.oggetti.filter((o) => o.genere === 'stazione');
      const k = stazioni.findIndex((o) => o.nome === nome);
      doc.oggetti = ultimo.oggetti.map((o) => (o.genere === 'stazione' && o.nome === nome ? { ...o, orario: secondi } : o));
      doc.fermate = ultimo.fermate.map((x) => (x.stazione === k ? { ...x, ora: secondi } : x));
      doc.marce = ultimo.marce.map((r) => ({ ...r, ...(r.da === k ? { ora_da: secondi } : {}), ...(r.a === k ? { ora_a: secondi } : {}) }));
      ultimo = doc;
      server.spingi(doc);
    },
    async rompi() {
      server.spingi(conErrore(ultimo));
    },
    async ripara() {
      ultimo = nuovo(ultimo);
      server.spingi(ultimo);
    },
    chiudi: () => server.chiudi(),
  };
}

// The document the server hands out now, read as the page reads it.
export async function documentoAttuale(url) {
  const u = new URL(url);
  const r = await fetch(new URL('dati?t=' + encodeURIComponent(u.searchParams.get('t') ?? ''), u));
  if (!r.ok) throw new Error(`dati: HTTP ${r.status}`);
  return r.json();
}
