// The preview opened through the protocol library of the VS Code extension
// (editor/vscode/node_modules) as the client: it answers window/showDocument
// and workspace/applyEdit as an editor does, keeping the train source's text
// and version, while editor.mjs drags GRUZO on the page; then it undoes the
// edit and the page must follow. Env: SCENARIO_LSP (the command, fields
// apart by tabs), CARTELLA (built-in sources), WINE (set: a Windows server,
// which sees the folder as Z:). Exit 77 without the library.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import readline from 'node:readline';
import { pathToFileURL } from 'node:url';

const libreria = new URL('../../editor/vscode/package.json', import.meta.url);
if (!fs.existsSync(new URL('node_modules/vscode-languageserver-protocol', libreria))) {
  console.log('SALTATO: npm ci non fatto in editor/vscode');
  process.exit(77);
}
const rpc = createRequire(libreria)('vscode-languageserver-protocol/node');
const [programma, ...argomenti] = process.env.SCENARIO_LSP.split('\t');
const treno = path.join(process.env.CARTELLA, 'FerziaPS-Calvorano_24617-.txt');
const uri = process.env.WINE ? `file:///Z:${treno}` : pathToFileURL(treno).href;

const server = spawn(programma, argomenti, { stdio: ['pipe', 'pipe', 'inherit'] });
const c = rpc.createProtocolConnection(new rpc.StreamMessageReader(server.stdout), new rpc.StreamMessageWriter(server.stdin));
const documento = { testo: new TextDecoder('windows-1252').decode(fs.readFileSync(treno)), versione: 1 };
const cambia = (testo) => {
  documento.testo = testo;
  documento.versione++;
  return c.sendNotification(rpc.DidChangeTextDocumentNotification.type, {
    textDocument: { uri, version: documento.versione }, contentChanges: [{ text: testo }],
  });
};
// Offsets of a position in the text, UTF-16 as the protocol counts.
const scarto = (t, p) => {
  let i = 0;
  for (let r = 0; r < p.line; r++) i = t.indexOf('\n', i) + 1;
  return i + p.character;
};
let pagina = null;
c.onRequest('window/showDocument', (p) => {
  pagina = p.external ? p.uri : null;
  return { success: true };
});
c.onRequest(rpc.ApplyWorkspaceEditRequest.type, async ({ edit }) => {
  const [d] = edit.documentChanges;
  if (d.textDocument.uri !== uri || d.textDocument.version !== documento.versione)
    return { applied: false, failureReason: 'versione diversa' };
  let t = documento.testo;
  for (const e of [...d.edits].sort((a, b) => scarto(t, b.range.start) - scarto(t, a.range.start)))
    t = t.slice(0, scarto(t, e.range.start)) + e.newText + t.slice(scarto(t, e.range.end));
  await cambia(t);
  return { applied: true };
});
c.listen();

let stato = 1;
try {
  const init = await c.sendRequest(rpc.InitializeRequest.type, {
    processId: process.pid, rootUri: null, capabilities: { workspace: { applyEdit: true }, window: { showDocument: { support: true } } },
  });
  assert.deepEqual(init.capabilities.executeCommandProvider.commands, ['scenario.anteprima']);
  await c.sendNotification(rpc.InitializedNotification.type, {});
  await c.sendNotification(rpc.DidOpenTextDocumentNotification.type, {
    textDocument: { uri, languageId: 'scenario-treno', version: documento.versione, text: documento.testo },
  });
  const prima = documento.testo;
  const risposta = await c.sendRequest(rpc.ExecuteCommandRequest.type, { command: 'scenario.anteprima', arguments: [uri] });
  for (let i = 0; i < 100 && !pagina; i++) await new Promise((r) => setTimeout(r, 50));
  assert.equal(pagina, risposta.indirizzo);
  const figlio = spawn('node', ['editor.mjs', pagina], { stdio: ['pipe', 'pipe', 'inherit'], cwd: path.dirname(new URL(import.meta.url).pathname) });
  const fine = new Promise((r) => figlio.on('exit', r));
  const detto = readline.createInterface({ input: figlio.stdout });
  for await (const l of detto) {
    console.log(`  pagina: ${l}`);
    if (l !== 'trascinato') continue;
    const righe = prima.split('\r\n');
    righe[23] = righe[23].replace('21600', '21800');
    assert.equal(documento.testo, righe.join('\r\n'));
    await cambia(prima);
    figlio.stdin.write('annullato\n');
  }
  const uscita = await fine;
  if (uscita === 77) process.exit(77);
  assert.equal(uscita, 0);
  console.log('SUPERATO: anteprima con il client del protocollo');
  stato = 0;
} catch (e) {
  console.log(`FALLITO: ${e.message}`);
} finally {
  await c.sendRequest(rpc.ShutdownRequest.type).catch(() => {});
  await c.sendNotification(rpc.ExitNotification.type).catch(() => {});
  c.dispose();
  server.kill();
}
process.exit(stato);
