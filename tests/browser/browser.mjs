// Debian's Chromium, headless, in a fresh profile that is removed on close.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

export const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

export async function avviaBrowser() {
  const profilo = fs.mkdtempSync(path.join(os.tmpdir(), 'anteprima-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      `--user-data-dir=${profilo}`,
    ],
  });
  const chiudi = browser.close.bind(browser);
  browser.close = async () => {
    try {
      await chiudi();
    } finally {
      fs.rmSync(profilo, { recursive: true, force: true });
    }
  };
  return browser;
}

export const PAGINA = new URL('../../src/tool/disegno/pagina.html', import.meta.url).pathname;
export const FIXTURE_37 = new URL('./fixture/linea-37km.json', import.meta.url).pathname;
