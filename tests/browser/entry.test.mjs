// The daily data entry on the real pages: a new intake over its five pages
// and an assessment of that client over its twenty, both opened again through
// the search dialogs with every value in place; the date dialogs, the checks
// of typed values, the duplicate assessment and the title-bar close. Prints
// the time of a page move (store the page, show and fill the next one).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { answerMessage, openZelka, settled as settledPage } from './zelka.mjs';

const SECTIONS = ['AA', ...'ABCDEFGHIJKLMNOPQRS'];
const MENU = {
  UKETUKE5: 'Ⅴ.現在の状態およびサービス内容',
  AA: 'AA.基本情報', H: 'H.IADL(過去7日間)とADL(過去3日間)', S: 'S.薬物治療調査法',
};
// AA items a new assessment copies from the intake.
const COPIED_TO_AA = ['zlk_AA_1', 'zlk_AA_2', 'zlk_AA_3_1', 'zlk_AA_3_2', 'zlk_AA_4'];
const NUMBER_MESSAGE = '数値を入力する項目で、数字以外の文字が入力されています。';
const DATE_MESSAGE = '日付または時間を入力する項目で、正しく入力していないところがあります';
const RED = 'rgb(255, 0, 0)';
const WHITE = 'rgb(255, 255, 255)';

// The element's value once it equals `expected`, or its value after `timeout` ms.
async function valueOnceSettled(locator, expected, timeout = 5000) {
  const end = Date.now() + timeout;
  let value = await locator.inputValue();
  while (value !== expected && Date.now() < end) {
    await new Promise((resolve) => setTimeout(resolve, 25));
    value = await locator.inputValue();
  }
  return value;
}

const entry = (z) => z.page.frameLocator('#frame-entry');
const dialog = (z, name) => z.page.getByRole('dialog', { name });

const settled = (z, file) => settledPage(z.page, file);

async function mainCommand(z, name) {
  await z.menu.getByRole('button', { name, exact: true }).click();
}

// The bound elements of the entry page, in form order.
function boundElements(z) {
  return z.page.evaluate(() => {
    const form = document.getElementById('frame-entry').contentDocument.forms[0];
    return Array.from(form.elements).filter((e) => e.name.startsWith('zlk')).map((e) => ({
      name: e.name, type: e.type, className: e.className, placeholder: e.placeholder || '',
      options: e.type === 'select-one' ? Array.from(e.options).map((o) => o.value) : [],
    }));
  });
}

function readElements(z) {
  return z.page.evaluate(() => {
    const form = document.getElementById('frame-entry').contentDocument.forms[0];
    const values = {};
    for (const e of form.elements) if (e.name.startsWith('zlk')) values[e.name] = e.type === 'checkbox' ? e.checked : e.value;
    return values;
  });
}

// A value for each kind of element, varied by its position so that a value
// landing in the wrong column shows.
function valueFor(element, index) {
  const day = String(1 + (index % 28)).padStart(2, '0');
  if (element.type === 'checkbox') return index % 2 === 0;
  if (element.type === 'select-one') {
    const codes = element.options.filter((o) => o !== '');
    return codes[index % codes.length];
  }
  if (element.type === 'textarea') return `行${index}\n二行目`;
  if (element.placeholder === 'yyyy/mm/dd hh:nn') return `2026/10/${day} 09:${String(index % 60).padStart(2, '0')}`;
  if (element.placeholder === 'hh:nn') return `${String(index % 24).padStart(2, '0')}:15`;
  if (element.className.includes('date')) return `2025/07/${day}`;
  if (element.className.includes('num')) return String(10 + (index % 80));
  return `値${index}`;
}

// Types a value into every bound element but those in `skip`; returns what
// the page should show when opened again.
async function fillPage(z, skip = []) {
  const frame = entry(z);
  const expected = {};
  const elements = await boundElements(z);
  for (const [index, element] of elements.entries()) {
    if (skip.includes(element.name)) continue;
    const value = valueFor(element, index);
    const target = frame.locator(`[name="${element.name}"]`);
    if (element.type === 'checkbox') await target.setChecked(value);
    else if (element.type === 'select-one') await target.selectOption(value);
    else await target.fill(value);
    expected[element.name] = value;
  }
  return expected;
}

function assertShows(actual, expected, page) {
  for (const [name, value] of Object.entries(expected)) assert.deepEqual(actual[name], value, `${page} ${name}`);
}

const nextButton = (z) => entry(z).locator('button.move.next');
const closeButton = (z) => entry(z).locator('button.move.close');

async function jump(z, caption) {
  await z.page.getByRole('button', { name: 'ジャンプ(J)' }).click();
  await z.page.getByRole('menuitem', { name: caption, exact: true }).click();
}

