// The daily data entry on the real pages: a new intake over its five pages
// and an assessment of that client over its twenty, both opened again through
// the search dialogs with every value in place; the next page built ahead
// while the user types, and shown from there; a pending edit kept by the
// program through a closed tab and reloads, while the tab that traded the
// start code keeps its session and any other tab is shown nothing; the
// reference date dialog, the duplicate assessment and the title-bar close. The
// calendar and refusals of typed values are walked in workday.test.mjs; how
// long a page move takes is measured by bench/page_moves.mjs.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  answerMessage, field, fillPage, keptByProgram, mainCommand, mainShown, navigationReply, openRecord, openZelka,
  pickReferenceDate, readElements, settled as settledPage,
} from './zelka.mjs';

const SECTIONS = ['AA', ...'ABCDEFGHIJKLMNOPQRS'];
// AA items a new assessment copies from the intake.
const COPIED_TO_AA = ['zlk_AA_1', 'zlk_AA_2', 'zlk_AA_3_1', 'zlk_AA_3_2', 'zlk_AA_4'];

const entry = (z) => z.page.frameLocator('#frame-entry');
const settled = (z, file) => settledPage(z.page, file);

function assertShows(actual, expected, page) {
  for (const [name, value] of Object.entries(expected)) assert.deepEqual(actual[name], value, `${page} ${name}`);
}

const nextButton = (z) => entry(z).locator('button.move.next');
// Waits until exactly `pages` are built ahead, each loaded to the end (a
// frame's first, empty document is complete too, hence its URL).
const builtAhead = (z, pages) => z.page.waitForFunction((want) => {
  const built = Array.from(document.querySelectorAll('#view-entry iframe.ahead')).map((f) => f.contentDocument)
    .filter((doc) => doc?.readyState === 'complete').map((doc) => new URL(doc.URL).pathname.replace(/^\/p\/\w+/, ''));
  return JSON.stringify(built.sort()) === JSON.stringify(want);
}, pages);

// The jump menu's item for the page whose caption starts with `prefix` and a point.
async function jump(z, prefix) {
  await z.page.getByRole('button', { name: 'ジャンプ(J)' }).click();
  await z.page.getByRole('menuitem', { name: new RegExp(`^${prefix}\\.`) }).click();
}

// Moves through `pages` by the next button (or the jump menu), and checks
// every page shows what was entered. A jump to a page that is not a
// neighbour of the shown one loads it on demand; a next page comes built ahead.
async function walkPages(z, pages, expected, byMenu = false) {
  for (const page of pages) {
    if (byMenu) await jump(z, page);
    else await nextButton(z).click();
    await settled(z, page);
    assertShows(await readElements(z.page), expected[page], page);
  }
}

async function closeEntry(z) {
  await entry(z).locator('button.move.close').click();
  await mainShown(z.page);
}

// Closes the tab and brings it back as the browser restores one: with its
// session storage, and with that the tab's session.
async function closeAndRestoreTab(z) {
  const session = await z.page.evaluate(() => sessionStorage.getItem('zelka-session'));
  const browser = z.context.browser();
  await z.context.close();
  z.context = await browser.newContext({ viewport: { width: 1366, height: 768 }, locale: 'ja-JP' });
  await z.context.addInitScript((value) => {
    if (window === window.top) sessionStorage.setItem('zelka-session', value);
  }, session);
  z.page = await z.context.newPage();
  z.menu = z.page.frameLocator('#frame-main');
  await z.page.goto(`${z.zelka.origin}/`);
}

