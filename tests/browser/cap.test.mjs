// The CAP functions in the browser: the CAP review worksheet from the main
// menu (assessment search, save dialog, RTF file) and the hidden verification
// run with its export. The CAP list is walked in print.test.mjs.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { SEARCH, ZELKA_BIN, answerMessage, mainCommand, openRecord, openZelka, withStore } from './zelka.mjs';

const SAVE_TITLE = '作成するファイル名を指定してください。';
const WRITTEN = 'CAP検討用紙を作成しました。';

// Two clients: 山田 花子 (record 1) whose answers trigger CAPs 2a, 2b and 5,
// and 佐藤 一郎 (record 2) with nothing answered, which triggers none.
let assessments = "INSERT INTO AA ([整理番号],[AA-1],[AA-3-1]) VALUES (1,'山田 花子','1930-05-05'),(2,'佐藤 一郎','1928-01-10');\n";
for (const t of 'ABCDEFGHIJKLMNOPQRS') assessments += `INSERT INTO [${t}] ([整理番号],[基準日]) VALUES (1,'2003-04-01'),(2,'2004-06-01');\n`;
assessments += 'UPDATE C SET [C3]=1 WHERE [整理番号]=1;\n';
assessments += 'UPDATE H SET [H7-A]=1,[H1-A-1]=2,[H1-A-2]=1,[H1-D-2]=1,[H1-F-2]=2,[H1-G-2]=1 WHERE [整理番号]=1;\n';

const worksheet = (z, number, choose = 'dblclick') => openRecord(z, 'CAP検討用紙の作成', number, { choose });

test('the CAP review worksheet is saved where the user says, over a file only after はい', async () => {
  const home = mkdtempSync(path.join(tmpdir(), 'zelka-home-'));
  mkdirSync(path.join(home, 'kento'));
  writeFileSync(path.join(home, 'old.rtf'), '{\\rtf1}');
  writeFileSync(path.join(home, 'notes.txt'), 'x');
  const z = await openZelka(withStore(assessments), { HOME: home });
  const save = z.page.getByRole('dialog', { name: SAVE_TITLE });
  try {
    // The save dialog lists the home folder through the RTF filter; the file goes into a folder opened there.
    await worksheet(z, 1, 'button');
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
    assert.equal(await answerMessage(z.page, WRITTEN), 'information');
    const written = path.join(home, 'kento', '山田.rtf');
    assert.match(readFileSync(written, 'latin1'), /^\{\\rtf1\\ansi\\ansicpg932\\/);

    // An existing file is overwritten only after はい; the dialog opens in the folder used last.
    writeFileSync(written, '{\\rtf1}');
    await worksheet(z, 1);
    await save.getByRole('option', { name: /山田\.rtf/ }).click();
    assert.equal(await save.getByLabel('ファイル名').inputValue(), '山田.rtf');
    await save.getByRole('button', { name: '保存' }).click();
    const question = save.locator('.nested');
    await question.getByText('山田.rtf は既に存在します。上書きしますか？').waitFor();
    await question.getByRole('button', { name: 'いいえ' }).click();
    assert.equal(readFileSync(written, 'latin1'), '{\\rtf1}', 'untouched after いいえ');
    await save.getByRole('button', { name: '保存' }).click();
    await question.getByRole('button', { name: 'はい' }).click();
    await answerMessage(z.page, WRITTEN);
    assert.match(readFileSync(written, 'latin1'), /^\{\\rtf1\\ansi\\ansicpg932/);

    // A missing folder is refused in the dialog; a file the system will not
    // create (even for the superuser) may be tried again or abandoned.
    await worksheet(z, 1);
    await save.getByLabel('ファイル名').fill(path.join(home, 'missing', 'x.rtf'));
    await save.getByRole('button', { name: '保存' }).click();
    await save.getByRole('alert').filter({ hasText: `${path.join(home, 'missing')} というフォルダーはありません。` }).waitFor();
    await save.getByLabel('ファイル名').fill('/proc/kento.rtf');
    await save.getByRole('button', { name: '保存' }).click();
    const failure = z.page.getByRole('dialog', { name: 'エラーが発生しました' });
    assert.equal(await failure.getAttribute('data-icon'), 'critical');
    // Tried again, it fails again: a new box, once the answered one has gone.
    const first = await failure.elementHandle();
    await failure.getByRole('button', { name: 'OK' }).click();
    await first.waitForElementState('hidden');
    await failure.getByRole('button', { name: 'キャンセル' }).click();
    await failure.waitFor({ state: 'detached' });

    // Abandoned without a completion message, which would keep the next
    // command from the menu. No triggered CAP: no file.
    await worksheet(z, 2);
    await save.getByLabel('ファイル名').fill(path.join(home, 'sato.rtf'));
    await save.getByLabel('ファイル名').press('Enter');
    await answerMessage(z.page, 'CAPされた項目はありませんでしたので、RTFファイルは出力されませんでした。');
    assert.equal(existsSync(path.join(home, 'sato.rtf')), false);
  } finally {
    await z.close();
    rmSync(home, { recursive: true, force: true });
  }
});

test('verification mode: the chord reveals the button, the run shows progress and writes the TAB export', async () => {
  const z = await openZelka((appDir) => execFileSync(path.resolve(path.dirname(ZELKA_BIN), '..', 'fill_assessments'),
    [appDir, '6000', path.dirname(ZELKA_BIN)]));
  const out = path.join(z.zelka.appDir, '検定.txt');
  try {
    await mainCommand(z, 'アセスメントの修正');
    const search = z.page.getByRole('dialog', { name: SEARCH });
    const button = search.getByRole('button', { name: 'CAP検定モード' });
    // Every caption the progress panel shows, whenever the page draws it.
    await z.page.evaluate(() => {
      const panel = document.getElementById('progress');
      window.progressSeen = [];
      new MutationObserver(() => { if (!panel.hidden) window.progressSeen.push(panel.innerText); })
        .observe(panel, { attributes: true, childList: true, subtree: true, characterData: true });
    });
    // The button, hidden at first, flashes, then stays (its pauses are counted
    // in the C++ search test).
    await search.getByLabel('整理番号').press('Shift+Control+Alt+K');
    await button.waitFor({ state: 'visible', timeout: 30000 });
    await button.click();
    assert.equal(await answerMessage(z.page, '全データをCAP選定テーブルに処理しました'), 'exclamation');
    const seen = await z.page.evaluate(() => window.progressSeen);
    assert.ok(seen.some((t) => t.includes('CAP検定モード')), seen.join('|'));

    const input = z.page.getByRole('dialog', { name: '検定モード:様式.xsl(様式2に合う様に)出力します' });
    await input.getByLabel('ファイル名を入力してください').fill(out);
    await input.getByRole('button', { name: 'OK' }).click();
    await answerMessage(z.page, `${out}に様式.xsl(シート様式2)に似せたテキストTAB区切ファイルを作成完了`);

    // A heading and a line for each assessment (their form, the refilled
    // table and the search left open are counted in the C++ CAP and search tests).
    assert.equal(readFileSync(out, 'latin1').split('\r\n').length, 6002);
  } finally {
    await z.close();
  }
});
