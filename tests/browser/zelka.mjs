// Starts the real program on a fresh copy of its program directory, opens
// Debian's chromium on it, and tears both down again.
import { execFileSync, spawn } from 'node:child_process';
import { cpSync, mkdtempSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { createInterface } from 'node:readline';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import assert from 'node:assert/strict';

const here = path.dirname(fileURLToPath(import.meta.url));
export const ZELKA_BIN = process.env.ZELKA_BIN || path.resolve(here, '../../build/zelka-app/zelka');
export const APP_TITLE = 'ZELKA2.0 アセスメント表';
export const SEARCH = '登録データの選択';

// A `prepare` for openZelka: a new store with the SQL `text` run on it.
export const withStore = (text) => (appDir) => {
  execFileSync(ZELKA_BIN, ['init', '--app-dir', appDir]);
  execFileSync('sqlite3', [path.join(appDir, 'ZELKA20.mdb')], { input: text });
};

// Starts the program on a fresh program directory and opens a tab on its start
// address, with the main menu loaded. The directory is a copy of the delivered
// data files beside the executable, without the program itself, its web files
// or any database left from a run. `prepare(appDir)` may add or change files
// before the program starts; `env` adds to the program's environment (HOME is
// where its save dialog opens). chromium.launch gives every browser a fresh
// temporary profile of its own.
export async function openZelka(prepare = () => {}, env = {}) {
  const appDir = mkdtempSync(path.join(tmpdir(), 'zelka-app-'));
  const source = path.dirname(ZELKA_BIN);
  const skip = new Set([path.basename(ZELKA_BIN), 'web', 'ZELKA20.mdb', '_ZELKA20.mdb', 'ZELKA20.lock']);
  for (const name of readdirSync(source)) {
    if (!skip.has(name)) cpSync(path.join(source, name), path.join(appDir, name), { recursive: true });
  }
  prepare(appDir);
  const child = spawn(ZELKA_BIN, ['--app-dir', appDir, '--port', '0', '--no-browser'],
    { stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env, ...env } });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const url = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`zelka printed no URL; stderr: ${stderr}`)), 20000);
    createInterface({ input: child.stdout }).on('line', (line) => {
      if (!line.startsWith('http://127.0.0.1:')) return;
      clearTimeout(timer);
      resolve(line.trim());
    });
    exited.then(({ code }) => reject(new Error(`zelka ended (${code}) before serving; stderr: ${stderr}`)));
  });
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const context = await browser.newContext({ viewport: { width: 1366, height: 768 }, locale: 'ja-JP' });
  const page = await context.newPage();
  await page.goto(url);
  const menu = page.frameLocator('#frame-main');
  await menu.getByRole('button', { name: '新規受付' }).waitFor();
  return {
    zelka: { url, origin: new URL(url).origin, appDir, exited },
    page, menu, context,
    async close() {
      await browser.close();
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
      await exited;
      rmSync(appDir, { recursive: true, force: true });
    },
  };
}

export const mainCommand = (z, caption) => z.menu.getByRole('button', { name: caption, exact: true }).click();
export const mainShown = (page) => page.locator('#view-main').waitFor({ state: 'visible' });
export const field = (page, name) => page.frameLocator('#frame-entry').locator(`[name="${name}"]`);

// Finds record `number` in the search dialog a command opened and highlights
// the first row found whose cells contain `rowText`; then 選択 (`choose`
// 'button'), a double click on the row ('dblclick'), or nothing (false).
// Returns the dialog.
export async function findRecord(page, number, { rowText = String(number), choose = 'button' } = {}) {
  const search = page.getByRole('dialog', { name: SEARCH });
  await search.getByLabel('整理番号').fill(String(number));
  await search.getByRole('button', { name: 'データ検索' }).click();
  const row = search.getByRole('row').filter({ hasText: rowText }).first();
  if (choose === 'dblclick') return row.dblclick().then(() => search);
  await row.click();
  if (choose) await search.getByRole('button', { name: '選択', exact: true }).click();
  return search;
}

// The main menu's command `caption`, and record `number` found in its search.
export async function openRecord(z, caption, number, options) {
  await mainCommand(z, caption);
  return findRecord(z.page, number, options);
}

// Types `text` into the reference date dialog a new assessment asks with, and
// waits until OK has closed it.
export async function pickReferenceDate(z, text) {
  const box = z.page.getByRole('dialog', { name: 'アセスメント基準日の設定' });
  await box.waitFor();
  await box.getByLabel('アセスメント基準日').fill(text);
  await box.getByRole('button', { name: 'OK' }).click();
  await box.waitFor({ state: 'detached' });
}