test('a new intake over its five pages and an assessment over its twenty are found again, value for value', async () => {
  const z = await openZelka();
  const blocked = [];
  z.page.on('console', (message) => {
    if (/Content Security Policy/i.test(message.text())) blocked.push(message.text());
  });
  try {
    // The name typed at once, while the next page is being built beside it:
    // nothing typed is lost, and the focus stays in the field.
    await mainCommand(z, '新規受付');
    const name = field(z.page, 'zlk_1_1');
    await name.click();
    await name.pressSequentially('ヤマダ タロウ', { delay: 40 });
    await builtAhead(z, ['/FORM/UKETUKE2.HTM']);
    assert.equal(await name.inputValue(), 'ヤマダ タロウ');
    assert.equal(await z.page.evaluate(() => document.getElementById('frame-entry').contentDocument.activeElement.name),
      'zlk_1_1', 'the focus stays');
    assert.equal(await z.page.evaluate(() => document.activeElement.id), 'frame-entry');
    await settled(z, 'UKETUKE1');
    const expected = { UKETUKE1: { ...await fillPage(z.page, ['zlk_整理番号', 'zlk_1_1']), zlk_1_1: 'ヤマダ タロウ' } };
    // The number last: once the program holds it, it holds the whole page.
    expected.UKETUKE1.zlk_整理番号 = '101';
    await field(z.page, 'zlk_整理番号').fill('101');
    await keptByProgram(z.page, 'zlk_整理番号', '101');
    assert.deepEqual(blocked, [], 'the shell and its pages run under the content policy');

    // No other tab gets in, with the spent start code or without one.
    for (const [address, why] of [[z.zelka.url, /使用済み/], [`${z.zelka.origin}/`, /開始コードがありません/]]) {
      const other = await (await z.context.browser().newContext()).newPage();
      await other.goto(address);
      await other.locator('#connection').getByText(why).waitFor();
      assert.equal(await other.locator('#view-main').isHidden(), true);
      assert.equal(await other.$eval('#frame-main', (f) => f.contentDocument?.URL ?? ''), 'about:blank');
      await other.context().close();
    }
    // The program keeps what was typed: the tab closed and brought back shows
    // it, and so does a reload, with the latest value.
    await closeAndRestoreTab(z);
    await settled(z, 'UKETUKE1');
    assertShows(await readElements(z.page), expected.UKETUKE1, 'UKETUKE1 brought back');
    await field(z.page, 'zlk_1_1').fill('ヤマダ ジロウ');
    expected.UKETUKE1.zlk_1_1 = 'ヤマダ ジロウ';
    await keptByProgram(z.page, 'zlk_1_1', 'ヤマダ ジロウ');
    await z.page.reload();
    await settled(z, 'UKETUKE1');
    assertShows(await readElements(z.page), expected.UKETUKE1, 'UKETUKE1 reloaded');

    // Pages 2 and 3 by the page buttons, 4 and 5 by the menu. After a reload
    // page 2 loads on demand; page 3 is the frame built ahead meanwhile, shown:
    // focused on its first field, with only its own neighbours built, and it
    // cannot leave by itself.
    await nextButton(z).click();
    await settled(z, 'UKETUKE2');
    expected.UKETUKE2 = await fillPage(z.page);
    await builtAhead(z, ['/FORM/UKETUKE1.HTM', '/FORM/UKETUKE3.HTM']);
    await z.page.evaluate(() => {
      document.querySelector('#view-entry iframe.ahead[src$="/FORM/UKETUKE3.HTM"]').contentWindow.builtAhead = true;
    });
    await nextButton(z).click();
    await settled(z, 'UKETUKE3');
    assert.equal(await z.page.evaluate(() => document.getElementById('frame-entry').contentWindow.builtAhead), true);
    assert.equal(await z.page.evaluate(() => document.querySelectorAll('#frame-entry').length), 1);
    await z.page.waitForFunction(() => {
      const doc = document.getElementById('frame-entry').contentDocument;
      return doc.activeElement === Array.from(doc.forms[0].elements).find((e) => e.name.startsWith('zlk') && e.type !== 'hidden');
    });
    await builtAhead(z, ['/FORM/UKETUKE2.HTM', '/FORM/UKETUKE4.HTM']);
    await z.page.evaluate(() => document.getElementById('frame-entry').contentDocument.body
      .insertAdjacentHTML('afterbegin', '<a id="away" href="/FORM/S.HTM">away</a>'));
    assert.equal(await navigationReply(z.page, () => entry(z).locator('#away').click()), false);
    assert.match(await z.page.evaluate(() => document.getElementById('frame-entry').contentDocument.URL), /\/FORM\/UKETUKE3\.HTM$/);
    expected.UKETUKE3 = await fillPage(z.page);
    await jump(z, 'Ⅳ');
    await settled(z, 'UKETUKE4');
    expected.UKETUKE4 = await fillPage(z.page);
    // Ⅵ has no page of its own: the menu offers it greyed, beside Ⅴ.
    await z.page.getByRole('button', { name: 'ジャンプ(J)' }).click();
    assert.equal(await z.page.getByRole('menuitem', { name: 'Ⅵ.住居環境' }).getAttribute('aria-disabled'), 'true');
    await z.page.getByRole('menuitem', { name: /^Ⅴ\./ }).click();
    await settled(z, 'UKETUKE5');
    expected.UKETUKE5 = await fillPage(z.page);
    await closeEntry(z);

    // Opened again: without a keystroke, what the program filled in comes
    // back after a reload too, so a save after it cannot blank the answers.
    await openRecord(z, '受付表の修正', 101);
    await settled(z, 'UKETUKE1');
    await keptByProgram(z.page, 'zlk_1_1', 'ヤマダ ジロウ');
    await z.page.reload();
    await settled(z, 'UKETUKE1');
    assertShows(await readElements(z.page), expected.UKETUKE1, 'UKETUKE1');
    await walkPages(z, ['UKETUKE2', 'UKETUKE3', 'UKETUKE4', 'UKETUKE5'], expected);
    await closeEntry(z);

    // The client's first assessment starts on AA, with the intake's items.
    await openRecord(z, '新規アセスメント', 101);
    await pickReferenceDate(z, '2026/11/20');
    await settled(z, 'AA');
    const copied = await readElements(z.page);
    const intake = expected.UKETUKE1;
    assert.deepEqual(COPIED_TO_AA.map((name) => copied[name]),
      [intake.zlk_1_1, intake.zlk_1_2, intake.zlk_1_3_1, intake.zlk_1_3_2, intake.zlk_受付日時]);
    expected.AA = { ...await fillPage(z.page, COPIED_TO_AA), zlk_AA_1: copied.zlk_AA_1, zlk_AA_2: copied.zlk_AA_2 };

    // On through every section: page buttons, and the jump menu for H and S.
    for (const section of SECTIONS.slice(1)) {
      if (section === 'H' || section === 'S') await jump(z, section);
      else await nextButton(z).click();
      await settled(z, section);
      expected[section] = await fillPage(z.page, ['zlk_A1']);
      // A1 is the reference date, shown again when the assessment is opened.
      if (section === 'A') expected.A.zlk_A1 = '2026/11/20';
    }
    await closeEntry(z);

    // Opened again from the assessment search: every answer on every page.
    await openRecord(z, 'アセスメントの修正', 101);
    await settled(z, 'A');
    await walkPages(z, ['AA'], expected, true);
    await walkPages(z, SECTIONS.slice(1), expected);
    await walkPages(z, ['H', 'D'], expected, true);
    await closeEntry(z);

    // The title-bar close of a second assessment asks first: いいえ keeps the
    // window and what was typed, はい closes it and stores nothing of the page.
    await openRecord(z, '新規アセスメント', 101);
    await pickReferenceDate(z, '2026/12/01');
    await settled(z, 'A');
    await field(z.page, 'zlk_A2_2').fill('保存しない');
    for (const button of ['いいえ', 'はい']) {
      await z.page.getByRole('button', { name: '閉じる' }).click();
      await answerMessage(z.page, 'データを保存しないで終了しますか？', button);
      if (button === 'いいえ') assert.equal(await field(z.page, 'zlk_A2_2').inputValue(), '保存しない');
    }
    await mainShown(z.page);
    let search = await openRecord(z, 'アセスメントの修正', 101, { rowText: '2026/12/01', choose: false });
    assert.equal(await search.getByRole('row').count(), 3, 'a heading and two assessments');
    await search.getByRole('button', { name: '選択' }).click();
    await settled(z, 'A');
    assert.equal((await readElements(z.page)).zlk_A2_2, '');
    await closeEntry(z);

    // The same client on the first date again: refused, in the era form, and nothing is added.
    await openRecord(z, '新規アセスメント', 101);
    await pickReferenceDate(z, '令和8年11月20日');
    await answerMessage(z.page, '既に、整理番号[101]、アセスメント基準日[令和8年11月20日]でデータが登録されています', 'OK');
    search = await openRecord(z, 'アセスメントの修正', 101, { choose: false });
    assert.equal(await search.getByRole('row').count(), 3);
  } finally {
    await z.close();
  }
});
