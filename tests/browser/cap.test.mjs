// The CAP functions in the browser: the CAP review worksheet from the main
// menu (assessment search, save dialog, RTF file), the hidden verification
// run with its export, and deletion from the search. (The CAP list is in
// print.test.mjs.)
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { APP_TITLE, ZELKA_BIN, openZelka } from './zelka.mjs';

const SHOTS = process.env.ZELKA_SHOTS || '';
const SECTIONS = 'ABCDEFGHIJKLMNOPQRS'.split('');
const SEARCH = '登録データの選択';
const SAVE_TITLE = '作成するファイル名を指定してください。';

function sql(appDir, text) {
  return execFileSync('sqlite3', [path.join(appDir, 'ZELKA20.mdb')], { input: text, encoding: 'utf8' });
}

// Two clients: 山田 花子 (record 1) whose answers trigger CAPs 2a, 2b and 5,
// and 佐藤 一郎 (record 2) with nothing answered, which triggers none.
function addAssessments(appDir) {
  execFileSync(ZELKA_BIN, ['init', '--app-dir', appDir]);
  let text = "INSERT INTO AA ([整理番号],[AA-1],[AA-3-1]) VALUES (1,'山田 花子','1930-05-05'),(2,'佐藤 一郎','1928-01-10');\n";
  for (const t of SECTIONS) text += `INSERT INTO [${t}] ([整理番号],[基準日]) VALUES (1,'2003-04-01'),(2,'2004-06-01');\n`;
  text += 'UPDATE C SET [C3]=1 WHERE [整理番号]=1;\n';
  text += 'UPDATE H SET [H7-A]=1,[H1-A-1]=2,[H1-A-2]=1,[H1-D-2]=1,[H1-F-2]=2,[H1-G-2]=1 WHERE [整理番号]=1;\n';
  sql(appDir, text);
}

// A home folder for the save dialog, with a folder to go into and files the
// filter shows or hides.
function makeHome() {
  const home = mkdtempSync(path.join(tmpdir(), 'zelka-home-'));
  mkdirSync(path.join(home, 'kento'));
  writeFileSync(path.join(home, 'old.rtf'), '{\\rtf1}');
  writeFileSync(path.join(home, 'notes.txt'), 'x');
  return home;
}

async function shot(page, name) {
  if (!SHOTS) return;
  mkdirSync(SHOTS, { recursive: true });
  await page.screenshot({ path: path.join(SHOTS, `${name}.png`) });
}

async function startCommand(z, caption) {
  await z.menu.getByRole('button', { name: caption, exact: true }).click();
  const search = z.page.getByRole('dialog', { name: SEARCH });
  await search.waitFor();
  return search;
}

async function findByNumber(search, number) {
  await search.getByLabel('整理番号').fill(String(number));
  await search.getByRole('button', { name: 'データ検索' }).click();
  await search.getByRole('grid').locator('tbody tr').first().waitFor();
  return search.getByRole('grid').locator('tbody tr');
}

async function message(page, text) {
  const box = page.getByRole('dialog', { name: APP_TITLE });
  await box.waitFor();
  assert.equal(await box.locator('.message-text').innerText(), text);
  return box;
}

async function confirm(box) {
  await box.getByRole('button', { name: 'OK' }).click();
  await box.waitFor({ state: 'detached' });
}

