// The CAP functions in the browser: the CAP list command's selection (its
// preview is in print.test.mjs), the CAP review worksheet from the main menu
// (assessment search, save dialog, RTF file), deletion from the search, and
// the hidden verification run with its export.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { ZELKA_BIN, answerMessage, openZelka } from './zelka.mjs';

const SEARCH = '登録データの選択';
const SAVE_TITLE = '作成するファイル名を指定してください。';

function sql(appDir, text) {
  return execFileSync('sqlite3', [path.join(appDir, 'ZELKA20.mdb')], { input: text, encoding: 'utf8' }).trim();
}

// Two clients: 山田 花子 (record 1) whose answers trigger CAPs 2a, 2b and 5,
// and 佐藤 一郎 (record 2) with nothing answered, which triggers none.
function addAssessments(appDir) {
  execFileSync(ZELKA_BIN, ['init', '--app-dir', appDir]);
  let text = "INSERT INTO AA ([整理番号],[AA-1],[AA-3-1]) VALUES (1,'山田 花子','1930-05-05'),(2,'佐藤 一郎','1928-01-10');\n";
  for (const t of 'ABCDEFGHIJKLMNOPQRS') text += `INSERT INTO [${t}] ([整理番号],[基準日]) VALUES (1,'2003-04-01'),(2,'2004-06-01');\n`;
  text += 'UPDATE C SET [C3]=1 WHERE [整理番号]=1;\n';
  text += 'UPDATE H SET [H7-A]=1,[H1-A-1]=2,[H1-A-2]=1,[H1-D-2]=1,[H1-F-2]=2,[H1-G-2]=1 WHERE [整理番号]=1;\n';
  sql(appDir, text);
}

// Starts a command of the main menu and chooses record `number` in its search
// (by a click and 選択, or by a double click).
async function choose(z, caption, number, { doubleClick = true } = {}) {
  await z.menu.getByRole('button', { name: caption, exact: true }).click();
  const search = z.page.getByRole('dialog', { name: SEARCH });
  await search.getByLabel('整理番号').fill(String(number));
  await search.getByRole('button', { name: 'データ検索' }).click();
  const row = search.getByRole('grid').locator('tbody tr').first();
  if (doubleClick) return row.dblclick();
  await row.click();
  await search.getByRole('button', { name: '選択', exact: true }).click();
}

const answer = (z, text, button) => answerMessage(z.page, text, button);

