// A care manager's day at a laptop's window size (1366x625 of page): the
// jump menu, access keys from inside a page, the date picker's year lists and
// where the caret goes after it, era dates with 元年 and the reasons a date is
// refused, the page head that says whose record is open, the message that
// names its item, and the search dialogs by keyboard alone with names typed
// in any kana, width or spacing.
// ZELKA_SHOTS=<folder> also saves screenshots of the screens seen here.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync } from 'node:fs';
import path from 'node:path';
import { APP_TITLE, ZELKA_BIN, openZelka } from './zelka.mjs';

const SEARCH = '登録データの選択';
const shots = process.env.ZELKA_SHOTS || '';

async function shot(z, name) {
  if (!shots) return;
  mkdirSync(shots, { recursive: true });
  await z.page.waitForTimeout(150);
  await z.page.screenshot({ path: path.join(shots, `${name}.png`) });
}

const entry = (z) => z.page.frameLocator('#frame-entry');
const dialog = (z, name) => z.page.getByRole('dialog', { name });
// The name of the page field that has the caret, "" when none has.
const caretField = (z) => z.page.evaluate(() => {
  const doc = document.getElementById('frame-entry').contentDocument;
  return document.activeElement === document.getElementById('frame-entry') ? doc.activeElement.name || '' : '';
});

async function shows(z, file) {
  await z.page.waitForFunction((want) => {
    const doc = document.getElementById('frame-entry').contentDocument;
    return doc && doc.readyState === 'complete' && doc.URL.endsWith(`/FORM/${want}.HTM`)
      && !lastState.requests.some((r) => r.kind === 'navigate' || r.kind === 'writeForm');
  }, file);
}

async function message(z, text) {
  const box = dialog(z, APP_TITLE).last();
  await box.waitFor();
  assert.equal(await box.locator('.message-text').innerText(), text);
  return box;
}

async function answer(box, button) {
  await box.getByRole('button', { name: button }).click();
  await box.waitFor({ state: 'detached' });
}

// What the page head says: name | number | date (hidden entries are "").
function head(z) {
  return entry(z).locator('.record').evaluate((dl) => ['zelka-client', 'zelka-number', 'zelka-date']
    .map((name) => dl.querySelector(`output[name="${name}"]`).value).join('|'));
}

// Clients for the searches: one name in full-width katakana with an
// ideographic space, and sixty more to make a long list.
function addClients(appDir) {
  execFileSync(ZELKA_BIN, ['init', '--app-dir', appDir]);
  let text = "INSERT INTO [相談受付表] ([整理番号],[1-1],[1-3-1]) VALUES (41,'ヤマダ　ハナコ','1937-03-04');\n";
  for (let n = 100; n < 160; n++) text += `INSERT INTO [相談受付表] ([整理番号],[1-1]) VALUES (${n},'テスト ${n}');\n`;
  execFileSync('sqlite3', [path.join(appDir, 'ZELKA20.mdb')], { input: text });
}

