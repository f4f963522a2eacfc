// A care manager's day at a laptop's page size (1366x625), by keyboard where
// it matters: the jump menu, access keys from inside a page, the calendar and
// where the caret goes after it, era dates with 元年 and why a date is
// refused, the page head, a message that names its item, and the search
// dialogs by keyboard alone. (Choosing in a search by keyboard is walked by
// 新規アセスメント; which names a search finds, and the dates an era does not
// reach, are counted in the C++ search and date tests.)
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { APP_TITLE, answerMessage, openZelka, settled, withStore } from './zelka.mjs';

const entry = (z) => z.page.frameLocator('#frame-entry');
const dialog = (z, name) => z.page.getByRole('dialog', { name });
const press = (z, key) => z.page.keyboard.press(key);
const active = (z) => z.page.evaluate(() => document.activeElement.textContent);
// Resolves once the entry page's field `name` has the caret.
const caretIn = (z, name) => z.page.waitForFunction((n) => document.activeElement.id === 'frame-entry'
  && document.getElementById('frame-entry').contentDocument.activeElement.name === n, name);
// Waits until the entry page's field `name` has the background `rgb`.
const painted = (z, name, rgb) => z.page.waitForFunction(([n, c]) => {
  const e = document.getElementById('frame-entry').contentDocument.getElementsByName(n)[0];
  return e && getComputedStyle(e).backgroundColor === c;
}, [name, rgb]);
const [RED, WHITE] = ['rgb(255, 0, 0)', 'rgb(255, 255, 255)'];
// What the page head says: name|number|date.
const head = (z) => entry(z).locator('.record output').evaluateAll((list) => list.map((o) => o.value).join('|'));

async function message(z, text) {
  const box = dialog(z, APP_TITLE);
  assert.equal(await box.locator('.message-text').innerText(), text);
  return box;
}

// One client as users keep names (full-width katakana, ideographic space)
// and sixty more for a long list.
let clients = "INSERT INTO [相談受付表] ([整理番号],[1-1]) VALUES (41,'ヤマダ　ハナコ');\n";
for (let n = 100; n < 160; n++) clients += `INSERT INTO [相談受付表] ([整理番号],[1-1]) VALUES (${n},'テスト ${n}');\n`;

