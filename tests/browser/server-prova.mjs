// A stand-in for `scenario preview`: the page at /?t=TOKEN, the document at
// dati?t=TOKEN and Server-Sent Events at eventi?t=TOKEN, on 127.0.0.1 only.
import fs from 'node:fs';
import http from 'node:http';

export const TOKEN = 'abc';

export async function avviaServer({ pagina, documento }) {
  let corrente = JSON.stringify(documento);
  const clienti = new Set();
  const richieste = [];
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://127.0.0.1');
    richieste.push(url.pathname + url.search);
    if (req.method !== 'GET') return rispondi(res, 405, 'text/plain', 'metodo non ammesso');
    // The token guards every path, as the real server's does.
    if (url.searchParams.get('t') !== TOKEN) return rispondi(res, 403, 'text/plain', 'chiave mancante o errata');
    if (url.pathname === '/') return rispondi(res, 200, 'text/html; charset=utf-8', fs.readFileSync(pagina));
    if (url.pathname === '/dati') return rispondi(res, 200, 'application/json', corrente);
    if (url.pathname === '/eventi') {
      res.writeHead(200, { 'Content-Type': 'text/event-stream', 'Cache-Control': 'no-store', Connection: 'keep-alive' });
      // A short retry, so a test of a dropped connection takes no time.
      res.write('retry: 200\n: collegato\n\n');
      clienti.add(res);
      req.on('close', () => clienti.delete(res));
      return undefined;
    }
    return rispondi(res, 404, 'text/plain', 'non trovato');
  });
  await new Promise((ok, ko) => {
    server.once('error', ko);
    server.listen(0, '127.0.0.1', ok);
  });
  const origine = `http://127.0.0.1:${server.address().port}`;
  return {
    url: `${origine}/?t=${TOKEN}`,
    richieste,
    clienti: () => clienti.size,
    // The next document as the answer to dati, with no event (as if
    // compiled while the page was not connected).
    sostituisci(doc) {
      corrente = JSON.stringify(doc);
    },
    // Ends the event streams; the page reconnects by itself.
    interrompi() {
      for (const c of clienti) c.end();
      clienti.clear();
    },
    // One event per document; JSON text has no raw newline, so one data line.
    spingi(doc) {
      corrente = JSON.stringify(doc);
      for (const c of clienti) c.write(`event: dati\ndata: ${corrente}\n\n`);
      return clienti.size;
    },
    async chiudi() {
      for (const c of clienti) c.destroy();
      server.closeAllConnections();
      await new Promise((ok) => server.close(ok));
    },
  };
}

function rispondi(res, codice, tipo, corpo) {
  res.writeHead(codice, { 'Content-Type': tipo, 'Cache-Control': 'no-store' });
  res.end(corpo);
}