// Moves to `file` and times it, in the browser, from the click until the
// page shows `name` = `value`: by the page's next button, or by the entry
// menu item `caption`. A menu jump to a page that is not a neighbour of the
// shown one loads it on demand; a next page comes built ahead.
function timedMove(z, { caption = null, file, name, value }) {
  return z.page.evaluate(async ({ caption, file, name, value }) => {
    let target;
    if (caption === null) {
      target = document.getElementById('frame-entry').contentDocument.querySelector('button.move.next');
    } else {
      document.getElementById('entry-menu-button').click();
      target = Array.from(document.querySelectorAll('#entry-menu-list [role="menuitem"]'))
        .find((li) => li.textContent === caption);
    }
    const start = performance.now();
    target.click();
    for (;;) {
      await new Promise((resolve) => setTimeout(resolve, 1));
      // The next page may come in a frame of its own, built ahead.
      const doc = document.getElementById('frame-entry').contentDocument;
      if (!doc || !doc.URL.endsWith(`/FORM/${file}.HTM`) || !doc.forms[0]) continue;
      const element = doc.forms[0].elements.namedItem(name);
      if (element && (element.type === 'checkbox' ? element.checked === value : element.value === value)) {
        return performance.now() - start;
      }
    }
  }, { caption, file, name, value });
}

