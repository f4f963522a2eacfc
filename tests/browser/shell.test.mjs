// The shell page against the real program: the main menu, page commands, the
// version box, the quit question and the server's refusals.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { request } from 'node:http';
import { APP_TITLE, openZelka, setMainStatus, startZelka } from './zelka.mjs';

test('the main window: its menu, a page command twice and after a reload, the version box and quit', async () => {
  const z = await openZelka();
  try {
    assert.equal(await z.page.title(), APP_TITLE);
    await z.page.getByRole('heading', { name: APP_TITLE }).waitFor();
    for (const name of ['新規受付', '受付表の修正', '新規アセスメント', 'アセスメントの修正', 'CAP検討用紙の作成',
      'CAP一覧の印刷', '相談受付表の印刷', 'アセスメント表の印刷', '白紙様式', '終了']) {
      assert.ok(await z.menu.getByRole('button', { name, exact: true }).isVisible(), name);
    }
    assert.equal(z.page.url().includes('token='), false, 'the token leaves the address bar');

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
    assert.equal(await version.getAttribute('data-icon'), 'information');
    await version.getByRole('button', { name: 'OK' }).click();

    // Quit asks first: いいえ keeps running, はい ends with status 0.
    for (const answer of ['いいえ', 'はい']) {
      await z.menu.getByRole('button', { name: '終了', exact: true }).click();
      assert.equal(await box.locator('.message-text').innerText(), '終了しますか？');
      await box.getByRole('button', { name: answer }).click();
      if (answer === 'いいえ') await box.waitFor({ state: 'detached' });
    }
    assert.equal((await z.zelka.exited).code, 0);
  } finally {
    await z.close();
  }
});

test('requests without the token, from a foreign Host or Origin, or for files outside the pages are refused', async () => {
  const zelka = await startZelka();
  try {
    const cookie = `zelka_token=${zelka.token}`;
    const status = async (path, headers = {}, init = {}) => (await fetch(zelka.origin + path, { headers, ...init })).status;
    assert.equal(await status('/'), 403);
    assert.equal(await status('/api/state?since=0', { Cookie: 'zelka_token=nope' }), 403);
    assert.equal(await status('/MainMenu/MainMenuFr.htm', { Cookie: cookie }), 200);
    const event = JSON.stringify({ type: 'status', view: 'main', text: '?QUIT' });
    assert.equal(await status('/api/event', { Cookie: cookie, 'Content-Type': 'application/json', Origin: 'http://evil.example' },
      { method: 'POST', body: event }), 403);
    const url = new URL(zelka.origin);  // fetch will not set Host itself; a raw request does
    assert.equal(await new Promise((resolve, reject) => {
      request({ host: url.hostname, port: url.port, path: `/?token=${zelka.token}`, headers: { Host: `evil.example:${url.port}` } },
        (res) => resolve(res.statusCode)).on('error', reject).end();
    }), 403);
    for (const path of ['/FORM/..%2FZELKA20.mdb', '/ZELKA20.mdb']) assert.equal(await status(path, { Cookie: cookie }), 404, path);
  } finally {
    await zelka.stop();
  }
});
