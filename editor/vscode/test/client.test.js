'use strict';
// The client's behaviour with the editor and the client library replaced by
// recorders: which program it starts, for which documents, and what the
// user is told when it cannot.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const Module = require('node:module');

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'client-'));
const programma = path.join(tmp, 'scenario');
fs.writeFileSync(programma, '', { mode: 0o755 });
const pathVero = process.env.PATH;
test.after(() => {
  process.env.PATH = pathVero;
  fs.rmSync(tmp, { recursive: true, force: true });
});

// One fresh extension per test, bound to its own fake editor. `risposta` is
// the button pressed on a message, `scelta` what the file picker returns,
// `cartella` a value in the folder's settings.
function carica(opzioni = {}) {
  const { percorso = '', avvioFallito = null, risposta, scelta, cartella, fidata = true } = opzioni;
  const s = { percorso, messaggi: [], client: [], ascoltatori: [], finestre: [], salvate: [], comandi: {}, editore: undefined };
  const vscode = {
    ConfigurationTarget: { Global: 1, Workspace: 2, WorkspaceFolder: 3 },
    workspace: {
      workspaceFolders: undefined,
      isTrusted: fidata,
      getConfiguration: (sezione) => ({
        get: (chiave, predefinito) =>
          sezione === 'scenario' && chiave === 'percorso' ? s.percorso : predefinito,
        inspect: () => ({ workspaceValue: cartella }),
        // As the editor does: a change event only for a value that changed.
        update: async (chiave, valore, dove) => {
          s.salvate.push({ chiave: `${sezione}.${chiave}`, valore, dove });
          if (valore !== s.percorso) s.cambia(valore);
        },
      }),
      onDidChangeConfiguration: (f) => {
        s.ascoltatori.push(f);
        return { dispose() {} };
      },
    },
    window: {
      showErrorMessage: async (testo, ...bottoni) => {
        s.messaggi.push({ testo, bottoni });
        return s.messaggi.length === 1 ? risposta : undefined;
      },
      get activeTextEditor() {
        return s.editore;
      },
      showOpenDialog: async (opzioni) => {
        s.finestre.push(opzioni);
        return typeof scelta === 'function' ? scelta() : scelta;
      },
    },
    commands: {
      executeCommand: async () => {},
      registerCommand: (id, f) => {
        s.comandi[id] = f;
        return { dispose() {} };
      },
    },
  };
  class LanguageClient {
    constructor(id, nome, server, opzioni) {
      Object.assign(this, { id, nome, server, opzioni, avviato: false, fermato: false });
      s.client.push(this);
    }
    async start() {
      if (avvioFallito) throw new Error(avvioFallito);
      this.avviato = true;
    }
    async stop() {
      this.fermato = true;
    }
    async sendRequest(metodo, parametri) {
      s.richieste = [...(s.richieste ?? []), { metodo, parametri }];
    }
  }
  const finti = {
    vscode,
    'vscode-languageclient/node': { LanguageClient, TransportKind: { stdio: 0 } },
  };
  const vero = Module._load;
  Module._load = function (richiesta, ...resto) {
    if (Object.hasOwn(finti, richiesta)) return finti[richiesta];
    return vero.call(this, richiesta, ...resto);
  };
  try {
    const file = require.resolve('../extension.js');
    delete require.cache[file];
    s.estensione = require(file);
  } finally {
    Module._load = vero;
  }
  s.contesto = { subscriptions: [] };
  s.cambia = (nuovo) => {
    s.percorso = nuovo;
    s.ascoltatori.forEach((f) => f({ affectsConfiguration: (k) => k === 'scenario.percorso' }));
  };
  return s;
}

function unSoloErrore(s, ...parole) {
  assert.equal(s.messaggi.length, 1);
  const { testo } = s.messaggi[0];
  for (const p of ['scenario.percorso', ...parole]) assert.ok(testo.includes(p), testo);
}

test('starts `scenario lsp` from PATH over stdio for both languages', async () => {
  process.env.PATH = `${tmp}${path.delimiter}${pathVero}`;
  const s = carica();
  await s.estensione.activate(s.contesto);
  assert.equal(s.client.length, 1);
  const [c] = s.client;
  assert.ok(c.avviato);
  for (const modo of [c.server.run, c.server.debug]) {
    assert.deepEqual(modo, { command: programma, args: ['lsp'], transport: 0 });
  }
  assert.deepEqual([...new Set(c.opzioni.documentSelector.map((d) => d.language))].sort(), [
    'scenario-linea',
    'scenario-treno',
  ]);
  assert.ok(c.opzioni.outputChannelName);
  assert.deepEqual(s.messaggi, []);
  await s.estensione.deactivate();
  assert.ok(c.fermato);
});

