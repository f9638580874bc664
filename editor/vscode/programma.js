'use strict';
// Finds the `scenario` program before the client starts it, so that a
// missing one gets a message naming the setting instead of the client
// library's generic failure. Free of the editor's API, to be tested in node.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

function eseguibile(file, piattaforma) {
  try {
    if (!fs.statSync(file).isFile()) return false;
    // Windows has no execute bit.
    if (piattaforma !== 'win32') fs.accessSync(file, fs.constants.X_OK);
    return true;
  } catch {
    return false;
  }
}

// The program to run for the setting's value, or null when there is none.
// An empty value means `scenario` (`scenario.exe` on Windows) on PATH; a
// bare name is looked up on PATH too; a path is taken as it is, `~/` being
// the home folder and a relative one starting at `base`.
function trovaProgramma(impostazione, opzioni = {}) {
  const { env = process.env, piattaforma = process.platform, base, casa = os.homedir() } = opzioni;
  let nome = String(impostazione ?? '').trim();
  if (!nome) nome = 'scenario';
  if (piattaforma === 'win32' && !path.extname(nome)) nome += '.exe';

  const separatori = piattaforma === 'win32' ? /[\\/]/ : /\//;
  if (separatori.test(nome)) {
    if (/^~[\\/]/.test(nome)) nome = path.join(casa, nome.slice(2));
    else if (!path.isAbsolute(nome) && base) nome = path.resolve(base, nome);
    return eseguibile(nome, piattaforma) ? nome : null;
  }

  // Windows spells the variable as it likes (Path, PATH).
  const chiave = Object.keys(env).find((k) => k.toUpperCase() === 'PATH');
  const cartelle = (chiave ? env[chiave] : '').split(piattaforma === 'win32' ? ';' : ':');
  for (const cartella of cartelle) {
    if (!cartella) continue;
    const file = path.join(cartella, nome);
    if (eseguibile(file, piattaforma)) return file;
  }
  return null;
}

module.exports = { trovaProgramma };