function rtfText(file) {
  if (!existsSync('/usr/bin/soffice')) return null;
  const work = mkdtempSync(path.join(tmpdir(), 'zelka-soffice-'));
  try {
    spawnSync('soffice', [`-env:UserInstallation=file://${work}/profile`, '--headless',
      '--convert-to', 'txt:Text', '--outdir', work, file], { timeout: 90000 });
    return readFileSync(path.join(work, path.basename(file).replace(/\.rtf$/, '.txt')), 'utf8');
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
}

test('CAP review worksheet: choose, save in a folder, and the document names the triggered CAPs', async () => {
  const home = makeHome();
  const z = await openZelka(addAssessments, { HOME: home });
  try {
    const search = await startCommand(z, 'CAP検討用紙の作成');
    const rows = await findByNumber(search, 1);
    assert.equal(await rows.count(), 1);
    const cells = await rows.first().locator('td').allInnerTexts();
    assert.equal(cells.length, 4);
    assert.equal(cells[0], '1');
    assert.equal(cells[2], '山田 花子');
    await shot(z.page, 'cap-search');
    await rows.first().click();
    await search.getByRole('button', { name: '選択', exact: true }).click();

    const save = z.page.getByRole('dialog', { name: SAVE_TITLE });
    await save.waitFor();
    const list = save.getByRole('listbox', { name: 'フォルダーの内容' });
    await list.getByRole('option', { name: /kento/ }).waitFor();
    const names = await list.getByRole('option').allInnerTexts();
    assert.ok(names.some((n) => n.includes('old.rtf')), names.join());
    assert.ok(!names.some((n) => n.includes('notes.txt')), 'the RTF filter hides other files');
    assert.deepEqual(await save.getByLabel('ファイルの種類').locator('option').allInnerTexts(), ['RTFファイル', 'すべてのファイル']);
    await shot(z.page, 'cap-save');
    await list.getByRole('option', { name: /kento/ }).dblclick();
    await save.locator('.save-dir').filter({ hasText: path.join(home, 'kento') }).waitFor();
    await save.getByLabel('ファイル名').fill('山田.rtf');
    await save.getByRole('button', { name: '保存' }).click();

    const done = await message(z.page, 'CAP検討用紙を作成しました。');
    assert.equal(await done.getAttribute('data-icon'), 'information');
    await shot(z.page, 'cap-done');
    await confirm(done);

    const file = path.join(home, 'kento', '山田.rtf');
    const bytes = readFileSync(file);
    const raw = new TextDecoder('shift_jis', { fatal: true }).decode(bytes);
    assert.match(raw, /^\{\\rtf1\\ansi\\ansicpg932\\/);
    assert.ok(!bytes.includes(Buffer.from('山田', 'utf8')), 'the file is not UTF-8');
    assert.ok(raw.includes('\\u23665?\\u30000?') || raw.includes('山田'), 'the client name, escaped or in CP932');
    assert.equal(raw.split('\n').length, raw.split('\r\n').length, 'CR LF line ends');
    const stored = sql(z.zelka.appDir, "SELECT [CAP番号01],[CAP番号02],[CAP番号03],[CAP番号04] FROM [CAP選定] WHERE [整理番号]=1;");
    assert.equal(stored.trim(), '2a|2b|5|');
    const text = rtfText(file);
    if (text !== null) {
      assert.match(text, /山田 花子/);
      for (const cap of ['2a.IADL(改善)(A)', '2b.IADL(支援)(B)', '5.コミュニケーション']) assert.ok(text.includes(cap), cap);
    }
  } finally {
    await z.close();
    rmSync(home, { recursive: true, force: true });
  }
});

test('an assessment without triggered CAPs writes no file; a closed search does nothing', async () => {
  const home = makeHome();
  const z = await openZelka(addAssessments, { HOME: home });
  try {
    // A declined deletion highlights a row but chooses nothing: closing the
    // search then ends the command.
    let search = await startCommand(z, 'CAP検討用紙の作成');
    await (await findByNumber(search, 1)).first().click();
    await search.getByRole('button', { name: '削除' }).click();
    const question = z.page.getByRole('dialog', { name: APP_TITLE });
    await question.getByRole('button', { name: 'いいえ' }).click();
    await question.waitFor({ state: 'detached' });
    await search.getByRole('button', { name: '閉じる' }).click();
    await search.waitFor({ state: 'detached' });
    await z.page.waitForTimeout(300);
    assert.equal(await z.page.getByRole('dialog').count(), 0, 'no message and no save dialog');
    assert.equal(sql(z.zelka.appDir, 'SELECT COUNT(*) FROM [CAP選定]; SELECT COUNT(*) FROM A;').trim(), '0\n2');

    search = await startCommand(z, 'CAP検討用紙の作成');
    const rows = await findByNumber(search, 2);
    await rows.first().dblclick();  // a double click chooses the row
    const save = z.page.getByRole('dialog', { name: SAVE_TITLE });
    await save.waitFor();
    await save.getByLabel('ファイル名').fill('sato.rtf');
    await save.getByLabel('ファイル名').press('Enter');
    const box = await message(z.page, 'CAPされた項目はありませんでしたので、RTFファイルは出力されませんでした。');
    await confirm(box);
    assert.equal(existsSync(path.join(home, 'sato.rtf')), false);
    assert.equal(sql(z.zelka.appDir, 'SELECT [利用者名],[CAP番号01] FROM [CAP選定];').trim(), '佐藤 一郎|');
  } finally {
    await z.close();
    rmSync(home, { recursive: true, force: true });
  }
});

test('deleting from the assessment search removes the row from the grid', async () => {
  const z = await openZelka(addAssessments);
  try {
    const search = await startCommand(z, 'アセスメントの修正');
    await search.getByLabel('整理番号').fill('1');  // either criterion lists a row
    await search.getByLabel('対象者氏名(フリガナ)').fill('佐藤');
    await search.getByRole('button', { name: 'データ検索' }).click();
    const rows = search.getByRole('grid').locator('tbody tr');
    await rows.nth(1).waitFor();
    await rows.nth(1).click();
    await search.getByRole('button', { name: '削除' }).click();
    const question = z.page.getByRole('dialog', { name: APP_TITLE });
    assert.match(await question.locator('.message-text').innerText(), /^整理番号\[2\] 対象者名\[佐藤 一郎\] 基準日\[.+\]を\n削除しますか？$/);
    await question.getByRole('button', { name: 'はい' }).click();
    await question.waitFor({ state: 'detached' });
    await search.getByRole('grid').locator('tbody tr').nth(1).waitFor({ state: 'detached' });
    assert.deepEqual(await search.getByRole('grid').locator('tbody tr td:nth-child(3)').allInnerTexts(), ['山田 花子']);
    assert.equal(sql(z.zelka.appDir, 'SELECT COUNT(*) FROM AA WHERE [整理番号]=2; SELECT COUNT(*) FROM S WHERE [整理番号]=2;').trim(), '0\n0');
  } finally {
    await z.close();
  }
});

// Many generated assessments, so that the run takes long enough to be seen.
function addManyAssessments(appDir) {
  const filler = path.resolve(path.dirname(ZELKA_BIN), '..', 'fill_assessments');
  execFileSync(filler, [appDir, '6000', path.dirname(ZELKA_BIN)]);
}

test('verification mode: the chord reveals the button, the run shows progress and writes the TAB export', async () => {
  const z = await openZelka(addManyAssessments);
  const out = path.join(z.zelka.appDir, 'verify', '検定.txt');
  mkdirSync(path.dirname(out));
  try {
    const search = await startCommand(z, 'アセスメントの修正');
    const button = search.getByRole('button', { name: 'CAP検定モード' });
    assert.equal(await button.isVisible(), false, 'hidden at first');
    // Every caption the progress panel shows, whenever the page draws it, and
    // each time the hidden button comes into view.
    await z.page.evaluate(() => {
      window.progressSeen = [];
      window.buttonShown = 0;
      let shown = false;
      new MutationObserver(() => {
        const node = document.querySelector('#overlays [data-control="cmdKentei"]');
        const now = !!node && !node.hidden;
        if (now && !shown) {
          window.buttonShown += 1;
          window.buttonShownSince = performance.now();
        }
        if (!now) window.buttonShownSince = null;
        shown = now;
      }).observe(document.getElementById('overlays'), { attributes: true, childList: true, subtree: true });
      const panel = document.getElementById('progress');
      new MutationObserver(() => {
        if (!panel.hidden) window.progressSeen.push(panel.innerText);
      }).observe(panel, { attributes: true, childList: true, subtree: true, characterData: true });
    });
    await search.getByLabel('整理番号').press('Shift+Control+Alt+K');
    // The flashing is over once the button stays longer than its longest gap (1 s).
    await z.page.waitForFunction(() => window.buttonShownSince && performance.now() - window.buttonShownSince > 1500,
      null, { timeout: 30000, polling: 100 });
    assert.equal(await button.isVisible(), true, 'stays visible');
    assert.ok(await z.page.evaluate(() => window.buttonShown) > 3, 'it flashed before it stayed');
    await button.click();
    const progress = z.page.locator('#progress');
    await progress.waitFor({ state: 'visible', timeout: 10000 });
    await shot(z.page, 'verify-progress');
    const done = await message(z.page, '全データをCAP選定テーブルに処理しました');
    assert.equal(await done.getAttribute('data-icon'), 'exclamation');
    await shot(z.page, 'verify-done');
    await confirm(done);
    const seen = await z.page.evaluate(() => window.progressSeen);
    assert.ok(seen.some((t) => t.includes('CAP検定モード')), seen.join('|'));

    const input = z.page.getByRole('dialog', { name: '検定モード:様式.xsl(様式2に合う様に)出力します' });
    await input.getByLabel('ファイル名を入力してください').fill(out);
    await shot(z.page, 'verify-input');
    await input.getByRole('button', { name: 'OK' }).click();
    const finished = await message(z.page, `${out}に様式.xsl(シート様式2)に似せたテキストTAB区切ファイルを作成完了`);
    await shot(z.page, 'verify-exported');
    await confirm(finished);
    assert.ok(await search.isVisible(), 'the search stays open');

    const bytes = readFileSync(out);
    const text = new TextDecoder('shift_jis').decode(bytes);
    const lines = text.split('\r\n');
    assert.equal(lines.pop(), '', 'every line ends with CR LF');
    assert.equal(lines[0], ['整理番号', '1', '2a', '2b', ...Array.from({ length: 19 }, (_, i) => String(i + 3)),
      '22a', '22b', '23a', '23b', ...Array.from({ length: 7 }, (_, i) => String(i + 24))].join('\t'));
    assert.equal(lines.length, 6001);
    for (const line of lines.slice(1)) assert.match(line, /^\d+(\t[01]){33}\t$/);
    assert.equal(sql(z.zelka.appDir, 'SELECT COUNT(*) FROM [CAP選定];').trim(), '6000');
  } finally {
    await z.close();
  }
});

test('worksheet file: overwriting asks first, and a file that cannot be written may be retried or abandoned', async () => {
  const home = makeHome();
  const z = await openZelka(addAssessments, { HOME: home });
  const choose = async () => {
    const search = await startCommand(z, 'CAP検討用紙の作成');
    await (await findByNumber(search, 1)).first().dblclick();
    const save = z.page.getByRole('dialog', { name: SAVE_TITLE });
    await save.waitFor();
    await save.getByRole('option', { name: /old\.rtf/ }).waitFor();
    return save;
  };
  try {
    let save = await choose();
    await save.getByRole('option', { name: /old\.rtf/ }).click();
    assert.equal(await save.getByLabel('ファイル名').inputValue(), 'old.rtf');
    await save.getByRole('button', { name: '保存' }).click();
    const question = save.locator('.nested');
    await question.getByText('old.rtf は既に存在します。上書きしますか？').waitFor();
    await question.getByRole('button', { name: 'いいえ' }).click();
    await question.waitFor({ state: 'detached' });
    assert.equal(readFileSync(path.join(home, 'old.rtf'), 'latin1'), '{\\rtf1}', 'untouched after いいえ');
    await save.getByRole('button', { name: '保存' }).click();
    await question.getByRole('button', { name: 'はい' }).click();
    await confirm(await message(z.page, 'CAP検討用紙を作成しました。'));
    assert.match(readFileSync(path.join(home, 'old.rtf'), 'latin1'), /^\{\\rtf1\\ansi\\ansicpg932/);

    // A folder that does not exist is refused in the dialog itself.
    save = await choose();
    await save.getByLabel('ファイル名').fill(path.join(home, 'missing', 'x.rtf'));
    await save.getByRole('button', { name: '保存' }).click();
    await save.getByRole('alert').filter({ hasText: `${path.join(home, 'missing')} というフォルダーはありません。` }).waitFor();
    // A file the system will not create, even for the superuser.
    await save.getByLabel('ファイル名').fill('/proc/kento.rtf');
    await save.getByRole('button', { name: '保存' }).click();
    const failure = z.page.getByRole('dialog', { name: 'エラーが発生しました' });
    await failure.waitFor();
    assert.equal(await failure.getAttribute('data-icon'), 'critical');
    await shot(z.page, 'cap-write-failure');
    await failure.getByRole('button', { name: 'OK' }).click();  // tried again: fails again
    await failure.getByRole('button', { name: 'キャンセル' }).click();
    await failure.waitFor({ state: 'detached' });
    await z.page.waitForTimeout(300);
    assert.equal(await z.page.getByRole('dialog').count(), 0, 'abandoned without a completion message');
    assert.equal(existsSync(path.join(home, 'missing')), false);
  } finally {
    await z.close();
    rmSync(home, { recursive: true, force: true });
  }
});