test('the setting names the program', async () => {
  process.env.PATH = '';
  const s = carica({ percorso: programma });
  await s.estensione.activate(s.contesto);
  assert.equal(s.client[0].server.run.command, programma);
  assert.deepEqual(s.messaggi, []);
});

test('no program on PATH: no client, an error naming the setting', async () => {
  process.env.PATH = path.join(tmp, 'vuota');
  const s = carica();
  await s.estensione.activate(s.contesto);
  assert.equal(s.client.length, 0);
  unSoloErrore(s, 'PATH');
});

test('a setting naming a missing program: an error quoting it', async () => {
  const manca = path.join(tmp, 'manca');
  const s = carica({ percorso: manca });
  await s.estensione.activate(s.contesto);
  assert.equal(s.client.length, 0);
  unSoloErrore(s, manca);
});

test('a server that fails to start: an error naming the setting', async () => {
  const s = carica({ percorso: programma, avvioFallito: 'spawn EACCES' });
  await s.estensione.activate(s.contesto);
  unSoloErrore(s, 'spawn EACCES');
});

test('changing the setting starts the server it names', async () => {
  const s = carica({ percorso: path.join(tmp, 'manca') });
  await s.estensione.activate(s.contesto);
  assert.equal(s.client.length, 0);
  s.cambia(programma);
  s.cambia(programma);
  // Stopping waits for the restarts queued before it.
  await s.estensione.deactivate();
  assert.equal(s.client.length, 2);
  assert.ok(s.client.every((c) => c.avviato && c.fermato));
  assert.equal(s.client[1].server.run.command, programma);
});

// The message's answer runs on promises alone: one turn of the event loop
// sees it through, then stopping waits for the restarts it queued.
async function risposto(s) {
  await new Promise(setImmediate);
  await s.estensione.deactivate();
}

test('no program: the button picks one, stores it and starts the server once', async (t) => {
  const fermo = path.join(tmp, 'fermo');
  fs.writeFileSync(fermo, '', { mode: 0o644 });
  const [Global, Workspace] = [1, 2];
  const casi = [
    { nome: 'none set, nothing on PATH', dove: Global },
    { nome: 'a trusted folder names one', percorso: 'manca', cartella: 'manca', dove: Workspace },
    { nome: 'an untrusted folder names one', cartella: 'manca', fidata: false, dove: Global },
    // Made executable while the message was shown: no change event to restart it.
    {
      nome: 'the setting names it, not executable',
      percorso: fermo,
      prima: () => fs.chmodSync(fermo, 0o755),
      dove: Global,
      scelto: fermo,
    },
  ];
  process.env.PATH = path.join(tmp, 'vuota');
  for (const caso of casi) {
    await t.test(caso.nome, async () => {
      const scelto = caso.scelto ?? programma;
      const scelta = () => {
        caso.prima?.();
        return [{ fsPath: scelto }];
      };
      const s = carica({ ...caso, risposta: 'Scegli il programma...', scelta });
      await s.estensione.activate(s.contesto);
      await risposto(s);
      assert.ok(s.messaggi[0].bottoni.includes('Scegli il programma...'));
      assert.equal(s.messaggi.length, 1, s.messaggi.map((m) => m.testo).join('\n'));
      const [finestra] = s.finestre;
      assert.ok(finestra.canSelectFiles && !finestra.canSelectFolders && !finestra.canSelectMany);
      const salvata = { chiave: 'scenario.percorso', valore: scelto, dove: caso.dove };
      assert.deepEqual(s.salvate, [salvata]);
      assert.equal(s.client.length, 1);
      assert.equal(s.client[0].server.run.command, scelto);
      assert.ok(s.client[0].avviato);
    });
  }
});

test('a server that fails to start offers the picker; cancelling it changes nothing', async () => {
  const risposta = 'Scegli il programma...';
  const s = carica({ percorso: programma, avvioFallito: 'spawn EACCES', risposta });
  await s.estensione.activate(s.contesto);
  await risposto(s);
  assert.equal(s.finestre.length, 1);
  assert.deepEqual(s.salvate, []);
  assert.equal(s.client.length, 1);
});

test("the preview command asks the server's command for the document in the editor", async () => {
  const s = carica({ percorso: programma });
  await s.estensione.activate(s.contesto);
  const uri = 'file:///c%3A/linee/FerziaPS-Calvorano_24617-.txt';
  s.editore = { document: { languageId: 'scenario-treno', uri: { toString: () => uri } } };
  await s.comandi['scenario.apriAnteprima']();
  assert.deepEqual(s.richieste, [
    { metodo: 'workspace/executeCommand', parametri: { command: 'scenario.anteprima', arguments: [uri] } },
  ]);
  s.editore = { document: { languageId: 'plaintext', uri: { toString: () => uri } } };
  await s.comandi['scenario.apriAnteprima']();
  assert.equal(s.richieste.length, 1);
  assert.equal(s.messaggi.length, 1);
});
