// The main window against the real program: the main menu, page commands, the
// version box, what the server lets a call or a page through with, the bridge
// between the menu frame's pages and the program, the blank forms window
// beside the menu, and quitting. (Other tabs refused, the session over a
// closed tab and pages built ahead are walked in entry.test.mjs.)
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, rmSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { APP_TITLE, answerMessage, mainCommand, navigationReply, openZelka } from './zelka.mjs';

// A main menu with extra links (one asks to start a program that does not
// exist), a second page with a form, and a third page the form posts to, which
// links back to the menu; and one blank form missing. (That the program stops
// its commands' navigations is counted in the C++ shell tests.)
function prepare(appDir) {
  const menu = path.join(appDir, 'MainMenu', 'MainMenuFr.htm');
  const page = (id, more = '') => `<!DOCTYPE html><meta charset="utf-8"><title>${id}</title><p id="${id}">${id}</p>${more}`;
  writeFileSync(menu, readFileSync(menu, 'utf8').replace('</main>',
    '</main><p><a id="top" href="Other.htm" target="_top">top</a>'
    + ' <a id="exe" href="MainMenuFr.htm?EXE=/nonexistent/viewer%20a.pdf">exe</a></p>'));
  writeFileSync(path.join(appDir, 'MainMenu', 'Other.htm'), page('other',
    '<form method="post" action="Posted.htm"><input name="q" value="あ"><button id="send">send</button></form>'));
  writeFileSync(path.join(appDir, 'MainMenu', 'Posted.htm'), page('posted', '<a id="menu" href="MainMenuFr.htm">menu</a>'));
  rmSync(path.join(appDir, 'PDF', 'SyuKeikaku.pdf'), { force: true });
}

// The main frame's path without the session's page prefix ("/p/<key>").
const mainFrameUrl = (page) => page.$eval('#frame-main', (f) => f.contentWindow.location.pathname.replace(/^\/p\/\w+/, ''));

