// The shell page against the real program: the main menu, page commands,
// the version box, the quit question and the server's refusals.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { APP_TITLE, openZelka, setMainStatus, startZelka } from './zelka.mjs';

test('main window shows the main menu in its frame', async () => {
  const z = await openZelka();
  try {
    assert.equal(await z.page.title(), APP_TITLE);
    await z.page.getByRole('heading', { name: APP_TITLE }).waitFor();
    const commands = ['新規受付', '受付表の修正', '新規アセスメント', 'アセスメントの修正', 'CAP検討用紙の作成',
      'CAP一覧の印刷', '相談受付表の印刷', 'アセスメント表の印刷', '白紙様式', '終了'];
    for (const name of commands) assert.ok(await z.menu.getByRole('button', { name, exact: true }).isVisible(), name);
    assert.equal(z.page.url().includes('token='), false, 'the token leaves the address bar');
  } finally {
    await z.close();
  }
});

test('an unknown command shows what the page issued, and the same command works twice', async () => {
  const z = await openZelka();
  try {
    for (let round = 0; round < 2; round++) {
      await setMainStatus(z.page, '?Hello_World');
      const box = z.page.getByRole('dialog', { name: APP_TITLE });
      await box.waitFor();
      assert.equal(await box.locator('.message-text').innerText(), '次のコマンドが発行されました\nHello_World');
      await box.getByRole('button', { name: 'OK' }).click();
      await box.waitFor({ state: 'detached' });
    }
  } finally {
    await z.close();
  }
});

test('the version box comes from the menu bar', async () => {
  const z = await openZelka();
  try {
    await z.page.getByRole('button', { name: 'バージョン情報' }).click();
    const box = z.page.getByRole('dialog', { name: 'ZELKA 2.0 バージョン情報' });
    await box.waitFor();
    assert.match(await box.innerText(), /1\.0\.49\s*OK$/);
    assert.equal(await box.getAttribute('data-icon'), 'information');
    await box.getByRole('button', { name: 'OK' }).click();
    await box.waitFor({ state: 'detached' });
  } finally {
    await z.close();
  }
});

test('quit asks first: いいえ keeps running, はい ends with status 0', async () => {
  const z = await openZelka();
  try {
    await z.menu.getByRole('button', { name: '終了', exact: true }).click();
    let box = z.page.getByRole('dialog', { name: APP_TITLE });
    assert.equal(await box.locator('.message-text').innerText(), '終了しますか？');
    await box.getByRole('button', { name: 'いいえ' }).click();
    await box.waitFor({ state: 'detached' });
    // Still serving: the page answers the next command.
    await z.menu.getByRole('button', { name: '終了', exact: true }).click();
    box = z.page.getByRole('dialog', { name: APP_TITLE });
    await box.getByRole('button', { name: 'はい' }).click();
    const { code } = await z.zelka.exited;
    assert.equal(code, 0);
  } finally {
    await z.close();
  }
});

test('a reload shows the open message box again', async () => {
  const z = await openZelka();
  try {
    await setMainStatus(z.page, '?RELOAD_ME');
    await z.page.getByRole('dialog', { name: APP_TITLE }).waitFor();
    await z.page.reload();
    const box = z.page.getByRole('dialog', { name: APP_TITLE });
    await box.waitFor();
    assert.match(await box.innerText(), /RELOAD_ME/);
    await box.getByRole('button', { name: 'OK' }).click();
    await box.waitFor({ state: 'detached' });
  } finally {
    await z.close();
  }
});

test('requests without the token, from a foreign Host or Origin are refused', async () => {
  const zelka = await startZelka();
  try {
    const cookie = `zelka_token=${zelka.token}`;
    const status = async (path, init = {}) => (await fetch(zelka.origin + path, init)).status;
    assert.equal(await status('/'), 403);
    assert.equal(await status('/MainMenu/MainMenuFr.htm'), 403);
    assert.equal(await status('/api/state?since=0', { headers: { Cookie: 'zelka_token=nope' } }), 403);
    assert.equal(await status('/MainMenu/MainMenuFr.htm', { headers: { Cookie: cookie } }), 200);
    const event = JSON.stringify({ type: 'status', view: 'main', text: '?QUIT' });
    const post = { method: 'POST', body: event, headers: { Cookie: cookie, 'Content-Type': 'application/json' } };
    assert.equal(await status('/api/event', { ...post, headers: { ...post.headers, Origin: 'http://evil.example' } }), 403);
    // fetch will not set Host itself; a raw request does.
    const { request } = await import('node:http');
    const hostStatus = await new Promise((resolve, reject) => {
      const url = new URL(zelka.origin);
      request({ host: url.hostname, port: url.port, path: `/?token=${zelka.token}`, headers: { Host: `evil.example:${url.port}` } },
        (res) => resolve(res.statusCode)).on('error', reject).end();
    });
    assert.equal(hostStatus, 403);
    assert.equal(await status('/FORM/..%2FZELKA20.mdb', { headers: { Cookie: cookie } }), 404);
    assert.equal(await status('/ZELKA20.mdb', { headers: { Cookie: cookie } }), 404);
  } finally {
    await zelka.stop();
  }
});