test('keyboard and era dates: picker, access keys, jump menu, head, refusals and 元年', async () => {
  const z = await openZelka();
  try {
    await z.page.setViewportSize({ width: 1366, height: 625 });
    await z.menu.getByRole('button', { name: '新規受付', exact: true }).click();
    await shows(z, 'UKETUKE1');
    const field = (name) => entry(z).locator(`[name="${name}"]`);
    await field('zlk_整理番号').fill('31');
    await field('zlk_1_1').fill('ヤマダ　ハナコ');

    // A 1937 birth date in a few steps: F4, the year typed on the year list,
    // the month from its list, the day, Enter. The caret then goes on.
    await field('zlk_1_3_1').press('F4');
    const picker = dialog(z, 'カレンダー');
    await picker.waitFor();
    const years = picker.getByLabel('年', { exact: true });
    assert.ok((await years.locator('option').allInnerTexts()).includes('昭和12年 (1937)'));
    assert.ok((await years.locator('option').allInnerTexts()).includes('昭和64年/平成元年 (1989)'));
    await years.focus();
    await z.page.keyboard.type('1937');
    await picker.getByLabel('月', { exact: true }).selectOption('3');
    await picker.getByRole('button', { name: '1937年3月4日' }).click();
    assert.equal(await picker.locator('.calendar-month').innerText(), '昭和12年3月');
    await shot(z, 'picker-1937');
    await z.page.keyboard.press('Enter');
    await picker.waitFor({ state: 'detached' });
    await z.page.waitForFunction(() => document.getElementById('frame-entry').contentDocument
      .getElementsByName('zlk_1_3_1')[0].value === '1937/03/04');
    await z.page.waitForFunction(() => document.getElementById('frame-entry').contentDocument.activeElement.name === 'zlk_1_3_2');

    // Esc leaves the field as it was, with the caret back in it.
    await field('zlk_受付日時').press('F4');
    await picker.waitFor();
    assert.equal(await picker.getByRole('combobox').count(), 4, 'year, month, hour and minute');
    const row = await picker.locator('[data-control="cbHour"]').boundingBox();
    const minutes = await picker.locator('[data-control="cbMinutes"]').boundingBox();
    assert.ok(Math.abs(row.y - minutes.y) < 4, 'the time on one row');
    await shot(z, 'picker-time');
    await z.page.keyboard.press('Escape');
    await picker.waitFor({ state: 'detached' });
    await z.page.waitForFunction(() => document.getElementById('frame-entry').contentDocument.activeElement.name === 'zlk_受付日時');

    // A refused value names its item; the box keeps clear of the marked field.
    await field('zlk_1_4_2').fill('0'.repeat(21));
    await z.page.keyboard.press('Alt+N');
    const refusal = await message(z, '1-4-2 電話番号: 文字数が多すぎます。20文字以内で入力してください。');
    const boxRect = await refusal.boundingBox();
    const fieldRect = await field('zlk_1_4_2').boundingBox();
    assert.ok(boxRect.y >= fieldRect.y + fieldRect.height || boxRect.y + boxRect.height <= fieldRect.y,
      'the message does not cover the field');
    await shot(z, 'refused-named');
    await answer(refusal, 'OK');
    assert.equal(await caretField(z), 'zlk_1_4_2');
    assert.equal(await field('zlk_1_4_2').evaluate((e) => getComputedStyle(e).color), 'rgb(0, 0, 0)');
    await shot(z, 'refused-mark');
    await field('zlk_1_4_2').fill('03-1234-5678');

    // Alt+J from inside a field opens the menu; Esc puts the caret back.
    await field('zlk_1_1').focus();
    await z.page.keyboard.press('Alt+J');
    await z.page.getByRole('menuitem', { name: 'Ⅰ.受付情報' }).waitFor();
    assert.equal(await z.page.evaluate(() => document.activeElement.getAttribute('role')), 'menuitem');
    await z.page.keyboard.press('Escape');
    assert.equal(await caretField(z), 'zlk_1_1');
    // The page's own access key from the shell: Alt+N with the caret on the menu button.
    await z.page.locator('#entry-menu-button').focus();
    await z.page.keyboard.press('Alt+N');
    await shows(z, 'UKETUKE2');
    assert.equal(await head(z), 'ヤマダ　ハナコ|31|');
    await entry(z).locator('button.move.close').click();
    await z.page.locator('#view-main').waitFor();

    // A new assessment by keyboard: the search, the reference date refused
    // with its reason, then 令和元年 from the picker.
    await z.menu.getByRole('button', { name: '新規アセスメント', exact: true }).click();
    const search = dialog(z, SEARCH);
    await search.getByLabel('整理番号').fill('31');
    await z.page.keyboard.press('Enter');
    await search.locator('tbody tr').first().waitFor();
    await z.page.keyboard.press('ArrowDown');
    await z.page.keyboard.press('Enter');
    const dateBox = dialog(z, 'アセスメント基準日の設定');
    await dateBox.getByLabel('アセスメント基準日').fill('平成31年5月1日');
    await z.page.keyboard.press('Enter');
    const why = await message(z, '基準日の指定の仕方が間違っています\n平成は平成31年4月30日で終わっています。この日付は令和元年5月1日です。');
    await shot(z, 'refused-era');
    await answer(why, 'OK');
    await dateBox.getByRole('button', { name: '...' }).click();
    await picker.waitFor();
    await picker.getByLabel('年', { exact: true }).selectOption('2019');
    await picker.getByLabel('月', { exact: true }).selectOption('5');
    await picker.getByRole('button', { name: '2019年5月1日' }).click();
    assert.equal(await picker.locator('.calendar-month').innerText(), '令和元年5月');
    await picker.getByRole('button', { name: 'OK' }).click();
    await z.page.waitForFunction(() => document.querySelector('.modal input')?.value === '令和元年05月01日');
    await dateBox.getByLabel('アセスメント基準日').press('Enter');
    await shows(z, 'AA');
    assert.equal(await head(z), 'ヤマダ　ハナコ|31|令和元年5月1日');
    await shot(z, 'page-head');

    // The jump menu fits or scrolls: every item by mouse and by keyboard.
    const menu = z.page.locator('#entry-menu-list');
    for (const height of [625, 500]) {
      await z.page.setViewportSize({ width: 1366, height });
      await z.page.keyboard.press('Alt+J');
      const box = await menu.boundingBox();
      assert.ok(box.y + box.height <= height, `the menu ends inside ${height} px`);
      const items = await menu.getByRole('menuitem').all();
      assert.equal(items.length, 20);
      for (const item of items) {
        await item.scrollIntoViewIfNeeded();
        const r = await item.boundingBox();
        const hit = await z.page.evaluate(([x, y]) => document.elementFromPoint(x, y)?.textContent, [r.x + 20, r.y + r.height / 2]);
        assert.equal(hit, await item.innerText(), 'a click there reaches the item');
      }
      await z.page.keyboard.press('End');
      assert.equal(await z.page.evaluate(() => document.activeElement.textContent), 'S.薬物治療調査法');
      if (height === 500) await shot(z, 'jump-menu-500');
      await z.page.keyboard.press('ArrowUp');
      assert.equal(await z.page.evaluate(() => document.activeElement.textContent), 'R.アセスメントへの参加');
      await z.page.keyboard.press('Escape');
    }
    await z.page.setViewportSize({ width: 1366, height: 625 });
    await z.page.keyboard.press('Alt+J');
    await z.page.keyboard.press('r');
    await z.page.keyboard.press('Enter');
    await shows(z, 'R');
    await z.page.getByRole('button', { name: 'ジャンプ(J)' }).click();
    await z.page.getByRole('menuitem', { name: 'S.薬物治療調査法' }).click();
    await shows(z, 'S');
    assert.equal(await head(z), 'ヤマダ　ハナコ|31|令和元年5月1日');
    await entry(z).locator('button.move.close').click();
    await z.page.locator('#view-main').waitFor();

    // The same client and day again: refused, the date read as Japanese users read it.
    await z.menu.getByRole('button', { name: '新規アセスメント', exact: true }).click();
    await search.getByLabel('整理番号').fill('31');
    await z.page.keyboard.press('Enter');
    await search.locator('tbody tr').first().waitFor();
    await z.page.keyboard.press('ArrowDown');
    await z.page.keyboard.press('Enter');
    await dateBox.getByLabel('アセスメント基準日').fill('R1.5.1');
    await z.page.keyboard.press('Enter');
    await answer(await message(z, '既に、整理番号[31]、アセスメント基準日[令和元年05月01日]でデータが登録されています'), 'OK');
  } finally {
    await z.close();
  }
});

