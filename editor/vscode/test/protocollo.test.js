'use strict';
// The whole conversation with `scenario lsp` through the protocol library an
// editor uses: the built-in sources opened, broken and mended, asked about,
// formatted, then shutdown and exit. SCENARIO_LSP is the server's command as
// a JSON array (default: the Linux build's scenario); with SCENARIO_LSP_WINE
// set, the server is a Windows program under Wine and sees Z:.
// SCENARIO_LSP_RISPOSTE=FILE keeps the answers, to compare two servers.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, spawnSync } = require('node:child_process');
const { pathToFileURL } = require('node:url');
// The client library's own protocol layer (pinned with it by the lockfile).
const rpc = require('vscode-languageserver-protocol/node');

const predefinito = path.join(__dirname, '../../../build/bin/scenario');
const comando = process.env.SCENARIO_LSP
  ? JSON.parse(process.env.SCENARIO_LSP)
  : fs.existsSync(predefinito)
    ? [predefinito]
    : null;
const wine = Boolean(process.env.SCENARIO_LSP_WINE);
const ATTESA = 30_000;

function uri(file) {
  return wine ? `file:///Z:${file.split(path.sep).join('/')}` : pathToFileURL(file).href;
}

// Resolves with the first diagnostics of `u` that `vale` accepts.
function diagnosi(connessione, arrivate, u, vale) {
  return new Promise((risolvi, rifiuta) => {
    const guarda = () => {
      const d = arrivate.get(u);
      if (d && vale(d)) {
        clearTimeout(limite);
        arrivate.ascoltatori.delete(guarda);
        risolvi(d);
      }
    };
    const limite = setTimeout(() => rifiuta(new Error(`nessuna diagnostica attesa per ${u}`)), ATTESA);
    arrivate.ascoltatori.add(guarda);
    guarda();
  });
}

test('conversazione completa con scenario lsp', { skip: !comando && 'scenario non compilato (SCENARIO_LSP)', timeout: 120_000 }, async () => {
  const cartella = fs.mkdtempSync(path.join(os.tmpdir(), 'lsp-'));
  try {
    const s = spawnSync(comando[0], [...comando.slice(1), 'sources', cartella], { encoding: 'utf8' });
    assert.equal(s.status, 0, s.stderr);
    const linea = path.join(cartella, 'FerziaPS-Calvorano_linea.txt');
    const treno = path.join(cartella, 'FerziaPS-Calvorano_24617-.txt');
    const testo = (f) => new TextDecoder('windows-1252').decode(fs.readFileSync(f));
    const [ul, ut] = [uri(linea), uri(treno)];

    const server = spawn(comando[0], [...comando.slice(1), 'lsp'], { stdio: ['pipe', 'pipe', 'inherit'] });
    const uscita = new Promise((r) => server.on('exit', (codice) => r(codice)));
    const c = rpc.createProtocolConnection(
      new rpc.StreamMessageReader(server.stdout),
      new rpc.StreamMessageWriter(server.stdin),
    );
    const arrivate = new Map();
    arrivate.ascoltatori = new Set();
    c.onNotification(rpc.PublishDiagnosticsNotification.type, (p) => {
      arrivate.set(p.uri, p.diagnostics);
      for (const f of [...arrivate.ascoltatori]) f();
    });
    c.listen();
    const risposte = {};

    const init = await c.sendRequest(rpc.InitializeRequest.type, { processId: process.pid, rootUri: null, capabilities: {} });
    risposte.capacita = init.capabilities;
    assert.equal(init.capabilities.textDocumentSync.change, rpc.TextDocumentSyncKind.Incremental);
    await c.sendNotification(rpc.InitializedNotification.type, {});
    const apri = (u, f, lingua) =>
      c.sendNotification(rpc.DidOpenTextDocumentNotification.type, {
        textDocument: { uri: u, languageId: lingua, version: 1, text: testo(f) },
      });
    await apri(ul, linea, 'scenario-linea');
    await apri(ut, treno, 'scenario-treno');
    await diagnosi(c, arrivate, ul, (d) => d.length === 0);
    // The built-in train's one warning: the first station's opzione_2.
    await diagnosi(c, arrivate, ut, (d) => d.length === 1 && d[0].range.start.line === 17 && /opzione_2 1 diventa 0/.test(d[0].message));

    // "curvas6,  550,  350" (line 11) with a letter in its position, then mended.
    const cambia = (versione, da, a, nuovo) =>
      c.sendNotification(rpc.DidChangeTextDocumentNotification.type, {
        textDocument: { uri: ul, version: versione },
        contentChanges: [{ range: { start: { line: 10, character: da }, end: { line: 10, character: a } }, text: nuovo }],
      });
    await cambia(2, 10, 10, 'x');
    const rotta = await diagnosi(c, arrivate, ul, (d) => d.length > 0);
    risposte.rotta = rotta;
    assert.equal(rotta[0].code, 25);
    assert.equal(rotta[0].range.start.line, 10);
    await cambia(3, 10, 11, '');
    await diagnosi(c, arrivate, ul, (d) => d.length === 0);

    const hover = await c.sendRequest(rpc.HoverRequest.type, { textDocument: { uri: ut }, position: { line: 23, character: 2 } });
    risposte.hover = hover;
    assert.match(hover.contents.value, /`posizione` \(m\)/);
    const simboli = await c.sendRequest(rpc.DocumentSymbolRequest.type, { textDocument: { uri: ut } });
    risposte.simboli = simboli;
    assert.ok(JSON.stringify(simboli).includes('GRUZO 14:50:51'));
    const proposte = await c.sendRequest(rpc.CompletionRequest.type, { textDocument: { uri: ut }, position: { line: 0, character: 0 } });
    risposte.proposte = proposte;
    assert.ok(proposte.some((p) => p.label === 'stazione' && p.insertText.startsWith('stazione, ${1:posizione}')));
    const modifiche = await c.sendRequest(rpc.DocumentFormattingRequest.type, {
      textDocument: { uri: ut },
      options: { tabSize: 4, insertSpaces: true },
    });
    risposte.formattazione = modifiche;
    assert.equal(modifiche.length, 1);
    assert.ok(modifiche[0].newText.includes('stazione, 21600, 12, 300, 0, 0, 0, 1, 1, 0, 4, 1, 1, 40, 14, 50, 51, GRUZO\r\n'));

    assert.equal(await c.sendRequest(rpc.ShutdownRequest.type), null);
    await c.sendNotification(rpc.ExitNotification.type);
    assert.equal(await uscita, 0);
    c.dispose();
    if (process.env.SCENARIO_LSP_RISPOSTE) {
      const senza = JSON.stringify(risposte, null, 1).split(JSON.stringify(ut).slice(1, -1)).join('TRENO');
      fs.writeFileSync(process.env.SCENARIO_LSP_RISPOSTE, senza);
    }
  } finally {
    fs.rmSync(cartella, { recursive: true, force: true });
  }
});