test('CAP list, worksheet and deletion: the selection is stored, the file saved where the user says', async () => {
  const home = mkdtempSync(path.join(tmpdir(), 'zelka-home-'));
  mkdirSync(path.join(home, 'kento'));
  writeFileSync(path.join(home, 'old.rtf'), '{\\rtf1}');
  writeFileSync(path.join(home, 'notes.txt'), 'x');
  const z = await openZelka(addAssessments, { HOME: home });
  const save = z.page.getByRole('dialog', { name: SAVE_TITLE });
  try {
    await choose(z, 'CAP一覧の印刷', 1, { doubleClick: false });
    const preview = z.page.getByRole('region', { name: 'CAP一覧表' });
    await preview.getByRole('button', { name: 'メニューに戻る' }).click();
    await preview.waitFor({ state: 'hidden' });
    assert.equal(sql(z.zelka.appDir, 'SELECT [CAP番号01],[CAP番号02],[CAP番号03],[CAP番号04] FROM [CAP選定];'), '2a|2b|5|');

    // The save dialog lists the home folder through the RTF filter; the file goes into a folder opened there.
    await choose(z, 'CAP検討用紙の作成', 1, { doubleClick: false });
    const list = save.getByRole('listbox', { name: 'フォルダーの内容' });
    await list.getByRole('option', { name: /kento/ }).waitFor();
    const names = await list.getByRole('option').allInnerTexts();
    assert.ok(names.some((n) => n.includes('old.rtf')) && !names.some((n) => n.includes('notes.txt')), names.join());
    assert.deepEqual(await save.getByLabel('ファイルの種類').locator('option').allInnerTexts(), ['RTFファイル', 'すべてのファイル']);
    assert.equal(await save.getByLabel('ファイル名').inputValue(), 'CAP検討用紙_山田花子_平成15年4月1日.rtf');
    await list.getByRole('option', { name: /kento/ }).dblclick();
    await save.locator('.save-dir').filter({ hasText: path.join(home, 'kento') }).waitFor();
    await save.getByLabel('ファイル名').fill('山田');  // the type's extension is added
    await save.getByRole('button', { name: '保存' }).click();
    assert.equal(await answer(z, 'CAP検討用紙を作成しました。'), 'information');
    const bytes = readFileSync(path.join(home, 'kento', '山田.rtf'));
    const raw = new TextDecoder('shift_jis', { fatal: true }).decode(bytes);
    assert.match(raw, /^\{\\rtf1\\ansi\\ansicpg932\\/);
    assert.ok(!bytes.includes(Buffer.from('山田', 'utf8')), 'the file is not UTF-8');
    assert.ok(raw.includes('\\u23665?\\u30000?') || raw.includes('山田'), 'the client name, escaped or in CP932');

    // An existing file is overwritten only after はい; the dialog opens in the folder used last.
    const written = path.join(home, 'kento', '山田.rtf');
    writeFileSync(written, '{\\rtf1}');
    await choose(z, 'CAP検討用紙の作成', 1);
    await save.getByRole('option', { name: /山田\.rtf/ }).click();
    assert.equal(await save.getByLabel('ファイル名').inputValue(), '山田.rtf');
    await save.getByRole('button', { name: '保存' }).click();
    const question = save.locator('.nested');
    await question.getByText('山田.rtf は既に存在します。上書きしますか？').waitFor();
    await question.getByRole('button', { name: 'いいえ' }).click();
    assert.equal(readFileSync(written, 'latin1'), '{\\rtf1}', 'untouched after いいえ');
    await save.getByRole('button', { name: '保存' }).click();
    await question.getByRole('button', { name: 'はい' }).click();
    await answer(z, 'CAP検討用紙を作成しました。');
    assert.match(readFileSync(written, 'latin1'), /^\{\\rtf1\\ansi\\ansicpg932/);

    // A missing folder is refused in the dialog; a file the system will not
    // create (even for the superuser) may be tried again or abandoned.
    await choose(z, 'CAP検討用紙の作成', 1);
    await save.getByLabel('ファイル名').fill(path.join(home, 'missing', 'x.rtf'));
    await save.getByRole('button', { name: '保存' }).click();
    await save.getByRole('alert').filter({ hasText: `${path.join(home, 'missing')} というフォルダーはありません。` }).waitFor();
    await save.getByLabel('ファイル名').fill('/proc/kento.rtf');
    await save.getByRole('button', { name: '保存' }).click();
    const failure = z.page.getByRole('dialog', { name: 'エラーが発生しました' });
    assert.equal(await failure.getAttribute('data-icon'), 'critical');
    await failure.getByRole('button', { name: 'OK' }).click();  // tried again: fails again
    await failure.getByRole('button', { name: 'キャンセル' }).click();
    await failure.waitFor({ state: 'detached' });
    await z.page.waitForTimeout(300);
    assert.equal(await z.page.getByRole('dialog').count(), 0, 'abandoned without a completion message');

    // No triggered CAP: no file.
    await choose(z, 'CAP検討用紙の作成', 2);
    await save.getByLabel('ファイル名').fill(path.join(home, 'sato.rtf'));
    await save.getByLabel('ファイル名').press('Enter');
    await answer(z, 'CAPされた項目はありませんでしたので、RTFファイルは出力されませんでした。');
    assert.equal(existsSync(path.join(home, 'sato.rtf')), false);

    // Deleting from the assessment search (either criterion lists a row) removes the row from the grid.
    await z.menu.getByRole('button', { name: 'アセスメントの修正', exact: true }).click();
    const search = z.page.getByRole('dialog', { name: SEARCH });
    await search.getByLabel('整理番号').fill('1');
    await search.getByLabel('対象者氏名(フリガナ)').fill('佐藤');
    await search.getByRole('button', { name: 'データ検索' }).click();
    const rows = search.getByRole('grid').locator('tbody tr');
    await rows.nth(1).click();
    await search.getByRole('button', { name: '削除' }).click();
    await answer(z, '整理番号[2] 対象者名[佐藤 一郎] 基準日[2004/06/01]を\n削除しますか？', 'はい');
    await rows.nth(1).waitFor({ state: 'detached' });
    assert.deepEqual(await search.getByRole('grid').locator('tbody tr td:nth-child(3)').allInnerTexts(), ['山田 花子']);
    assert.equal(sql(z.zelka.appDir, 'SELECT COUNT(*) FROM AA WHERE [整理番号]=2; SELECT COUNT(*) FROM S WHERE [整理番号]=2;'), '0\n0');
  } finally {
    await z.close();
    rmSync(home, { recursive: true, force: true });
  }
});

test('verification mode: the chord reveals the button, the run shows progress and writes the TAB export', async () => {
  const z = await openZelka((appDir) => execFileSync(path.resolve(path.dirname(ZELKA_BIN), '..', 'fill_assessments'),
    [appDir, '6000', path.dirname(ZELKA_BIN)]));
  const out = path.join(z.zelka.appDir, 'verify', '検定.txt');
  mkdirSync(path.dirname(out));
  try {
    await z.menu.getByRole('button', { name: 'アセスメントの修正', exact: true }).click();
    const search = z.page.getByRole('dialog', { name: SEARCH });
    const button = search.getByRole('button', { name: 'CAP検定モード' });
    assert.equal(await button.isVisible(), false, 'hidden at first');
    // Every caption the progress panel shows, whenever the page draws it.
    await z.page.evaluate(() => {
      const panel = document.getElementById('progress');
      window.progressSeen = [];
      new MutationObserver(() => { if (!panel.hidden) window.progressSeen.push(panel.innerText); })
        .observe(panel, { attributes: true, childList: true, subtree: true, characterData: true });
    });
    // The button flashes, then stays (its pauses are counted in the C++ search test).
    await search.getByLabel('整理番号').press('Shift+Control+Alt+K');
    await button.waitFor({ state: 'visible', timeout: 30000 });
    await button.click();
    await z.page.locator('#progress').waitFor({ state: 'visible', timeout: 10000 });
    assert.equal(await answer(z, '全データをCAP選定テーブルに処理しました'), 'exclamation');
    const seen = await z.page.evaluate(() => window.progressSeen);
    assert.ok(seen.some((t) => t.includes('CAP検定モード')), seen.join('|'));

    const input = z.page.getByRole('dialog', { name: '検定モード:様式.xsl(様式2に合う様に)出力します' });
    await input.getByLabel('ファイル名を入力してください').fill(out);
    await input.getByRole('button', { name: 'OK' }).click();
    await answer(z, `${out}に様式.xsl(シート様式2)に似せたテキストTAB区切ファイルを作成完了`);
    assert.ok(await search.isVisible(), 'the search stays open');

    const lines = new TextDecoder('shift_jis').decode(readFileSync(out)).split('\r\n');
    assert.equal(lines.pop(), '', 'every line ends with CR LF');
    assert.equal(lines[0], ['整理番号', '1', '2a', '2b', ...Array.from({ length: 19 }, (_, i) => String(i + 3)),
      '22a', '22b', '23a', '23b', ...Array.from({ length: 7 }, (_, i) => String(i + 24))].join('\t'));
    assert.equal(lines.length, 6001);
    for (const line of lines.slice(1)) assert.match(line, /^\d+(\t[01]){33}\t$/);
    assert.equal(sql(z.zelka.appDir, 'SELECT COUNT(*) FROM [CAP選定];'), '6000');
  } finally {
    await z.close();
  }
});
