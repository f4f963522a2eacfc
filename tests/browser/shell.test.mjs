// The shell page against the real program: the main menu, page commands, the
// version box, the quit question, the session and the server's refusals.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { APP_TITLE, launchBrowser, openZelka, setMainStatus, startZelka } from './zelka.mjs';

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

// The tab that traded the start code keeps its session over reloads and
// page moves; any other tab, with the spent code or none, is shown nothing.
test('the session outlives a reload, and a second tab is refused with or without the start code', async () => {
  const z = await openZelka();
  const chrome = await launchBrowser();
  const blocked = [];
  z.page.on('console', (message) => {
    if (/Content Security Policy/i.test(message.text())) blocked.push(message.text());
  });
  try {
    await z.menu.getByRole('button', { name: '新規受付', exact: true }).click();
    const entry = z.page.frameLocator('#frame-entry');
    await entry.locator('[name="zlk_整理番号"]').fill('7');
    await z.page.waitForFunction(() => lastState?.entryDraft?.elements.some((e) => e.value === '7'));
    await z.page.reload();
    assert.equal(await entry.locator('[name="zlk_整理番号"]').inputValue(), '7');
    await entry.locator('button.move.next').click();
    await z.page.waitForFunction(() => document.getElementById('frame-entry').contentDocument.URL.endsWith('/FORM/UKETUKE2.HTM'));
    assert.deepEqual(blocked, [], 'the shell and its pages run under the content policy');

    for (const [address, why] of [[z.zelka.url, /使用済み/], [`${z.zelka.origin}/`, /開始コードがありません/]]) {
      const other = await (await chrome.browser.newContext()).newPage();
      await other.goto(address);
      await other.locator('#connection').getByText(why).waitFor();
      assert.equal(await other.locator('#view-main').isHidden(), true);
      assert.equal(await other.$eval('#frame-main', (f) => f.contentDocument?.URL ?? ''), 'about:blank');
    }
    // The first tab carries on.
    await setMainStatus(z.page, '?STILL_HERE');
    await z.page.getByRole('dialog', { name: APP_TITLE }).getByText('STILL_HERE').waitFor();
  } finally {
    await chrome.close();
    await z.close();
  }
});

test('calls need the session in their header, pages its key in the path, and the start code opens one session', async () => {
  const zelka = await startZelka();
  try {
    const status = async (path, init = {}) => (await fetch(zelka.origin + path, init)).status;
    const exchange = () => fetch(`${zelka.origin}/api/session`, { method: 'POST', body: JSON.stringify({ start: zelka.start }) });
    const first = await exchange();
    const { secret, pages } = await first.json();
    assert.equal((await exchange()).status, 403);
    assert.equal(first.headers.get('set-cookie'), null);
    const session = { 'X-Zelka-Session': secret };
    assert.equal(await status('/api/state?since=0'), 403);
    assert.equal(await status('/api/state?since=0', { headers: session }), 200);
    assert.equal(await status('/api/state?since=0', { headers: { ...session, Origin: 'http://evil.example' } }), 403);
    assert.equal(await status('/MainMenu/MainMenuFr.htm', { headers: session }), 403);
    assert.equal(await status(`${pages}MainMenu/MainMenuFr.htm`), 200);
    assert.equal(await status(`${pages}FORM/..%2FZELKA20.mdb`), 404);
  } finally {
    await zelka.stop();
  }
});
