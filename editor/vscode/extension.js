'use strict';
// The editor's client of `scenario lsp`, for the line and train sources.
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');
const { trovaProgramma } = require('./programma');

const LINGUAGGI = ['scenario-linea', 'scenario-treno'];
const IMPOSTAZIONE = 'scenario.percorso';
const COMANDO = 'scenario.apriAnteprima';
const COMANDO_SERVER = 'scenario.anteprima';

let client = null;
// Starts and stops one after the other, so that a setting changed while the
// server starts never leaves two of them running.
let coda = Promise.resolve();

const NOME = process.platform === 'win32' ? 'scenario.exe' : 'scenario';
const SCEGLI = 'Scegli il programma...';
const APRI = 'Apri impostazione';

async function errore(testo) {
  const scelta = await vscode.window.showErrorMessage(testo, SCEGLI, APRI);
  if (scelta === SCEGLI) {
    await scegli();
  } else if (scelta === APRI) {
    await vscode.commands.executeCommand('workbench.action.openSettings', IMPOSTAZIONE);
  }
}

// The picked program is stored where the value in force comes from: the
// folder's settings when a trusted folder has one, the user's otherwise.
async function scegli() {
  const scelti = await vscode.window.showOpenDialog({
    canSelectFiles: true,
    canSelectFolders: false,
    canSelectMany: false,
    title: `Scegliere il programma ${NOME}`,
    openLabel: 'Usa questo programma',
    filters: process.platform === 'win32' ? { Programmi: ['exe'] } : undefined,
  });
  if (!scelti || scelti.length === 0) return;
  const programma = scelti[0].fsPath;
  const config = vscode.workspace.getConfiguration('scenario');
  const prima = config.get('percorso', '');
  const cartella = config.inspect('percorso')?.workspaceValue !== undefined;
  const { Global, Workspace } = vscode.ConfigurationTarget;
  const dove = cartella && vscode.workspace.isTrusted ? Workspace : Global;
  try {
    await config.update('percorso', programma, dove);
  } catch (e) {
    const perche = e && e.message ? e.message : String(e);
    void vscode.window.showErrorMessage(
      `L'impostazione "${IMPOSTAZIONE}" non si è potuta salvare: ${perche}.`,
    );
    return;
  }
  // A new value restarts the server through the change event; the value
  // already in force (a program made executable since) raises none.
  if (programma === prima) await inCoda(riavvia);
}

async function avvia() {
  const impostazione = vscode.workspace.getConfiguration('scenario').get('percorso', '');
  const cartelle = vscode.workspace.workspaceFolders;
  const base = cartelle && cartelle.length > 0 ? cartelle[0].uri.fsPath : undefined;
  const programma = trovaProgramma(impostazione, { base });
  if (!programma) {
    const quale = String(impostazione ?? '').trim();
    void errore(
      quale
        ? `Il programma "${quale}" indicato nell'impostazione "${IMPOSTAZIONE}" non esiste ` +
            'o non è eseguibile: il server dei sorgenti non è stato avviato.'
        : `Il programma "${NOME}" non si trova nel PATH: il server dei sorgenti non è stato ` +
            'avviato. Sceglierlo con il pulsante qui sotto o indicarne il percorso ' +
            `nell'impostazione "${IMPOSTAZIONE}".`,
    );
    return;
  }

  const eseguibile = { command: programma, args: ['lsp'], transport: TransportKind.stdio };
  const nuovo = new LanguageClient(
    'scenario',
    'Server dei sorgenti dello scenario',
    { run: eseguibile, debug: eseguibile },
    {
      // Only real files and new ones: not the copies shown by diff views.
      documentSelector: LINGUAGGI.flatMap((language) => [
        { scheme: 'file', language },
        { scheme: 'untitled', language },
      ]),
      outputChannelName: 'Scenario: server dei sorgenti',
    },
  );
  try {
    await nuovo.start();
    client = nuovo;
  } catch (e) {
    const perche = e && e.message ? e.message : String(e);
    void errore(
      `Il server dei sorgenti ("${programma}" lsp) non si è avviato: ${perche}. ` +
        `Controllare l'impostazione "${IMPOSTAZIONE}".`,
    );
  }
}

async function ferma() {
  const vecchio = client;
  client = null;
  if (vecchio) {
    try {
      await vecchio.stop();
    } catch {
      // A server that already died has nothing left to stop.
    }
  }
}

function riavvia() {
  return ferma().then(avvia);
}

function inCoda(passo) {
  coda = coda.then(passo, passo);
  return coda;
}

// The preview of the pair of the source in the editor: the server opens it in
// the browser, and the page's edits come back as edits of these documents.
// The server's own command is called with the document, which the editor's
// generic command of the same name would not pass.
async function anteprima() {
  const documento = vscode.window.activeTextEditor?.document;
  if (!documento || !LINGUAGGI.includes(documento.languageId)) {
    void vscode.window.showErrorMessage("L'anteprima si apre da un sorgente della linea o del treno.");
    return;
  }
  if (!client) {
    void vscode.window.showErrorMessage("Il server dei sorgenti non è avviato: l'anteprima non si apre.");
    return;
  }
  try {
    await client.sendRequest('workspace/executeCommand', {
      command: COMANDO_SERVER,
      arguments: [documento.uri.toString()],
    });
  } catch (e) {
    void vscode.window.showErrorMessage(`Anteprima non aperta: ${e && e.message ? e.message : e}`);
  }
}

function activate(context) {
  context.subscriptions.push(vscode.commands.registerCommand(COMANDO, anteprima));
  context.subscriptions.push(
    vscode.workspace.onDidChangeConfiguration((e) => {
      if (e.affectsConfiguration(IMPOSTAZIONE)) inCoda(riavvia);
    }),
  );
  return inCoda(avvia);
}

function deactivate() {
  return inCoda(ferma);
}

module.exports = { activate, deactivate };