test('a day by keyboard: calendar, access keys, jump menu, page head, refusals, 元年 and a long search list', async () => {
  const z = await openZelka(withStore(clients));
  try {
    await z.page.setViewportSize({ width: 1366, height: 625 });
    await z.menu.getByRole('button', { name: '新規受付', exact: true }).click();
    await settled(z.page, 'UKETUKE1');
    const field = (name) => entry(z).locator(`[name="${name}"]`);
    await field('zlk_整理番号').fill('31');
    await field('zlk_1_1').fill('ヤマダ　ハナコ');

    // 1937 in a few steps: F4, the year typed on its list, the month, the day, Enter.
    await field('zlk_1_3_1').press('F4');
    const picker = dialog(z, 'カレンダー');
    await picker.waitFor();
    const years = picker.getByLabel('年', { exact: true });
    const labels = await years.locator('option').allInnerTexts();
    assert.ok(labels.includes('昭和12年 (1937)') && labels.includes('昭和64年/平成元年 (1989)'));
    await years.focus();
    await z.page.keyboard.type('1937');
    await picker.getByLabel('月', { exact: true }).selectOption('3');
    await picker.getByRole('button', { name: '1937年3月4日' }).click();
    assert.equal(await picker.locator('.calendar-month').innerText(), '昭和12年3月');
    await press(z, 'Enter');
    await caretIn(z, 'zlk_1_3_2');  // on to the next field, as Enter goes
    assert.equal(await field('zlk_1_3_1').inputValue(), '1937/03/04');
    // The age in completed years by the program's clock.
    const today = new Date();
    const age = today.getFullYear() - 1937 - (today.getMonth() < 2 || (today.getMonth() === 2 && today.getDate() < 4) ? 1 : 0);
    assert.equal(await field('zlk_1_3_2').inputValue(), String(age));

    // The time on one row; Esc leaves the field with the caret back in it.
    await field('zlk_受付日時').press('F4');
    await picker.waitFor();
    const [hour, minute] = await Promise.all(['cbHour', 'cbMinutes']
      .map((id) => picker.locator(`[data-control="${id}"]`).boundingBox()));
    assert.ok(Math.abs(hour.y - minute.y) < 4);
    await press(z, 'Escape');
    await caretIn(z, 'zlk_受付日時');

    // A refusal names its item, keeps clear of the field, marks it red with
    // the caret in it and leaves it readable.
    await field('zlk_1_4_2').fill('0'.repeat(21));
    await press(z, 'Alt+N');
    const refusal = await message(z, '1-4-2 電話番号: 文字数が多すぎます。20文字以内で入力してください。');
    const [box, marked] = [await refusal.boundingBox(), await field('zlk_1_4_2').boundingBox()];
    assert.ok(box.y >= marked.y + marked.height || box.y + box.height <= marked.y, 'the field stays visible');
    await refusal.getByRole('button', { name: 'OK' }).click();
    await caretIn(z, 'zlk_1_4_2');
    await painted(z, 'zlk_1_4_2', RED);
    assert.equal(await field('zlk_1_4_2').evaluate((e) => getComputedStyle(e).color), 'rgb(0, 0, 0)');

    // Put right, its mark goes once a later field is marked: a date, refused with the reason.
    await field('zlk_1_4_2').fill('03-1234-5678');
    await field('zlk_1_8_1_2').fill('2026/13/01');
    await press(z, 'Alt+N');
    await answerMessage(z.page, '1-8-1-2 発症時期: 日付または時間を入力する項目で、正しく入力していないところがあります\n月は1から12までです。');
    await caretIn(z, 'zlk_1_8_1_2');
    await painted(z, 'zlk_1_8_1_2', RED);
    await painted(z, 'zlk_1_4_2', WHITE);

    // A reloaded tab shows the page with its marks as they were (the typed
    // values come back as in entry.test.mjs).
    await z.page.reload();
    await settled(z.page, 'UKETUKE1');
    await painted(z, 'zlk_1_8_1_2', RED);
    assert.equal(await field('zlk_1_4_2').evaluate((e) => getComputedStyle(e).backgroundColor), WHITE);
    await field('zlk_1_8_1_2').fill('2026.04.01');

    // Alt+J from a field, Esc back to it; the page's Alt+N from the shell.
    await field('zlk_1_1').focus();
    await press(z, 'Alt+J');
    assert.equal(await active(z), 'Ⅰ.受付情報');
    await press(z, 'Escape');
    await caretIn(z, 'zlk_1_1');
    await z.page.locator('#entry-menu-button').focus();
    await press(z, 'Alt+N');
    await settled(z.page, 'UKETUKE2');
    assert.equal(await head(z), 'ヤマダ　ハナコ|31|');
    await press(z, 'Alt+S');
    await z.page.locator('#view-main').waitFor();

    // 新規アセスメント by keyboard: the client found by number and chosen;
    // the reference date 令和元年 from the calendar.
    await z.menu.getByRole('button', { name: '新規アセスメント', exact: true }).click();
    const search = dialog(z, '登録データの選択');
    await search.getByLabel('整理番号').fill('31');
    await press(z, 'Enter');
    await search.locator('tbody tr').first().waitFor();
    await press(z, 'ArrowDown');
    await press(z, 'Enter');
    const dateBox = dialog(z, 'アセスメント基準日の設定');
    await dateBox.getByRole('button', { name: '...' }).click();
    await years.selectOption('2019');
    await picker.getByLabel('月', { exact: true }).selectOption('5');
    await picker.getByRole('button', { name: '2019年5月1日' }).click();
    assert.equal(await picker.locator('.calendar-month').innerText(), '令和元年5月');
    await picker.getByRole('button', { name: 'OK' }).click();
    await z.page.waitForFunction(() => document.querySelector('.modal input')?.value === '令和元年05月01日');
    await dateBox.getByLabel('アセスメント基準日').press('Enter');
    await settled(z.page, 'AA');
    assert.equal(await head(z), 'ヤマダ　ハナコ|31|令和元年5月1日');

    // The jump menu fits or scrolls; every item by mouse and by keyboard.
    const menu = z.page.locator('#entry-menu-list');
    for (const height of [625, 500]) {
      await z.page.setViewportSize({ width: 1366, height });
      await press(z, 'Alt+J');
      const list = await menu.boundingBox();
      assert.ok(list.y + list.height <= height, `inside ${height} px`);
      for (const item of await menu.getByRole('menuitem').all()) {
        await item.scrollIntoViewIfNeeded();
        const r = await item.boundingBox();
        const hit = await z.page.evaluate(([x, y]) => document.elementFromPoint(x, y).textContent, [r.x + 20, r.y + r.height / 2]);
        assert.equal(hit, await item.innerText(), 'a click there reaches the item');
      }
      await press(z, 'End');
      assert.equal(await active(z), 'S.薬物治療調査法');
      await press(z, 'ArrowUp');
      assert.equal(await active(z), 'R.アセスメントへの参加');
      await press(z, 'Escape');
    }
    await z.page.setViewportSize({ width: 1366, height: 625 });
    await press(z, 'Alt+J');
    await press(z, 'r');
    await press(z, 'Enter');
    await settled(z.page, 'R');
    await press(z, 'Alt+S');
    await z.page.locator('#view-main').waitFor();

    // 受付表の修正 by keyboard: the name typed as users keep it finds both clients
    // of that name, and the caret stays in the field.
    await z.menu.getByRole('button', { name: '受付表の修正', exact: true }).click();
    const name = search.getByLabel('対象者氏名(フリガナ)');
    const rows = search.locator('tbody tr');
    await name.fill('ﾔﾏﾀﾞ');
    await press(z, 'Enter');
    await rows.first().waitFor();
    assert.deepEqual(await rows.locator('td:first-child').allInnerTexts(), ['31', '41']);
    assert.equal(await z.page.evaluate(() => document.activeElement.labels[0].textContent), '対象者氏名(フリガナ)');

    // A long list: ↓ into it, End to its last row (in view), Delete asks, Enter is はい.
    await name.fill('テスト');
    await press(z, 'Enter');
    await rows.nth(59).waitFor();
    await press(z, 'ArrowDown');
    await press(z, 'End');
    assert.equal(await rows.nth(59).getAttribute('aria-selected'), 'true');
    const [frame, last] = [await search.locator('.grid-frame').boundingBox(), await rows.nth(59).boundingBox()];
    assert.ok(last.y + last.height <= frame.y + frame.height + 1, 'the chosen row is in view');
    await press(z, 'Delete');
    const question = await message(z, '整理番号[159] 対象者名[テスト 159]のデータを\nすべて削除しますか？');
    await press(z, 'Enter');
    await question.waitFor({ state: 'detached' });
    await rows.nth(59).waitFor({ state: 'detached' });
    assert.equal(await z.page.evaluate(() => document.activeElement.tagName), 'TR', 'the caret is back on the rows');
  } finally {
    await z.close();
  }
});
