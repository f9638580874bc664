'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');

const radice = path.join(__dirname, '..');
const leggiJson = (rel) => JSON.parse(fs.readFileSync(path.join(radice, rel), 'utf8'));
const manifesto = leggiJson('package.json');
const { languages, grammars, configuration, configurationDefaults } = manifesto.contributes;

const LINGUAGGI = [
  ['scenario-linea', '*_linea.txt'],
  ['scenario-treno', '*_*-.txt'],
];

// The editor matches a pattern without a slash against the base name,
// ignoring case; `*` stands for any run of characters.
function corrisponde(modello, nome) {
  const re = modello.replace(/[.+?^${}()|[\]\\]/g, '\\$&').replace(/\*/g, '[^/]*');
  return new RegExp(`^${re}$`, 'i').test(nome);
}

for (const [id, modello] of LINGUAGGI) {
  test(`language ${id}: pattern, configuration, grammar, defaults, activation`, () => {
    const lingua = languages.find((l) => l.id === id);
    assert.ok(lingua, `no language ${id}`);
    assert.deepEqual(lingua.filenamePatterns, [modello]);
    assert.ok(lingua.aliases.length > 0);
    assert.equal(typeof leggiJson(lingua.configuration), 'object');

    const grammatica = grammars.find((g) => g.language === id);
    assert.ok(grammatica, `no grammar for ${id}`);
    assert.equal(leggiJson(grammatica.path).scopeName, grammatica.scopeName);

    assert.deepEqual(configurationDefaults[`[${id}]`], {
      'files.encoding': 'windows1252',
      'files.eol': '\r\n',
    });
    assert.ok(manifesto.activationEvents.includes(`onLanguage:${id}`));
  });
}

test('every include between grammars reaches a contributed rule', () => {
  const perScope = new Map(grammars.map((g) => [g.scopeName, leggiJson(g.path)]));
  const inclusi = [];
  const raccogli = (nodo, scope) => {
    if (Array.isArray(nodo)) nodo.forEach((n) => raccogli(n, scope));
    else if (nodo && typeof nodo === 'object') {
      if (typeof nodo.include === 'string') inclusi.push([scope, nodo.include]);
      Object.values(nodo).forEach((n) => raccogli(n, scope));
    }
  };
  perScope.forEach((g, scope) => raccogli(g, scope));
  assert.ok(inclusi.length > 0);
  for (const [da, inc] of inclusi) {
    const [scope, regola] = inc.startsWith('#') ? [da, inc.slice(1)] : inc.split('#');
    const g = perScope.get(scope);
    assert.ok(g, `${da} includes ${inc}: no grammar ${scope}`);
    if (regola) assert.ok(g.repository && g.repository[regola], `${da} includes ${inc}: no rule`);
  }
});

test("the file patterns pick the tool's file names", () => {
  const casi = [
    ['FerziaPS-Calvorano_linea.txt', 'scenario-linea'],
    ['A_LINEA.TXT', 'scenario-linea'],
    ['FerziaPS-Calvorano_24617-.txt', 'scenario-treno'],
    ['A_B-.TXT', 'scenario-treno'],
    ['FerziaPS-Calvorano_24617_note.txt', null],
    ['FerziaPS-Calvorano_24617_scheda_treno.txt', null],
    ['FerziaPS-Calvorano_24617_rallentamenti.txt', null],
    ['linea.txt', null],
    ['treno-.txt', null],
  ];
  for (const [nome, atteso] of casi) {
    const trovati = languages.filter((l) => l.filenamePatterns.some((m) => corrisponde(m, nome)));
    assert.deepEqual(trovati.map((l) => l.id), atteso ? [atteso] : [], nome);
  }
});

test('the setting for the program, kept out of untrusted folders', () => {
  const voce = configuration.properties['scenario.percorso'];
  assert.equal(voce.type, 'string');
  assert.equal(voce.default, '');
  const { restrictedConfigurations } = manifesto.capabilities.untrustedWorkspaces;
  assert.ok(restrictedConfigurations.includes('scenario.percorso'));
});

test('main exists and every dependency is pinned', () => {
  assert.ok(fs.existsSync(path.join(radice, manifesto.main)));
  const tutte = { ...manifesto.dependencies, ...manifesto.devDependencies };
  for (const [nome, versione] of Object.entries(tutte)) {
    assert.match(versione, /^\d+\.\d+\.\d+$/, `${nome} not pinned`);
  }
});

// An editor older than the client library needs would load the extension
// and fail at its first call.
test('the client library runs on the oldest editor accepted', (t) => {
  const libreria = path.join(radice, 'node_modules/vscode-languageclient/package.json');
  if (!fs.existsSync(libreria)) return t.skip('vscode-languageclient not installed: run npm ci');
  const numeri = (v) => v.replace(/^\^/, '').split('.').map(Number);
  const minimo = numeri(manifesto.engines.vscode);
  const serve = numeri(JSON.parse(fs.readFileSync(libreria, 'utf8')).engines.vscode);
  const differenza = serve.map((n, i) => n - minimo[i]).find((d) => d !== 0) ?? 0;
  assert.ok(differenza <= 0, `vscode-languageclient needs ${serve.join('.')}`);
});