// The last element a page was given a value that differs from an empty page.
function telltale(expected) {
  const named = Object.entries(expected).filter(([, v]) => v !== false && v !== '');
  return named[named.length - 1];
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

// Moves through `pages` by the next button (or the entry menu), timing each
// move, and checks every page shows what was entered.
async function walkPages(z, what, pages, expected, byMenu = false) {
  const times = [];
  for (const page of pages) {
    const [name, value] = telltale(expected[page]);
    const caption = !byMenu ? null : MENU[page] || await z.page.evaluate((p) => Array.from(
      document.querySelectorAll('#entry-menu-list [role="menuitem"]')).map((li) => li.textContent)
      .find((text) => text.startsWith(`${p}.`)), page);
    times.push(await timedMove(z, { caption, file: page, name, value }));
    await settled(z, page);
    assertShows(await readElements(z), expected[page], page);
  }
  console.log(`${what} (ms): ${times.map((t) => t.toFixed(1)).join(' ')}; median ${median(times).toFixed(1)}`);
}

const answer = (z, text, button) => answerMessage(z.page, text, button);

// Starts a command of the main menu, finds the record by its number in the
// search and highlights the row whose cells contain `rowText`; 選択 unless told not to.
async function openRecord(z, command, number, { rowText = String(number), choose = true } = {}) {
  await mainCommand(z, command);
  const box = dialog(z, '登録データの選択');
  await box.getByLabel('整理番号').fill(String(number));
  await box.getByRole('button', { name: 'データ検索' }).click();
  await box.getByRole('row').filter({ hasText: rowText }).first().click();
  if (choose) await box.getByRole('button', { name: '選択' }).click();
  return box;
}

async function pickReferenceDate(z, text) {
  const box = dialog(z, 'アセスメント基準日の設定');
  await box.waitFor();
  await box.getByLabel('アセスメント基準日').fill(text);
  await box.getByRole('button', { name: 'OK' }).click();
  await box.waitFor({ state: 'detached' });
}

async function waitMainShown(z) {
  await z.page.locator('#view-main').waitFor({ state: 'visible' });
}

function ageOn(birth, today) {
  let age = today.getFullYear() - birth.getFullYear();
  if (today.getMonth() < birth.getMonth()
    || (today.getMonth() === birth.getMonth() && today.getDate() < birth.getDate())) age -= 1;
  return age;
}

test('a new intake over its five pages and an assessment over its twenty are found again, value for value', async () => {
  const z = await openZelka();
  try {
    await mainCommand(z, '新規受付');
    await settled(z, 'UKETUKE1');
    const expected = {};
    expected.UKETUKE1 = await fillPage(z, ['zlk_整理番号']);
    await entry(z).locator('[name="zlk_整理番号"]').fill('101');
    expected.UKETUKE1.zlk_整理番号 = '101';

    // The birth date from the picker, started from a date written with points:
    // a birthday late in the year, so the age counts completed years.
    await entry(z).locator('[name="zlk_1_3_1"]').fill('1950.12.01');
    await entry(z).getByRole('button', { name: '生年月日を選ぶ' }).click();
    const picker = dialog(z, 'カレンダー');
    assert.equal(await picker.locator('.calendar-month').innerText(), '1950年12月');
    assert.equal(await picker.getByRole('combobox').count(), 0, 'a date alone: no hour and minute lists');
    await picker.getByRole('button', { name: '1950年12月31日' }).click();
    await picker.getByRole('button', { name: 'OK' }).click();
    await picker.waitFor({ state: 'detached' });
    const age = String(ageOn(new Date(1950, 11, 31), new Date()));
    // The program writes the picked date without waiting for the tab: the fields may fill a moment later.
    assert.equal(await valueOnceSettled(entry(z).locator('[name="zlk_1_3_1"]'), '1950/12/31'), '1950/12/31');
    assert.equal(await valueOnceSettled(entry(z).locator('[name="zlk_1_3_2"]'), age), age);
    Object.assign(expected.UKETUKE1, { zlk_1_3_1: '1950/12/31', zlk_1_3_2: age });

    // Pages 2 and 3 by the page buttons, 4 by the menu, 5 by the menu.
    for (const page of ['UKETUKE2', 'UKETUKE3']) {
      await nextButton(z).click();
      await settled(z, page);
      expected[page] = await fillPage(z);
    }
    await jump(z, 'Ⅳ.家族に関する情報');
    await settled(z, 'UKETUKE4');
    expected.UKETUKE4 = await fillPage(z);
    // Ⅵ has no page of its own: the menu offers it greyed.
    await z.page.getByRole('button', { name: 'ジャンプ(J)' }).click();
    assert.equal(await z.page.getByRole('menuitem', { name: 'Ⅵ.住居環境' }).getAttribute('aria-disabled'), 'true');
    await z.page.keyboard.press('Escape');
    await jump(z, MENU.UKETUKE5);
    await settled(z, 'UKETUKE5');
    expected.UKETUKE5 = await fillPage(z);
    await closeButton(z).click();
    await waitMainShown(z);

    await openRecord(z, '受付表の修正', 101);
    await settled(z, 'UKETUKE1');
    assertShows(await readElements(z), expected.UKETUKE1, 'UKETUKE1');
    await walkPages(z, 'intake page moves', ['UKETUKE2', 'UKETUKE3', 'UKETUKE4', 'UKETUKE5'], expected);
    await closeButton(z).click();
    await waitMainShown(z);

    // The client's first assessment starts on AA, with the intake's items.
    await openRecord(z, '新規アセスメント', 101);
    await pickReferenceDate(z, '2026/11/20');
    await settled(z, 'AA');
    const copied = await readElements(z);
    const intake = expected.UKETUKE1;
    assert.deepEqual([copied.zlk_AA_1, copied.zlk_AA_2, copied.zlk_AA_3_1, copied.zlk_AA_3_2, copied.zlk_AA_4],
      [intake.zlk_1_1, intake.zlk_1_2, '1950/12/31', age, intake.zlk_受付日時]);
    expected.AA = { ...await fillPage(z, COPIED_TO_AA), zlk_AA_1: copied.zlk_AA_1, zlk_AA_2: copied.zlk_AA_2 };

    // On through every section: page buttons, and the jump menu for H and S.
    for (const section of SECTIONS.slice(1)) {
      if (section === 'H' || section === 'S') await jump(z, MENU[section]);
      else await nextButton(z).click();
      await settled(z, section);
      if (section === 'A') assert.equal((await readElements(z)).zlk_A1, '2026/11/20', 'A1 is the reference date');
      expected[section] = await fillPage(z, ['zlk_A1']);
    }
    await closeButton(z).click();
    await waitMainShown(z);

    // Opened again from the assessment search: every answer on every page.
    await openRecord(z, 'アセスメントの修正', 101);
    await settled(z, 'A');
    await jump(z, MENU.AA);
    await settled(z, 'AA');
    assertShows(await readElements(z), expected.AA, 'AA');
    await walkPages(z, 'assessment page moves', SECTIONS.slice(1), expected);
    await walkPages(z, 'assessment menu jumps', ['H', 'D', 'P', 'K', 'AA'], expected, true);
    await closeButton(z).click();
    await waitMainShown(z);

    // A second assessment, its date from the calendar: it starts on A.
    await openRecord(z, '新規アセスメント', 101);
    const dateBox = dialog(z, 'アセスメント基準日の設定');
    await dateBox.getByRole('button', { name: '...' }).click();
    const month = await picker.locator('.calendar-month').innerText();
    const [, year, monthNumber] = /^(\d+)年(\d+)月$/.exec(month);
    await picker.getByRole('button', { name: `${month}1日` }).click();
    await picker.getByRole('button', { name: 'OK' }).click();
    await picker.waitFor({ state: 'detached' });
    await z.page.waitForFunction(() => /^令和/.test(document.querySelector('.modal input')?.value || ''));
    const mm = monthNumber.padStart(2, '0');
    assert.match(await dateBox.getByLabel('アセスメント基準日').inputValue(), new RegExp(`^令和\\d+年${mm}月01日$`));
    await dateBox.getByRole('button', { name: 'OK' }).click();
    await settled(z, 'A');
    const second = `${year}/${mm}/01`;
    assert.equal((await readElements(z)).zlk_A1, second);

    // The title-bar close asks first: いいえ keeps the window and what was typed,
    // はい closes it and stores nothing of the page.
    await entry(z).locator('[name="zlk_A2_2"]').fill('保存しない');
    for (const button of ['いいえ', 'はい']) {
      await z.page.getByRole('button', { name: '閉じる' }).click();
      await answer(z, 'データを保存しないで終了しますか？', button);
      if (button === 'いいえ') assert.equal(await entry(z).locator('[name="zlk_A2_2"]').inputValue(), '保存しない');
    }
    await waitMainShown(z);
    let search = await openRecord(z, 'アセスメントの修正', 101, { rowText: second, choose: false });
    assert.equal(await search.getByRole('row').count(), 3, 'a heading and two assessments');
    await search.getByRole('button', { name: '選択' }).click();
    await settled(z, 'A');
    assert.equal((await readElements(z)).zlk_A2_2, '');
    await closeButton(z).click();
    await waitMainShown(z);

    // The same client on the first date again: refused, in the era form, and nothing is added.
    await openRecord(z, '新規アセスメント', 101);
    await pickReferenceDate(z, '令和8年11月20日');
    await answer(z, '既に、整理番号[101]、アセスメント基準日[令和8年11月20日]でデータが登録されています', 'OK');
    search = await openRecord(z, 'アセスメントの修正', 101, { choose: false });
    assert.equal(await search.getByRole('row').count(), 3);
  } finally {
    await z.close();
  }
});

test('a wrong number or date is refused with its message, focused and red, and turns white once right', async () => {
  const z = await openZelka();
  try {
    await mainCommand(z, '新規受付');
    await settled(z, 'UKETUKE1');
    const field = (name) => entry(z).locator(`[name="${name}"]`);
    const background = (name) => field(name).evaluate((e) => getComputedStyle(e).backgroundColor);
    // The marks of the fields that passed are cleared after the failing one is marked.
    const turnsWhite = (name) => z.page.waitForFunction((n) => {
      const e = document.getElementById('frame-entry').contentDocument.getElementsByName(n)[0];
      return getComputedStyle(e).backgroundColor === 'rgb(255, 255, 255)';
    }, name, { timeout: 5000 });
    const refusedWith = async (message, name) => {
      await nextButton(z).click();
      await answer(z, message, 'OK');
      await z.page.waitForFunction((n) => {
        const e = document.getElementById('frame-entry').contentDocument.getElementsByName(n)[0];
        return e.ownerDocument.activeElement === e && e.style.backgroundColor === 'rgb(255, 0, 0)';
      }, name);
      assert.equal(await background(name), RED);
      assert.match(await entry(z).locator('h1').innerText(), /受付情報/, 'the page stays');
    };
    await field('zlk_整理番号').fill('55');
    await field('zlk_1_1').fill('スズキ イチロウ');

    await field('zlk_1_3_2').fill('1,000');
    await refusedWith(NUMBER_MESSAGE, 'zlk_1_3_2');

    // Corrected (full-width digits are digits), but a later date is wrong.
    await field('zlk_1_3_2').fill('７６');
    await field('zlk_1_8_1_2').fill('2026/13/01');
    await refusedWith(DATE_MESSAGE, 'zlk_1_8_1_2');
    await turnsWhite('zlk_1_3_2');

    await field('zlk_1_8_1_2').fill('2026.04.01');
    await field('zlk_1_8_1_4').fill('あした');
    await refusedWith(DATE_MESSAGE, 'zlk_1_8_1_4');
    await turnsWhite('zlk_1_8_1_2');
    assert.equal(await background('zlk_1_3_2'), WHITE);

    // A reloaded tab shows the page with its marks and typed values as they were.
    await z.page.waitForTimeout(500);  // the typed values reach the program
    await z.page.reload();
    await settled(z, 'UKETUKE1');
    await z.page.waitForFunction(() => {
      const e = document.getElementById('frame-entry').contentDocument.getElementsByName('zlk_1_8_1_4')[0];
      return e && e.style.backgroundColor === 'rgb(255, 0, 0)';
    }, null, { timeout: 5000 });
    assert.equal(await background('zlk_1_8_1_2'), WHITE);
    assert.equal(await field('zlk_1_8_1_4').inputValue(), 'あした');

    await field('zlk_1_8_1_4').fill('');
    await nextButton(z).click();
    await settled(z, 'UKETUKE2');
    await jump(z, 'Ⅰ.受付情報');
    await settled(z, 'UKETUKE1');
    const shown = await readElements(z);
    assert.equal(shown.zlk_1_3_2, '76');
    assert.equal(shown.zlk_1_8_1_2, '2026/04/01');
    assert.equal(shown.zlk_1_8_1_4, '');
  } finally {
    await z.close();
  }
});
