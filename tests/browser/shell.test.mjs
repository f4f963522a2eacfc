// The shell page against the real program: the main menu, page commands, the
// version box and quitting. (The session is walked in draft.test.mjs; what the
// server refuses to calls and pages is counted in the C++ web tests.)
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { APP_TITLE, mainCommand, openZelka, setMainStatus } from './zelka.mjs';

test('the main window: its menu, a page command twice and after a reload, the version box and quit', async () => {
  const z = await openZelka();
  try {
    assert.equal(await z.page.title(), APP_TITLE);
    await z.page.getByRole('heading', { name: APP_TITLE }).waitFor();
    for (const name of ['新規受付', '受付表の修正', '新規アセスメント', 'アセスメントの修正', 'CAP検討用紙の作成',
      'CAP一覧の印刷', '相談受付表の印刷', 'アセスメント表の印刷', '白紙様式', '終了']) {
      assert.ok(await z.menu.getByRole('button', { name, exact: true }).isVisible(), name);
    }
    assert.equal(z.page.url(), `${z.zelka.origin}/`, 'the start code leaves the address bar');

    // An unknown command shows what the page issued; the same command works
    // again, and a reload shows the open box again.
    const box = z.page.getByRole('dialog', { name: APP_TITLE });
    for (const reload of [false, true]) {
      await setMainStatus(z.page, '?Hello_World');
      await box.waitFor();
      if (reload) await z.page.reload();
      assert.equal(await box.locator('.message-text').innerText(), '次のコマンドが発行されました\nHello_World');
      await box.getByRole('button', { name: 'OK' }).click();
      await box.waitFor({ state: 'detached' });
    }

    await z.page.getByRole('button', { name: 'バージョン情報' }).click();
    const version = z.page.getByRole('dialog', { name: 'ZELKA 2.0 バージョン情報' });
    assert.match(await version.innerText(), /1\.0\.49\s*OK$/);
    await version.getByRole('button', { name: 'OK' }).click();

    // Quit asks first (いいえ is walked in blankforms.test.mjs); はい ends with status 0.
    await mainCommand(z, '終了');
    assert.equal(await box.locator('.message-text').innerText(), '終了しますか？');
    await box.getByRole('button', { name: 'はい' }).click();
    assert.equal((await z.zelka.exited).code, 0);
  } finally {
    await z.close();
  }
});
