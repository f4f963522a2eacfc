// The bridge between the page frames and the program: navigations wait for
// the program's word, and dialogs answer through the shell's overlays.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { APP_TITLE, openZelka, pagePath } from './zelka.mjs';

// A main menu with extra links (one asks to start a program that does not
// exist), a second page with a form, and a third page the form posts to.
function addLinks(appDir) {
  const menu = path.join(appDir, 'MainMenu', 'MainMenuFr.htm');
  const page = (id, more = '') => `<!DOCTYPE html><meta charset="utf-8"><title>${id}</title><p id="${id}">${id}</p>${more}`;
  writeFileSync(menu, readFileSync(menu, 'utf8').replace('</main>',
    '</main><p><a id="hyo" href="Other.htm?HYO=1">hyo</a> <a id="top" href="Other.htm" target="_top">top</a>'
    + ' <a id="exe" href="MainMenuFr.htm?EXE=/nonexistent/viewer%20a.pdf">exe</a></p>'));
  writeFileSync(path.join(appDir, 'MainMenu', 'Other.htm'), page('other',
    '<form method="post" action="Posted.htm"><input name="q" value="あ"><button id="send">send</button></form>'));
  writeFileSync(path.join(appDir, 'MainMenu', 'Posted.htm'), page('posted'));
}

const mainFrameUrl = async (page) => pagePath(await page.$eval('#frame-main', (f) => f.contentWindow.location.pathname));

test('frame navigations wait for the program; EXE asks first; message boxes keep the windows beneath inert', async () => {
  const z = await openZelka(addLinks);
  try {
    // A page may still start a program, but never unasked: the command line
    // is shown first, with いいえ the default (the scripted host covers はい).
    await z.menu.locator('#exe').click();
    const question = z.page.getByRole('dialog', { name: APP_TITLE });
    assert.match(await question.locator('.message-text').innerText(), /\/nonexistent\/viewer a\.pdf\s+起動しますか/);
    assert.equal(await z.page.evaluate(() => document.activeElement.textContent), 'いいえ');
    await z.page.keyboard.press('Enter');
    await question.waitFor({ state: 'detached' });
    await z.page.waitForTimeout(500);
    assert.equal(await z.page.getByRole('dialog').count(), 0, 'no attempt, so no "起動できませんでした"');

    await z.menu.locator('#hyo').click();
    await z.page.waitForTimeout(800);
    assert.equal(await mainFrameUrl(z.page), '/MainMenu/MainMenuFr.htm', 'HYO is cancelled');
    await z.menu.locator('#top').click();
    await z.menu.locator('#other').waitFor();
    assert.equal(await mainFrameUrl(z.page), '/MainMenu/Other.htm', 'a _top link stays in its frame');
    assert.equal(await z.page.title(), APP_TITLE);

    // A posted form proceeds with its data, and the new page is bridged too.
    await z.menu.locator('#send').click();
    await z.menu.locator('#posted').waitFor();
    await z.page.waitForTimeout(100);
    await z.menu.locator('#posted').evaluate(() => { window.status = '?AGAIN'; });
    const box = z.page.getByRole('dialog', { name: APP_TITLE });
    await box.waitFor();
    assert.match(await box.innerText(), /AGAIN/);
    assert.equal(await z.page.$eval('#view-main', (v) => v.inert), true);
    assert.equal(await z.page.evaluate(() => document.activeElement.textContent), 'OK');
    await z.page.keyboard.press('Escape');
    await box.waitFor({ state: 'detached' });
    assert.equal(await z.page.$eval('#view-main', (v) => v.inert), false);
  } finally {
    await z.close();
  }
});

// The pages an entry page's move buttons lead to are built ahead in hidden
// frames; none of that may take the focus from the user, and a page shown
// from there behaves as one loaded on demand: focused, bridged and guarded.
test('pages built ahead keep out of the way and, once shown, are focused and guarded', async () => {
  const z = await openZelka();
  const entry = z.page.frameLocator('#frame-entry');
  const builtPages = async () => (await z.page.evaluate(() => Array.from(document.querySelectorAll('#view-entry iframe.ahead'))
    .filter((f) => f.contentDocument && f.contentDocument.readyState === 'complete')
    .map((f) => new URL(f.src).pathname))).map(pagePath);
  try {
    await z.menu.getByRole('button', { name: '新規受付', exact: true }).click();
    const name = entry.locator('[name="zlk_1_1"]');
    await name.click();
    // Typed while the next page is being built beside it.
    await name.pressSequentially('ヤマダ タロウ', { delay: 40 });
    await z.page.waitForFunction(() => Array.from(document.querySelectorAll('iframe.ahead'))
      .some((f) => f.src.endsWith('/FORM/UKETUKE2.HTM') && f.contentDocument?.readyState === 'complete'));
    assert.equal(await name.inputValue(), 'ヤマダ タロウ');
    assert.equal(await z.page.evaluate(() => document.getElementById('frame-entry').contentDocument.activeElement.name),
      'zlk_1_1', 'the focus stays in the field');
    assert.equal(await z.page.evaluate(() => document.activeElement.id), 'frame-entry');

    await z.page.evaluate(() => {
      const built = Array.from(document.querySelectorAll('iframe.ahead')).find((f) => f.src.endsWith('/FORM/UKETUKE2.HTM'));
      built.contentWindow.builtAhead = true;
    });
    await entry.locator('[name="zlk_整理番号"]').fill('3');
    await entry.locator('button.move.next').click();
    await entry.locator('[name="zlk_2_1"], form').first().waitFor();
    await z.page.waitForFunction(() => document.getElementById('frame-entry').contentDocument.URL.endsWith('/FORM/UKETUKE2.HTM'));
    assert.equal(await z.page.evaluate(() => document.getElementById('frame-entry').contentWindow.builtAhead), true);
    assert.equal(await z.page.evaluate(() => document.querySelectorAll('#frame-entry').length), 1);
    const first = await z.page.evaluate(() => {
      const form = document.getElementById('frame-entry').contentDocument.forms[0];
      return Array.from(form.elements).find((e) => e.name.startsWith('zlk') && e.type !== 'hidden').name;
    });
    await z.page.waitForFunction((want) => document.getElementById('frame-entry').contentDocument.activeElement?.name === want, first);

    // Only the new page's neighbours stay built.
    await z.page.waitForFunction(() => {
      const pages = Array.from(document.querySelectorAll('#view-entry iframe.ahead')).map((f) => new URL(f.src).pathname);
      return pages.length === 2 && pages.some((p) => p.endsWith('/FORM/UKETUKE1.HTM'))
        && pages.some((p) => p.endsWith('/FORM/UKETUKE3.HTM'));
    });
    assert.deepEqual((await builtPages()).sort(), ['/FORM/UKETUKE1.HTM', '/FORM/UKETUKE3.HTM']);

    // The page shown from ahead cannot leave by itself.
    await z.page.evaluate(() => {
      const doc = document.getElementById('frame-entry').contentDocument;
      const link = doc.createElement('a');
      link.id = 'away';
      link.href = '/FORM/S.HTM';
      link.textContent = 'away';
      doc.body.prepend(link);
    });
    await entry.locator('#away').click();
    await z.page.waitForTimeout(800);
    assert.match(await z.page.evaluate(() => document.getElementById('frame-entry').contentDocument.URL), /\/FORM\/UKETUKE2\.HTM$/);
  } finally {
    await z.close();
  }
});