test('the main window: its menu, its pages and their commands, the version box, 白紙様式 beside the menu, and quit', async () => {
  const z = await openZelka(prepare);
  const box = z.page.getByRole('dialog', { name: APP_TITLE });
  try {
    // (Every button of the menu is pressed in one browser test or another; the
    // page title is checked on coming back from a print preview.)
    await z.page.getByRole('heading', { name: APP_TITLE }).waitFor();
    assert.equal(z.page.url(), `${z.zelka.origin}/`, 'the start code leaves the address bar');

    // An unknown command shows what the page issued; the same command works
    // again, and a reload shows the open box again. The box keeps the windows
    // beneath inert, and Escape chooses its OK, which has the focus. (The menu
    // page's status text is set as its buttons set it.)
    for (const reload of [false, true]) {
      await z.page.frame({ url: /MainMenuFr\.htm/ }).evaluate(() => { window.status = '?Hello_World'; });
      await box.waitFor();
      if (reload) await z.page.reload();
      assert.equal(await box.locator('.message-text').innerText(), '次のコマンドが発行されました\nHello_World');
      assert.equal(await z.page.$eval('#view-main', (v) => v.inert), true);
      assert.equal(await z.page.evaluate(() => document.activeElement.textContent), 'OK');
      await z.page.keyboard.press('Escape');
      await box.waitFor({ state: 'detached' });
    }
    assert.equal(await z.page.$eval('#view-main', (v) => v.inert), false);

    await z.page.getByRole('button', { name: 'バージョン情報' }).click();
    const version = z.page.getByRole('dialog', { name: 'ZELKA 2.0 バージョン情報' });
    assert.equal(await version.getAttribute('data-icon'), 'information');
    await version.getByRole('button', { name: 'OK' }).click();

    // A page may still start a program, but never unasked: the command line
    // is shown first, with いいえ the default (the scripted host covers はい).
    const exe = navigationReply(z.page, () => z.menu.locator('#exe').click());
    assert.match(await box.locator('.message-text').innerText(), /\/nonexistent\/viewer a\.pdf\s+起動しますか/);
    assert.equal(await z.page.evaluate(() => document.activeElement.textContent), 'いいえ');
    await z.page.keyboard.press('Enter');
    // The program answers the navigation only once its messages are answered:
    // no attempt, so no "起動できませんでした" in the way.
    await exe;

    await z.menu.locator('#top').click();
    await z.menu.locator('#other').waitFor();
    assert.equal(await mainFrameUrl(z.page), '/MainMenu/Other.htm', 'a _top link stays in its frame');
    assert.equal(await z.page.title(), APP_TITLE);
    // A posted form proceeds with its data, and the new page is bridged too.
    await z.menu.locator('#send').click();
    await z.menu.locator('#posted').waitFor();
    await z.page.waitForFunction(() => bridgedDocuments.main === document.getElementById('frame-main').contentDocument);
    await z.menu.locator('#posted').evaluate(() => { window.status = '?AGAIN'; });
    await answerMessage(z.page, '次のコマンドが発行されました\nAGAIN');
    await z.menu.locator('#menu').click();

    // Calls need the session in their header, pages its key in the path; the
    // start code, spent by this tab, opens no second session, and nothing the
    // tab was answered set a cookie.
    const { secret, pages } = JSON.parse(await z.page.evaluate(() => sessionStorage.getItem('zelka-session')));
    const status = async (path, headers = {}) => (await fetch(z.zelka.origin + path, { headers })).status;
    const start = new URL(z.zelka.url).searchParams.get('start');
    assert.equal((await fetch(`${z.zelka.origin}/api/session`, { method: 'POST', body: JSON.stringify({ start }) })).status, 403);
    assert.equal(await status('/api/state?since=0'), 403);
    assert.equal(await status('/api/state?since=0', { 'X-Zelka-Session': secret }), 200);
    assert.equal(await status('/MainMenu/MainMenuFr.htm', { 'X-Zelka-Session': secret }), 403);
    assert.equal(await status(`${pages}MainMenu/MainMenuFr.htm`), 200);
    assert.deepEqual(await z.context.cookies(), []);

    // 白紙様式 opens 空表出力 beside the menu, the focus on its first button so
    // that the keyboard alone is enough.
    await mainCommand(z, '白紙様式');
    const win = z.page.getByRole('dialog', { name: '空表出力' });
    assert.match(await win.innerText(), /PDFを表示できるソフトウェア/);
    assert.equal(await z.page.evaluate(() => document.activeElement.textContent), '相談受付表');
    // A press opens the form, served as a PDF, in a new tab, and the window stays.
    const pdf = await fetch(`${z.zelka.origin}${pages}PDF/CapSelect.pdf`);
    assert.deepEqual([pdf.status, pdf.headers.get('content-type')], [200, 'application/pdf']);
    const [tab] = await Promise.all([
      z.context.waitForEvent('page'),
      win.getByRole('button', { name: 'CAP選定表' }).click(),
    ]);
    await tab.waitForURL(/\/PDF\/CapSelect\.pdf$/, { waitUntil: 'commit' }).catch(() => {});
    assert.match(tab.url(), /\/PDF\/CapSelect\.pdf$/);
    await tab.close();
    // A missing file is named; the window stays, the focus back on its button.
    await win.getByRole('button', { name: '週間サービス計画表' }).click();
    await answerMessage(z.page, `空表のファイルが見つかりません。\n${z.zelka.appDir}/PDF/SyuKeikaku.pdf`);
    await z.page.waitForFunction(() => document.activeElement.textContent === '週間サービス計画表');

    // The menu stays usable beside the window: quit asks first, いいえ keeps
    // running; Escape closes the window; はい ends with status 0.
    await mainCommand(z, '終了');
    await answerMessage(z.page, '終了しますか？', 'いいえ');
    await win.getByRole('button', { name: '相談受付表' }).focus();
    await z.page.keyboard.press('Escape');
    await win.waitFor({ state: 'detached' });
    await mainCommand(z, '終了');
    await box.getByRole('button', { name: 'はい' }).click();
    assert.equal((await z.zelka.exited).code, 0);
  } finally {
    await z.close();
  }
});
