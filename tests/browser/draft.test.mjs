// The tab that traded the start code keeps its session, and a pending edit on
// an entry page outlives the tab: the values typed, and those the program
// filled in, are kept by the program and put back when the tab comes back or
// reloads; storing the page or moving on drops them. Any other tab, with the
// spent code or none, is shown nothing.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { field, findRecord, keptByProgram, mainCommand, mainShown, openZelka, settled, sql } from './zelka.mjs';

const button = (page, kind) => page.frameLocator('#frame-entry').locator(`button.move.${kind}`);
const stored = (appDir, column, number) => sql(appDir, `SELECT [${column}] FROM [相談受付表] WHERE [整理番号]=${number};`);

test('the session and the values on an entry page survive a closed tab and a reload, and go once the page is stored', async () => {
  const z = await openZelka();
  const blocked = [];
  z.page.on('console', (message) => {
    if (/Content Security Policy/i.test(message.text())) blocked.push(message.text());
  });
  try {
    await mainCommand(z, '新規受付');
    await settled(z.page, 'UKETUKE1');
    await field(z.page, 'zlk_整理番号').fill('301');
    await field(z.page, 'zlk_1_1').fill('ヤマダ タロウ');
    await field(z.page, 'zlk_1_2').selectOption('2');
    await keptByProgram(z.page, 'zlk_1_1', 'ヤマダ タロウ');
    assert.deepEqual(blocked, [], 'the shell and its pages run under the content policy');

    // No other tab gets in; the first one carries on below.
    for (const [address, why] of [[z.zelka.url, /使用済み/], [`${z.zelka.origin}/`, /開始コードがありません/]]) {
      const other = await (await z.context.browser().newContext()).newPage();
      await other.goto(address);
      await other.locator('#connection').getByText(why).waitFor();
      assert.equal(await other.locator('#view-main').isHidden(), true);
      assert.equal(await other.$eval('#frame-main', (f) => f.contentDocument?.URL ?? ''), 'about:blank');
      await other.context().close();
    }
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
    await mainShown(page);
    assert.equal(stored(z.zelka.appDir, '1-1', 301), 'ヤマダ ジロウ');
    assert.equal(stored(z.zelka.appDir, '1-2', 301), '2');
    assert.equal(await page.evaluate(() => lastState.entryDraft), null);

    // Opened again: without a keystroke, what the program filled in comes
    // back after a reload too, so a save after it cannot blank the answers.
    await page.frameLocator('#frame-main').getByRole('button', { name: '受付表の修正', exact: true }).click();
    await findRecord(page, 301, { choose: 'dblclick' });
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
    await mainShown(page);
    assert.equal(stored(z.zelka.appDir, '1-1', 301), 'ヤマダ ジロウ');
    await context.close();
  } finally {
    await z.close();
  }
});