// Waits until the program holds `value` for the entry page's element `name`.
export async function keptByProgram(page, name, value) {
  await page.waitForFunction(({ name, value }) => lastState?.entryDraft?.elements
    .some((e) => e.name === name && e.value === value), { name, value }, { polling: 50 });
}

// Runs `act`, which makes a page ask to navigate, and returns the program's
// answer once the tab has it: true lets the navigation go ahead.
export async function navigationReply(page, act) {
  const before = await page.evaluate(() => Math.max(0, ...Object.keys(lastState.navigationReplies).map(Number)));
  await act();
  const reply = await page.waitForFunction((b) => {
    const id = Object.keys(lastState.navigationReplies).map(Number).find((n) => n > b);
    return id !== undefined && { proceed: lastState.navigationReplies[id] };
  }, before);
  return (await reply.jsonValue()).proceed;
}

// The bound elements of the entry page, in form order, with their values.
function boundElements(page) {
  return page.evaluate(() => {
    const form = document.getElementById('frame-entry').contentDocument.forms[0];
    return Array.from(form.elements).filter((e) => e.name.startsWith('zlk')).map((e) => ({
      name: e.name, type: e.type, className: e.className, placeholder: e.placeholder || '',
      options: e.type === 'select-one' ? Array.from(e.options).map((o) => o.value) : [],
      value: e.type === 'checkbox' ? e.checked : e.value,
    }));
  });
}

// The values of the entry page's bound elements by name.
export const readElements = async (page) => Object.fromEntries((await boundElements(page)).map((e) => [e.name, e.value]));

// A value for each kind of element, varied by its position so that a value
// landing in the wrong column shows.
function valueFor(element, index) {
  const day = String(1 + (index % 28)).padStart(2, '0');
  if (element.type === 'checkbox') return index % 2 === 0;
  if (element.type === 'select-one') {
    const codes = element.options.filter((o) => o !== '');
    return codes[index % codes.length];
  }
  if (element.type === 'textarea') return `行${index}\n二行目`;
  if (element.placeholder === 'yyyy/mm/dd hh:nn') return `2026/10/${day} 09:${String(index % 60).padStart(2, '0')}`;
  if (element.placeholder === 'hh:nn') return `${String(index % 24).padStart(2, '0')}:15`;
  if (element.className.includes('date')) return `2025/07/${day}`;
  if (element.className.includes('num')) return String(10 + (index % 80));
  return `値${index}`;
}

// Types a value into every bound element but those in `skip`; returns what
// the page should show when opened again.
export async function fillPage(page, skip = []) {
  const frame = page.frameLocator('#frame-entry');
  const expected = {};
  const elements = await boundElements(page);
  for (const [index, element] of elements.entries()) {
    if (skip.includes(element.name)) continue;
    const value = valueFor(element, index);
    const target = frame.locator(`[name="${element.name}"]`);
    if (element.type === 'checkbox') await target.setChecked(value);
    else if (element.type === 'select-one') await target.selectOption(value);
    else await target.fill(value);
    expected[element.name] = value;
  }
  return expected;
}

// Waits until the entry window shows FORM/`file`.HTM and the program has no
// page operation under way, and stays so for a moment: the page is filled.
export async function settled(page, file) {
  await page.waitForFunction((want) => {
    const doc = document.getElementById('frame-entry').contentDocument;
    const idle = lastState && !document.getElementById('view-entry').hidden
      && !lastState.requests.some((r) => !['message', 'input', 'save', 'dialog'].includes(r.kind));
    const ok = idle && doc && doc.readyState === 'complete' && doc.URL.endsWith(`/FORM/${want}.HTM`);
    const key = ok ? `${lastState.version}` : '';
    if (!ok || window.settleKey !== key) {
      window.settleKey = key;
      window.settleSince = performance.now();
      return false;
    }
    return performance.now() - window.settleSince > 150;
  }, file, { polling: 25 });
}

// Answers the program's message box showing `text` with `button`; returns its icon.
export async function answerMessage(page, text, button = 'OK') {
  const box = page.getByRole('dialog', { name: APP_TITLE });
  assert.equal(await box.locator('.message-text').innerText(), text);
  const icon = await box.getAttribute('data-icon');
  await box.getByRole('button', { name: button }).click();
  await box.waitFor({ state: 'detached' });
  return icon;
}
