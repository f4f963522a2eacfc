// A pending edit on an entry page outlives its tab: the values typed, and
// those the program filled in, are kept by the program and put back when the
// tab comes back or reloads; storing the page or moving on drops them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import { openZelka, settled } from './zelka.mjs';

const field = (page, name) => page.frameLocator('#frame-entry').locator(`[name="${name}"]`);
const button = (page, kind) => page.frameLocator('#frame-entry').locator(`button.move.${kind}`);

// Waits until the program holds the value of an element.
async function keptByProgram(page, name, value) {
  await page.waitForFunction(({ name, value }) => lastState?.entryDraft?.elements
    .some((e) => e.name === name && e.value === value), { name, value }, { polling: 50 });
}

function stored(appDir, column, number) {
  return execFileSync('sqlite3', [path.join(appDir, 'ZELKA20.mdb'),
    `SELECT [${column}] FROM [相談受付表] WHERE [整理番号]=${number};`], { encoding: 'utf8' }).trim();
}

test('values on an entry page survive a closed tab and a reload, and go once the page is stored', async () => {
  const z = await openZelka();
  try {
    await z.menu.getByRole('button', { name: '新規受付', exact: true }).click();
    await settled(z.page, 'UKETUKE1');
    await field(z.page, 'zlk_整理番号').fill('301');
    await field(z.page, 'zlk_1_1').fill('ヤマダ タロウ');
    await field(z.page, 'zlk_1_2').selectOption('2');
    await keptByProgram(z.page, 'zlk_1_1', 'ヤマダ タロウ');
    const session = await z.page.evaluate(() => sessionStorage.getItem('zelka-session'));
    await z.context.close();

    // The tab brought back (the browser restores its session storage, and
    // with it the tab's session) shows the page with what was typed; so does
    // a reload, with the latest value.
    const context = await z.context.browser().newContext({ viewport: { width: 1366, height: 768 }, locale: 'ja-JP' });
    await context.addInitScript((value) => {
      if (window === window.top) sessionStorage.setItem('zelka-session', value);
    }, session);
    const page = await context.newPage();
    await page.goto(`${z.zelka.origin}/`);
    await settled(page, 'UKETUKE1');
    assert.equal(await field(page, 'zlk_整理番号').inputValue(), '301');
    assert.equal(await field(page, 'zlk_1_2').inputValue(), '2');
    await field(page, 'zlk_1_1').fill('ヤマダ ジロウ');
    await keptByProgram(page, 'zlk_1_1', 'ヤマダ ジロウ');
    await page.reload();
    await settled(page, 'UKETUKE1');
    assert.equal(await field(page, 'zlk_1_1').inputValue(), 'ヤマダ ジロウ');

    // Closing the page stores it; the kept values go with the window.
    await button(page, 'close').click();
    await page.locator('#view-main').waitFor({ state: 'visible' });
    assert.equal(stored(z.zelka.appDir, '1-1', 301), 'ヤマダ ジロウ');
    assert.equal(stored(z.zelka.appDir, '1-2', 301), '2');
    assert.equal(await page.evaluate(() => lastState.entryDraft), null);

    // Opened again: without a keystroke, what the program filled in comes
    // back after a reload too, so a save after it cannot blank the answers.
    const menu = page.frameLocator('#frame-main');
    await menu.getByRole('button', { name: '受付表の修正', exact: true }).click();
    const search = page.getByRole('dialog', { name: '登録データの選択' });
    await search.getByLabel('整理番号').fill('301');
    await search.getByRole('button', { name: 'データ検索' }).click();
    await search.getByRole('grid').locator('tbody tr').first().dblclick();
    await settled(page, 'UKETUKE1');
    await keptByProgram(page, 'zlk_1_1', 'ヤマダ ジロウ');
    await page.reload();
    await settled(page, 'UKETUKE1');
    assert.equal(await field(page, 'zlk_1_1').inputValue(), 'ヤマダ ジロウ');

    // The next page leaves nothing of the first one behind.
    await button(page, 'next').click();
    await settled(page, 'UKETUKE2');
    const draftPage = await page.evaluate(() => lastState.entryDraft && lastState.entryDraft.page);
    assert.ok(draftPage === null || draftPage === 'FORM/UKETUKE2.HTM', draftPage);
    await button(page, 'close').click();
    await page.locator('#view-main').waitFor({ state: 'visible' });
    assert.equal(stored(z.zelka.appDir, '1-1', 301), 'ヤマダ ジロウ');
    await context.close();
  } finally {
    await z.close();
  }
});
