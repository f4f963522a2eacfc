// The blank forms window from the main menu: it opens beside the main menu,
// its buttons open the PDFs in new tabs while it stays, and a missing file is
// named.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { rmSync } from 'node:fs';
import path from 'node:path';
import { APP_TITLE, openZelka } from './zelka.mjs';

test('白紙様式 opens 空表出力 beside the main menu; its buttons open PDF tabs or name a missing file', async () => {
  const z = await openZelka((appDir) => rmSync(path.join(appDir, 'PDF', 'SyuKeikaku.pdf'), { force: true }));
  try {
    await z.menu.getByRole('button', { name: /白紙様式/ }).click();
    const win = z.page.getByRole('dialog', { name: '空表出力' });
    await win.waitFor();
    assert.match(await win.innerText(), /PDFを表示できるソフトウェア/);
    // The focus starts on the first button, so the keyboard alone is enough.
    assert.equal(await z.page.evaluate(() => document.activeElement.textContent), '相談受付表');

    // Each press opens the form in a new tab of its own, and the window stays.
    for (let round = 0; round < 2; round++) {
      const [tab] = await Promise.all([
        z.context.waitForEvent('page'),
        win.getByRole('button', { name: 'CAP選定表' }).click(),
      ]);
      await tab.waitForURL(/\/PDF\/CapSelect\.pdf$/, { waitUntil: 'commit' }).catch(() => {});
      assert.match(tab.url(), /\/PDF\/CapSelect\.pdf$/);
      await tab.close();
      assert.ok(await win.isVisible());
    }
    const served = await z.page.evaluate(async () => {
      const r = await fetch(pageUrl('PDF/CapSelect.pdf'));
      return [r.status, r.headers.get('content-type')];
    });
    assert.deepEqual(served, [200, 'application/pdf']);

    // A missing file is named; the window stays.
    await win.getByRole('button', { name: '週間サービス計画表' }).click();
    const box = z.page.getByRole('dialog', { name: APP_TITLE });
    assert.match(await box.locator('.message-text').innerText(), /空表のファイルが見つかりません。\n.*\/PDF\/SyuKeikaku\.pdf$/);
    await box.getByRole('button', { name: 'OK' }).click();
    await box.waitFor({ state: 'detached' });
    assert.ok(await win.isVisible());
    await z.page.waitForFunction(() => document.activeElement.textContent === '週間サービス計画表');

    // The main menu stays usable beside the window.
    await z.menu.getByRole('button', { name: '終了', exact: true }).click();
    const quit = z.page.getByRole('dialog', { name: APP_TITLE });
    assert.equal(await quit.locator('.message-text').innerText(), '終了しますか？');
    await quit.getByRole('button', { name: 'いいえ' }).click();
    await quit.waitFor({ state: 'detached' });

    // Escape closes it.
    await win.getByRole('button', { name: '相談受付表' }).focus();
    await z.page.keyboard.press('Escape');
    await win.waitFor({ state: 'detached' });
  } finally {
    await z.close();
  }
});
