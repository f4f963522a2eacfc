// A pending edit on an entry page outlives its tab: the values typed are kept
// by the program and put back when the tab comes back or reloads.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import { openZelka } from './zelka.mjs';

const entry = (page) => page.frameLocator('#frame-entry');

// The entry window shows `file`, loaded and with no page operation under way.
async function pageReady(page, file) {
  await page.waitForFunction((want) => {
    const doc = document.getElementById('frame-entry').contentDocument;
    return lastState && !document.getElementById('view-entry').hidden && doc && doc.readyState === 'complete'
      && doc.URL.endsWith(`/FORM/${want}.HTM`)
      && !lastState.requests.some((r) => !['message', 'input', 'save', 'dialog'].includes(r.kind));
  }, file, { polling: 25 });
}

// Waits until the program holds the typed value of an element.
async function keptByProgram(page, name, value) {
  await page.waitForFunction(({ name, value }) => {
    const draft = lastState && lastState.entryDraft;
    return !!draft && draft.elements.some((e) => e.name === name && e.value === value);
  }, { name, value }, { polling: 50 });
}

// The tab brought back after it was closed: the browser restores its
// session storage, and with it the tab's session.
async function restoredTab(z, session) {
  const context = await z.context.browser().newContext({ viewport: { width: 1366, height: 768 }, locale: 'ja-JP' });
  await context.addInitScript((value) => {
    if (window === window.top) sessionStorage.setItem('zelka-session', value);
  }, session);
  const page = await context.newPage();
  await page.goto(z.zelka.origin + '/');
  return { context, page };
}

function stored(appDir, column, number) {
  return execFileSync('sqlite3', [path.join(appDir, 'ZELKA20.mdb'),
    `SELECT [${column}] FROM [相談受付表] WHERE [整理番号]=${number};`], { encoding: 'utf8' }).trim();
}

test('values typed on an entry page survive a closed tab and a reload, and are stored on save', async () => {
  const z = await openZelka();
  try {
    await z.menu.getByRole('button', { name: '新規受付', exact: true }).click();
    await pageReady(z.page, 'UKETUKE1');
    await entry(z.page).locator('[name="zlk_整理番号"]').fill('301');
    await entry(z.page).locator('[name="zlk_1_1"]').fill('ヤマダ タロウ');
    await entry(z.page).locator('[name="zlk_1_2"]').selectOption('2');
    await keptByProgram(z.page, 'zlk_1_1', 'ヤマダ タロウ');
    const session = await z.page.evaluate(() => sessionStorage.getItem('zelka-session'));
    await z.context.close();

    // The tab brought back shows the page with what was typed.
    const tab = await restoredTab(z, session);
    await pageReady(tab.page, 'UKETUKE1');
    assert.equal(await entry(tab.page).locator('[name="zlk_整理番号"]').inputValue(), '301');
    assert.equal(await entry(tab.page).locator('[name="zlk_1_1"]').inputValue(), 'ヤマダ タロウ');
    assert.equal(await entry(tab.page).locator('[name="zlk_1_2"]').inputValue(), '2');

    // So does a reload, with the latest value.
    await entry(tab.page).locator('[name="zlk_1_1"]').fill('ヤマダ ジロウ');
    await keptByProgram(tab.page, 'zlk_1_1', 'ヤマダ ジロウ');
    await tab.page.reload();
    await pageReady(tab.page, 'UKETUKE1');
    assert.equal(await entry(tab.page).locator('[name="zlk_1_1"]').inputValue(), 'ヤマダ ジロウ');

    // Closing the page stores it; the kept values go with the window.
    await entry(tab.page).locator('button.move.close').click();
    await tab.page.locator('#view-main').waitFor({ state: 'visible' });
    assert.equal(stored(z.zelka.appDir, '1-1', 301), 'ヤマダ ジロウ');
    assert.equal(stored(z.zelka.appDir, '1-2', 301), '2');
    assert.equal(await tab.page.evaluate(() => lastState.entryDraft), null);
    await tab.context.close();
  } finally {
    await z.close();
  }
});

test('a stored page reloaded in the tab still shows its stored values', async () => {
  const z = await openZelka();
  try {
    await z.menu.getByRole('button', { name: '新規受付', exact: true }).click();
    await pageReady(z.page, 'UKETUKE1');
    await entry(z.page).locator('[name="zlk_整理番号"]').fill('302');
    await entry(z.page).locator('[name="zlk_1_1"]').fill('スズキ ハナコ');
    await entry(z.page).locator('button.move.close').click();
    await z.page.locator('#view-main').waitFor({ state: 'visible' });

    await z.menu.getByRole('button', { name: '受付表の修正', exact: true }).click();
    const search = z.page.getByRole('dialog', { name: '登録データの選択' });
    await search.getByLabel('整理番号').fill('302');
    await search.getByRole('button', { name: 'データ検索' }).click();
    await search.getByRole('grid').locator('tbody tr').first().dblclick();
    await pageReady(z.page, 'UKETUKE1');
    assert.equal(await entry(z.page).locator('[name="zlk_1_1"]').inputValue(), 'スズキ ハナコ');

    // Without a keystroke: what the program filled in comes back too, so a
    // save after the reload cannot blank the stored answers.
    await keptByProgram(z.page, 'zlk_1_1', 'スズキ ハナコ');
    await z.page.reload();
    await pageReady(z.page, 'UKETUKE1');
    assert.equal(await entry(z.page).locator('[name="zlk_1_1"]').inputValue(), 'スズキ ハナコ');

    // The next page leaves nothing of the first one behind.
    await entry(z.page).locator('button.move.next').click();
    await pageReady(z.page, 'UKETUKE2');
    const draftPage = await z.page.evaluate(() => lastState.entryDraft && lastState.entryDraft.page);
    assert.ok(draftPage === null || draftPage === 'FORM/UKETUKE2.HTM', draftPage);
    await entry(z.page).locator('button.move.close').click();
    await z.page.locator('#view-main').waitFor({ state: 'visible' });
    assert.equal(stored(z.zelka.appDir, '1-1', 302), 'スズキ ハナコ');
  } finally {
    await z.close();
  }
});

test('a draft of a page the view no longer shows is refused', async () => {
  const z = await openZelka();
  try {
    const send = (body) => z.page.evaluate(async (b) => (await fetch('/api/event', {
      method: 'POST', headers: withSession({ 'Content-Type': 'application/json' }), body: JSON.stringify(b),
    })).status, body);
    const elements = [{ name: 'zlk_1_1', type: 'text', value: 'x', checked: false }];
    assert.equal(await send({ type: 'draft', view: 'entry', page: 'FORM/UKETUKE1.HTM', elements }), 409);
    assert.equal(await send({ type: 'draft', view: 'main', page: 'MainMenu/MainMenuFr.htm', elements: [{ name: 1 }] }), 409);
    assert.equal(await send({ type: 'draft', view: 'main', page: 'MainMenu/MainMenuFr.htm', elements }), 200);
  } finally {
    await z.close();
  }
});
