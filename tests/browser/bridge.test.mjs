// The bridge between the page frames and the program: navigations wait for
// the program's word, and dialogs answer through the shell's overlays.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { APP_TITLE, openZelka, setMainStatus } from './zelka.mjs';

// A main menu with extra links, and a second page to go to.
function addLinks(appDir) {
  const menu = path.join(appDir, 'MainMenu', 'MainMenuFr.htm');
  const links = '<p><a id="hyo" href="Other.htm?HYO=1">hyo</a> <a id="plain" href="Other.htm">plain</a>'
    + ' <a id="top" href="Other.htm" target="_top">top</a></p>'
    + '<form id="f" method="post" action="Other.htm"><input name="q" value="あ"><button id="send">send</button></form>';
  writeFileSync(menu, readFileSync(menu, 'utf8').replace('</main>', `</main>${links}`));
  writeFileSync(path.join(appDir, 'MainMenu', 'Other.htm'), '<!DOCTYPE html><meta charset="utf-8"><title>other</title><p id="other">other</p>');
}

const mainFrameUrl = (page) => page.$eval('#frame-main', (f) => f.contentWindow.location.pathname);

test('frame navigations go ahead only when the program allows them', async () => {
  const z = await openZelka(addLinks);
  try {
    await z.menu.locator('#hyo').click();
    await z.page.waitForTimeout(800);
    assert.equal(await mainFrameUrl(z.page), '/MainMenu/MainMenuFr.htm', 'HYO is cancelled');

    await z.menu.locator('#top').click();
    await z.menu.locator('#other').waitFor();
    assert.equal(await mainFrameUrl(z.page), '/MainMenu/Other.htm', 'a _top link stays in its frame');
    assert.equal(await z.page.title(), APP_TITLE);
  } finally {
    await z.close();
  }
});

test('a posted form proceeds with its data', async () => {
  const z = await openZelka(addLinks);
  try {
    await z.menu.locator('#send').click();
    await z.menu.locator('#other').waitFor();
    assert.equal(await mainFrameUrl(z.page), '/MainMenu/Other.htm');
    // The new page is bridged too: its commands still reach the program.
    await z.page.waitForTimeout(100);
    await z.page.frameLocator('#frame-main').locator('#other').evaluate(() => { window.status = '?AGAIN'; });
    const box = z.page.getByRole('dialog', { name: APP_TITLE });
    await box.waitFor();
    assert.match(await box.innerText(), /AGAIN/);
  } finally {
    await z.close();
  }
});

test('a message box keeps the windows beneath it inert and answers from the keyboard', async () => {
  const z = await openZelka();
  try {
    await setMainStatus(z.page, '?KEYS');
    const box = z.page.getByRole('dialog', { name: APP_TITLE });
    await box.waitFor();
    assert.equal(await z.page.$eval('#view-main', (v) => v.inert), true);
    assert.equal(await z.page.evaluate(() => document.activeElement.textContent), 'OK');
    await z.page.keyboard.press('Escape');
    await box.waitFor({ state: 'detached' });
    assert.equal(await z.page.$eval('#view-main', (v) => v.inert), false);
  } finally {
    await z.close();
  }
});
