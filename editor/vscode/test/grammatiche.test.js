'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');

const radice = path.join(__dirname, '..');
const { grammars } = require('../package.json').contributes;

function carica(modulo) {
  try {
    return require(modulo);
  } catch {
    return null;
  }
}
const vsctm = carica('vscode-textmate');
const onig = carica('vscode-oniguruma');
const manca = vsctm && onig ? false : 'vscode-textmate or vscode-oniguruma missing: run npm ci';

// The grammars as the editor loads them: by scope, from the manifest's paths.
let registro = null;
async function grammatica(lingua) {
  if (!registro) {
    const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
    await onig.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
    registro = new vsctm.Registry({
      onigLib: Promise.resolve({
        createOnigScanner: (sorgenti) => new onig.OnigScanner(sorgenti),
        createOnigString: (s) => new onig.OnigString(s),
      }),
      loadGrammar: async (scope) => {
        const g = grammars.find((x) => x.scopeName === scope);
        if (!g) return null;
        const file = path.join(radice, g.path);
        return vsctm.parseRawGrammar(fs.readFileSync(file, 'utf8'), file);
      },
    });
  }
  const scope = grammars.find((g) => g.language === `scenario-${lingua}`).scopeName;
  return registro.loadGrammar(scope);
}

const TIPI = [
  ['entity.name.section.', 'sezione'],
  ['support.type.property-name.', 'chiave'],
  ['constant.numeric.integer.', 'numero'],
  ['string.quoted.double.', 'quotato'],
  ['string.unquoted.', 'testo'],
  ['punctuation.separator.comma.', 'virgola'],
];

// The line as [kind, text] pairs: adjacent tokens of one kind merged (a
// section's brackets, a quote's marks), commas and bare blanks dropped, and
// any other text kept as 'nessuno' so that a token left unscoped shows.
function analizza(g, riga) {
  const { tokens } = g.tokenizeLine(riga, vsctm.INITIAL);
  const pezzi = [];
  for (const t of tokens) {
    const testo = riga.slice(t.startIndex, t.endIndex);
    const tipo = TIPI.find(([p]) => t.scopes.some((s) => s.startsWith(p)));
    const nome = tipo ? tipo[1] : testo.trim() ? 'nessuno' : null;
    const ultimo = pezzi[pezzi.length - 1];
    if (ultimo && ultimo[0] === nome) ultimo[1] += testo;
    else pezzi.push([nome, testo]);
  }
  return pezzi
    .filter(([n]) => n && n !== 'virgola')
    .map(([n, t]) => [n, n === 'nessuno' ? t.trim() : t]);
}

const numeri = (s) => s.split(' ').map((n) => ['numero', n]);

const CASI = [
  ['linea', '[generale]', [['sezione', '[generale]']]],
  ['linea', '[curve]', [['sezione', '[curve]']]],
  ['linea', 'lunghezza percorso,    37000', [['chiave', 'lunghezza percorso'], ...numeri('37000')]],
  [
    'linea',
    'progressiva chilometrica due,    5700,    -1900,    0',
    [['chiave', 'progressiva chilometrica due'], ...numeri('5700 -1900 0')],
  ],
  ['linea', 'curvas6,  550,  350', [['chiave', 'curvas6'], ...numeri('550 350')]],
  ['linea', 'pendenza,  500,   -7', [['chiave', 'pendenza'], ...numeri('500 -7')]],
  [
    'linea',
    'cartello_indicatore,  16900,   (1000 mt)(VESSIRE)',
    [['chiave', 'cartello_indicatore'], ...numeri('16900'), ['testo', '(1000 mt)(VESSIRE)']],
  ],
  [
    'linea',
    'cartello_indicatore,  17900,   (P.L.Km)(15+950)',
    [['chiave', 'cartello_indicatore'], ...numeri('17900'), ['testo', '(P.L.Km)(15+950)']],
  ],
  [
    'linea',
    'indicatori_vmax,  7900,  140,  145,  150,  0,  ,  ,  ,  0',
    [['chiave', 'indicatori_vmax'], ...numeri('7900 140 145 150 0 0')],
  ],
  [
    'linea',
    'cartello_indicatore, 100, "a, b"',
    [['chiave', 'cartello_indicatore'], ...numeri('100'), ['quotato', '"a, b"']],
  ],
  ['treno', '[stazioni]', [['sezione', '[stazioni]']]],
  ['treno', '[fine]', [['sezione', '[fine]']]],
  [
    'treno',
    'stazione,       0,  8,  500,  1, 1, 0,  4,1,0,  2,1,1,    1,  14,25, 0, FERZIA PORTA SOLVENTRA',
    [
      ['chiave', 'stazione'],
      ...numeri('0 8 500 1 1 0 4 1 0 2 1 1 1 14 25 0'),
      ['testo', 'FERZIA PORTA SOLVENTRA'],
    ],
  ],
  [
    'treno',
    'segnale,     850,   2, 5, 6,  1, 0,    0,  0,0,0, 0',
    [['chiave', 'segnale'], ...numeri('850 2 5 6 1 0 0 0 0 0 0')],
  ],
  [
    'treno',
    'orologio,    14              24            50 ',
    [['chiave', 'orologio'], ...numeri('14 24 50')],
  ],
  [
    'treno',
    'cartello_indicatore, 100, "a, b"',
    [['chiave', 'cartello_indicatore'], ...numeri('100'), ['quotato', '"a, b"']],
  ],
  // Digits inside a word are no number, but a name keeps its own.
  ['treno', 'velocita,   0,    3O', [['chiave', 'velocita'], ...numeri('0'), ['nessuno', '3O']]],
  [
    'treno',
    'stazione,   0, 8, BIVIO 2',
    [['chiave', 'stazione'], ...numeri('0 8'), ['testo', 'BIVIO 2']],
  ],
];

for (const [lingua, riga, atteso] of CASI) {
  test(`${lingua}: ${riga}`, { skip: manca }, async () => {
    assert.deepEqual(analizza(await grammatica(lingua), riga), atteso);
  });
}
