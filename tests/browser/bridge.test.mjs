// The bridge between the page frames and the program: navigations wait for
// the program's word, also on pages built ahead of time.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { APP_TITLE, field, mainCommand, navigationReply, openZelka, settled } from './zelka.mjs';

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

// The pages an entry page's move buttons lead to are built ahead in hidden
// frames; none of that may take the focus from the user, and a page shown
// from there behaves as one loaded on demand: focused, bridged and guarded.
test('pages built ahead keep out of the way and, once shown, are focused and guarded', async () => {
  const z = await openZelka();
  // Waits until exactly `pages` are built ahead, each loaded to the end (a
  // frame's first, empty document is complete too, hence its URL).
  const builtAhead = (pages) => z.page.waitForFunction((want) => {
    const built = Array.from(document.querySelectorAll('#view-entry iframe.ahead')).map((f) => f.contentDocument)
      .filter((doc) => doc?.readyState === 'complete').map((doc) => new URL(doc.URL).pathname.replace(/^\/p\/\w+/, ''));
    return JSON.stringify(built.sort()) === JSON.stringify(want);
  }, pages);
  try {
    await mainCommand(z, '新規受付');
    const name = field(z.page, 'zlk_1_1');
    await name.click();
    // Typed while the next page is being built beside it.
    await name.pressSequentially('ヤマダ タロウ', { delay: 40 });
    await builtAhead(['/FORM/UKETUKE2.HTM']);
    assert.equal(await name.inputValue(), 'ヤマダ タロウ');
    assert.equal(await z.page.evaluate(() => document.getElementById('frame-entry').contentDocument.activeElement.name),
      'zlk_1_1', 'the focus stays in the field');
    assert.equal(await z.page.evaluate(() => document.activeElement.id), 'frame-entry');

    await z.page.evaluate(() => {
      const built = Array.from(document.querySelectorAll('iframe.ahead')).find((f) => f.src.endsWith('/FORM/UKETUKE2.HTM'));
      built.contentWindow.builtAhead = true;
    });
    await field(z.page, 'zlk_整理番号').fill('3');
    await z.page.frameLocator('#frame-entry').locator('button.move.next').click();
    await settled(z.page, 'UKETUKE2');
    assert.equal(await z.page.evaluate(() => document.getElementById('frame-entry').contentWindow.builtAhead), true);
    assert.equal(await z.page.evaluate(() => document.querySelectorAll('#frame-entry').length), 1);
    // The page's first field has the focus.
    await z.page.waitForFunction(() => {
      const doc = document.getElementById('frame-entry').contentDocument;
      return doc.activeElement === Array.from(doc.forms[0].elements).find((e) => e.name.startsWith('zlk') && e.type !== 'hidden');
    });
    // Only the new page's neighbours stay built.
    await builtAhead(['/FORM/UKETUKE1.HTM', '/FORM/UKETUKE3.HTM']);

    // The page shown from ahead cannot leave by itself.
    await z.page.evaluate(() => {
      const doc = document.getElementById('frame-entry').contentDocument;
      const link = doc.createElement('a');
      link.id = 'away';
      link.href = '/FORM/S.HTM';
      link.textContent = 'away';
      doc.body.prepend(link);
    });
    assert.equal(await navigationReply(z.page, () => z.page.frameLocator('#frame-entry').locator('#away').click()), false);
    assert.match(await z.page.evaluate(() => document.getElementById('frame-entry').contentDocument.URL), /\/FORM\/UKETUKE2\.HTM$/);
  } finally {
    await z.close();
  }
});
