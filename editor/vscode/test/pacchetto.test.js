'use strict';
// `npm run pacchetto` as a developer runs it, then what the .vsix holds and
// whether the extension in it loads with nothing but what it packs.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { apriZip } = require('./zip');

const radice = path.join(__dirname, '..');
const manifesto = require('../package.json');
const vsix = path.join(radice, `${manifesto.name}-${manifesto.version}.vsix`);
const manca = fs.existsSync(path.join(radice, 'node_modules/@vscode/vsce/package.json'))
  ? false
  : '@vscode/vsce not installed: run npm ci';

function npm(...argomenti) {
  const opzioni = { cwd: radice, encoding: 'utf8', stdio: 'pipe', timeout: 300_000 };
  // Under `npm test` the same npm; run by hand, the one on PATH.
  if (process.env.npm_execpath) {
    return spawnSync(process.execPath, [process.env.npm_execpath, ...argomenti], opzioni);
  }
  return spawnSync('npm', argomenti, { ...opzioni, shell: process.platform === 'win32' });
}

// Run in a child node inside the unpacked extension/ folder: the editor's
// module is the only one stood in for.
const PROVA = `
  const Module = require('node:module');
  const vero = Module._load;
  const vscode = new Proxy({}, { get: (o, k) => (k in o ? o[k] : (o[k] = class {})) });
  Module._load = function (r, ...a) { return r === 'vscode' ? vscode : vero.call(this, r, ...a); };
  const e = require(require('node:path').resolve(process.argv[1]));
  const libreria = require.resolve('vscode-languageclient/node', { paths: [process.cwd()] });
  const { LanguageClient } = require(libreria);
  if (typeof e.activate !== 'function') throw new Error('no activate');
  if (typeof e.deactivate !== 'function') throw new Error('no deactivate');
  if (typeof LanguageClient !== 'function') throw new Error('no LanguageClient');
`;

test('npm run pacchetto: a .vsix of the extension and its runtime', { skip: manca }, (t) => {
  fs.rmSync(vsix, { force: true });
  const r = npm('run', 'pacchetto');
  if (r.error && r.error.code === 'ENOENT') return t.skip('npm not found');
  assert.equal(r.status, 0, `${r.error || ''}\n${r.stdout}\n${r.stderr}`);
  assert.ok(fs.existsSync(vsix), `${vsix} not written`);

  const zip = apriZip(vsix);
  const propri = zip.nomi.filter((n) => !n.startsWith('extension/node_modules/')).sort();
  const { languages, grammars } = manifesto.contributes;
  const attesi = [
    manifesto.main,
    'programma.js',
    'package.json',
    'readme.md',
    ...languages.map((l) => l.configuration),
    ...grammars.map((g) => g.path),
  ].map((p) => path.posix.join('extension', p));
  attesi.push('[Content_Types].xml', 'extension.vsixmanifest');
  assert.deepEqual(propri, [...new Set(attesi)].sort());

  for (const d of Object.keys(manifesto.devDependencies)) {
    assert.ok(!zip.nomi.some((n) => n.startsWith(`extension/node_modules/${d}/`)), `${d} packed`);
  }
  const impacchettato = JSON.parse(zip.leggi('extension/package.json'));
  assert.deepEqual(impacchettato.contributes, manifesto.contributes);

  const cartella = fs.mkdtempSync(path.join(os.tmpdir(), 'vsix-'));
  t.after(() => fs.rmSync(cartella, { recursive: true, force: true }));
  for (const n of zip.nomi.filter((n) => n.startsWith('extension/') && !n.endsWith('/'))) {
    fs.mkdirSync(path.join(cartella, path.dirname(n)), { recursive: true });
    fs.writeFileSync(path.join(cartella, n), zip.leggi(n));
  }
  const figlio = spawnSync(process.execPath, ['-e', PROVA, manifesto.main], {
    cwd: path.join(cartella, 'extension'),
    encoding: 'utf8',
    env: { ...process.env, NODE_PATH: '' },
  });
  assert.equal(figlio.status, 0, figlio.stderr);
});