test('search dialogs by keyboard alone, names in any kana, width or spacing, and a plain duplicate message', async () => {
  const z = await openZelka(addClients);
  try {
    await z.page.setViewportSize({ width: 1366, height: 625 });
    await z.menu.getByRole('button', { name: '受付表の修正', exact: true }).click();
    const search = dialog(z, SEARCH);
    const name = search.getByLabel('対象者氏名(フリガナ)');
    const firstCells = () => search.locator('tbody tr td:first-child').allInnerTexts();
    for (const typed of ['やまだ', 'ﾔﾏﾀﾞ', 'ヤマダハナコ', 'ヤマダ ハナコ']) {
      await name.fill(typed);
      await name.press('Enter');
      await z.page.waitForFunction((t) => lastState.requests.some((r) => r.kind === 'dialog'
        && r.controls.some((c) => c.id === 'txtTaisyo' && c.value === t)), typed);
      assert.deepEqual(await firstCells(), ['41'], typed);
      // The caret stays in the field, where it was.
      assert.equal(await z.page.evaluate(() => document.activeElement.labels?.[0]?.textContent), '対象者氏名(フリガナ)');
    }

    // A long list: ↓ into it, End to its last row (scrolled into view),
    // Delete asks, Enter answers はい.
    await name.fill('テスト');
    await name.press('Enter');
    await search.locator('tbody tr').nth(59).waitFor();
    await z.page.keyboard.press('ArrowDown');
    await z.page.keyboard.press('End');
    const last = search.locator('tbody tr').nth(59);
    assert.equal(await last.getAttribute('aria-selected'), 'true');
    const frame = await search.locator('.grid-frame').boundingBox();
    const lastBox = await last.boundingBox();
    assert.ok(lastBox.y + lastBox.height <= frame.y + frame.height + 1, 'the chosen row is in view');
    await shot(z, 'search-long');
    await z.page.keyboard.press('Delete');
    const question = await message(z, '整理番号[159] 対象者名[テスト 159]のデータを\nすべて削除しますか？');
    await z.page.keyboard.press('Enter');
    await question.waitFor({ state: 'detached' });
    await search.locator('tbody tr').nth(59).waitFor({ state: 'detached' });
    assert.equal(await search.locator('tbody tr').count(), 59);
    assert.equal(await z.page.evaluate(() => document.activeElement.tagName), 'TR', 'the caret is back on the rows');

    // Choosing: ↑ to the row, Enter.
    await name.fill('ﾊﾅｺ');
    await name.press('Enter');
    await z.page.waitForFunction(() => document.querySelectorAll('.modal tbody tr').length === 1);
    await z.page.keyboard.press('ArrowDown');
    await z.page.keyboard.press('Enter');
    await shows(z, 'UKETUKE1');
    assert.equal(await head(z), 'ヤマダ　ハナコ|41|');
    await entry(z).locator('button.move.close').click();
    await z.page.locator('#view-main').waitFor();

    // A new intake on a number already taken: the DEBUG box says so first.
    await z.menu.getByRole('button', { name: '新規受付', exact: true }).click();
    await shows(z, 'UKETUKE1');
    await entry(z).locator('[name="zlk_整理番号"]').fill('41');
    await entry(z).locator('[name="zlk_1_1"]').press('Alt+S');
    await answer(dialog(z, '整理番号が重複しています'), 'OK');
    const debug = dialog(z, 'DEBUG');
    const text = await debug.locator('.message-text').innerText();
    assert.match(text, /^この整理番号のデータは既に登録されています。.*\n\n技術情報: /s);
    await shot(z, 'duplicate-debug');
    await answer(debug, 'OK');
  } finally {
    await z.close();
  }
});
