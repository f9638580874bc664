// From a one-character change to its diagnostics, through `scenario lsp` as
// an editor drives it: the built-in scenario and a generated 1000 km line.
// Each sample adds a blank at the end of the line source's second line or
// takes it away again, and times the change's write to the arrival of the
// line source's diagnostics. Prints the median, the fastest and the slowest.
//
// Usage: node bench/latenza_lsp.mjs [BUILD_DIR]   (default build)
// CAMPIONI=N samples per scenario (default 41).
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const radice = path.join(path.dirname(new URL(import.meta.url).pathname), '..');
const scenario = path.resolve(process.argv[2] ?? path.join(radice, 'build'), 'bin/scenario');
const campioni = Number(process.env.CAMPIONI ?? 41);

function server() {
  const p = spawn(scenario, ['lsp'], { stdio: ['pipe', 'pipe', 'inherit'] });
  let buf = Buffer.alloc(0);
  const attese = [];
  p.stdout.on('data', (d) => {
    buf = Buffer.concat([buf, d]);
    for (;;) {
      const fine = buf.indexOf('\r\n\r\n');
      if (fine < 0) return;
      const n = Number(/Content-Length: *(\d+)/i.exec(buf.subarray(0, fine).toString())[1]);
      if (buf.length < fine + 4 + n) return;
      const m = JSON.parse(buf.subarray(fine + 4, fine + 4 + n).toString());
      buf = buf.subarray(fine + 4 + n);
      for (const a of [...attese]) if (a.vale(m)) attese.splice(attese.indexOf(a), 1), a.risolvi(m);
    }
  });
  return {
    manda(m) {
      const b = Buffer.from(JSON.stringify({ jsonrpc: '2.0', ...m }));
      p.stdin.write(Buffer.concat([Buffer.from(`Content-Length: ${b.length}\r\n\r\n`), b]));
    },
    aspetta(vale) {
      return new Promise((risolvi) => attese.push({ vale, risolvi }));
    },
    fine() {
      p.stdin.end();
      p.kill();
    },
  };
}

async function misura(cartella, linea, treno) {
  const s = server();
  s.manda({ id: 1, method: 'initialize', params: { capabilities: {} } });
  await s.aspetta((m) => m.id === 1);
  const ul = pathToFileURL(path.join(cartella, `${linea}_linea.txt`)).href;
  const ut = pathToFileURL(path.join(cartella, `${linea}_${treno}-.txt`)).href;
  const diagnosi = (u) => (m) => m.method === 'textDocument/publishDiagnostics' && m.params.uri === u;
  for (const [u, lingua] of [[ul, 'scenario-linea'], [ut, 'scenario-treno']]) {
    const text = new TextDecoder('windows-1252').decode(fs.readFileSync(new URL(u)));
    const pronto = s.aspetta(diagnosi(u));
    s.manda({ method: 'textDocument/didOpen', params: { textDocument: { uri: u, languageId: lingua, version: 1, text } } });
    await pronto;
  }
  const tempi = [];
  const riga1 = fs.readFileSync(new URL(ul), 'latin1').split('\r\n')[1].length;
  for (let i = 0; i < campioni + 3; ++i) {
    const range = i % 2 === 0
      ? { start: { line: 1, character: riga1 }, end: { line: 1, character: riga1 } }
      : { start: { line: 1, character: riga1 }, end: { line: 1, character: riga1 + 1 } };
    const arrivo = s.aspetta(diagnosi(ul));
    const t0 = process.hrtime.bigint();
    s.manda({
      method: 'textDocument/didChange',
      params: { textDocument: { uri: ul, version: i + 2 }, contentChanges: [{ range, text: i % 2 === 0 ? ' ' : '' }] },
    });
    await arrivo;
    if (i >= 3) tempi.push(Number(process.hrtime.bigint() - t0) / 1e6);
  }
  s.fine();
  tempi.sort((a, b) => a - b);
  return { mediana: tempi[tempi.length >> 1], minimo: tempi[0], massimo: tempi[tempi.length - 1] };
}

const lavoro = fs.mkdtempSync(path.join(os.tmpdir(), 'latenza-'));
try {
  const predefinito = path.join(lavoro, 'predefinito');
  const lunga = path.join(lavoro, 'lunga');
  spawnSync(scenario, ['sources', predefinito], { stdio: 'ignore' });
  spawnSync(scenario, ['generate', lunga, 'Lunga', '1', '--km', '1000', '--seed', '7'], { stdio: 'ignore' });
  const cpu = os.cpus()[0]?.model ?? '?';
  console.log(`${cpu}, ${os.cpus().length} CPU, ${new Date().toISOString()}, ${campioni} campioni`);
  for (const [nome, cartella, linea, treno, obiettivo] of [
    ['predefinito (37 km)', predefinito, 'FerziaPS-Calvorano', '24617', 5],
    ['generato 1000 km', lunga, 'Lunga', '1', 50],
  ]) {
    const r = await misura(cartella, linea, treno);
    const f = (x) => x.toFixed(2).padStart(7);
    console.log(`  ${nome.padEnd(20)} mediana ${f(r.mediana)} ms  (da ${f(r.minimo)} a ${f(r.massimo)})  ` +
      `obiettivo <= ${obiettivo} ms: ${r.mediana <= obiettivo ? 'raggiunto' : 'MANCATO'}`);
  }
} finally {
  fs.rmSync(lavoro, { recursive: true, force: true });
}
