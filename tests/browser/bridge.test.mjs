// The bridge between the page frames and the program: navigations wait for
// the program's word. (Pages built ahead of time, and how they are guarded
// once shown, are walked in entry.test.mjs.)
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { APP_TITLE, navigationReply, openZelka } from './zelka.mjs';

// A main menu with extra links (one asks to start a program that does not
// exist), a second page with a form, and a third page the form posts to. (That
// the program stops its commands' navigations is counted in the C++ shell tests.)
function addLinks(appDir) {
  const menu = path.join(appDir, 'MainMenu', 'MainMenuFr.htm');
  const page = (id, more = '') => `<!DOCTYPE html><meta charset="utf-8"><title>${id}</title><p id="${id}">${id}</p>${more}`;
  writeFileSync(menu, readFileSync(menu, 'utf8').replace('</main>',
    '</main><p><a id="top" href="Other.htm" target="_top">top</a>'
    + ' <a id="exe" href="MainMenuFr.htm?EXE=/nonexistent/viewer%20a.pdf">exe</a></p>'));
  writeFileSync(path.join(appDir, 'MainMenu', 'Other.htm'), page('other',
    '<form method="post" action="Posted.htm"><input name="q" value="あ"><button id="send">send</button></form>'));
  writeFileSync(path.join(appDir, 'MainMenu', 'Posted.htm'), page('posted'));
}

// The main frame's path without the session's page prefix ("/p/<key>").
const mainFrameUrl = (page) => page.$eval('#frame-main', (f) => f.contentWindow.location.pathname.replace(/^\/p\/\w+/, ''));

test('frame navigations wait for the program, EXE asks first, and a page posted to is bridged too', async () => {
  const z = await openZelka(addLinks);
  try {
    // A page may still start a program, but never unasked: the command line
    // is shown first, with いいえ the default (the scripted host covers はい).
    const exe = navigationReply(z.page, () => z.menu.locator('#exe').click());
    const question = z.page.getByRole('dialog', { name: APP_TITLE });
    assert.match(await question.locator('.message-text').innerText(), /\/nonexistent\/viewer a\.pdf\s+起動しますか/);
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
    await z.page.getByRole('dialog', { name: APP_TITLE }).getByText('AGAIN').waitFor();
  } finally {
    await z.close();
  }
});
