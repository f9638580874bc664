'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { trovaProgramma } = require('../programma');

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'programma-'));
test.after(() => fs.rmSync(tmp, { recursive: true, force: true }));

function file(rel, modo) {
  const p = path.join(tmp, rel);
  fs.mkdirSync(path.dirname(p), { recursive: true });
  fs.writeFileSync(p, '');
  fs.chmodSync(p, modo);
  return p;
}
const vuota = path.join(tmp, 'vuota');
fs.mkdirSync(vuota);
const buono = file('bin/scenario', 0o755);
const altro = file('bin/altro', 0o755);
const fermo = file('fermo/scenario', 0o644);
const win = file('win/scenario.exe', 0o644);
fs.mkdirSync(path.join(tmp, 'cartella/scenario'), { recursive: true });

const posix = process.platform !== 'win32';
const PATH = (...d) => ({ PATH: d.join(':') });

// [what, setting, options, expected]
const CASI = [
  ['empty setting: scenario on PATH', '', { env: PATH(vuota, path.dirname(buono)) }, buono],
  ['blanks count as empty', '  ', { env: PATH(path.dirname(buono)) }, buono],
  ['not on PATH', '', { env: PATH(vuota) }, null],
  ['no PATH at all', '', { env: {} }, null],
  ['a bare name is looked up on PATH', 'altro', { env: PATH(path.dirname(altro)) }, altro],
  ['a directory is no program', '', { env: PATH(path.join(tmp, 'cartella')) }, null],
  ['an absolute path', buono, { env: {} }, buono],
  ['an absolute path that is missing', path.join(tmp, 'manca/scenario'), { env: {} }, null],
  ['a relative path starts at the folder', 'bin/scenario', { env: {}, base: tmp }, buono],
  ['~/ is the home folder', '~/bin/scenario', { env: {}, casa: tmp }, buono],
  [
    'Windows: scenario.exe on Path, no execute bit',
    '',
    { env: { Path: `${vuota};${path.dirname(win)}` }, piattaforma: 'win32' },
    win,
  ],
];
if (posix) {
  CASI.push(
    [
      'a file without the execute bit is skipped',
      '',
      { env: PATH(path.dirname(fermo), path.dirname(buono)) },
      buono,
    ],
    ['an absolute path without the execute bit', fermo, { env: {} }, null],
  );
}

for (const [nome, impostazione, opzioni, atteso] of CASI) {
  test(nome, () => {
    assert.equal(trovaProgramma(impostazione, { piattaforma: 'linux', ...opzioni }), atteso);
  });
}
