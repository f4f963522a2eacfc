// The three print commands in the browser: from the main menu through their
// search dialog to the print preview in the main window, printing from it,
// and back to the menu, by mouse and by keyboard.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { APP_TITLE, findRecord, mainCommand, openZelka, withStore } from './zelka.mjs';

// Client 1 with an intake sheet and one assessment; a "<" in a free text and
// a name CP932 cannot carry must reach the paper as typed.
let client = "INSERT INTO [相談受付表] ([整理番号],[1-1],[2-1]) VALUES (1,'ヤマダ ハナコ','a<b & 𠮷');\n";
client += "INSERT INTO AA ([整理番号],[AA-1]) VALUES (1,'𠮷田 花子');\n";
for (const t of 'ABCDEFGHIJKLMNOPQRS') client += `INSERT INTO [${t}] ([整理番号],[基準日]) VALUES (1,'2019-05-01');\n`;
client += "UPDATE A SET [A1]='2019-05-01';\nUPDATE C SET [C3]=1;\nUPDATE K SET [K1-A]=1;\n";

// The assessment is printed by keyboard alone, and its preview survives a reload.
const CASES = [
  { caption: '相談受付表の印刷', title: '相談受付表', sheets: 4, text: 'a<b & 𠮷' },
  { caption: 'アセスメント表の印刷', title: '在宅ケアアセスメント表(ZELKA2.0)', sheets: 19, text: '令和元年5月1日', keyboard: true },
  { caption: 'CAP一覧の印刷', title: 'CAP一覧表', sheets: 1, text: '𠮷田 花子' },
];

async function previewShown(page, c) {
  const preview = page.getByRole('region', { name: c.title });
  await preview.waitFor();
  const report = page.frameLocator('#frame-report');
  await report.locator('.sheet').nth(c.sheets - 1).waitFor();
  return { preview, report };
}

test('each print command goes from the menu through its search to the preview and back', async () => {
  const z = await openZelka(withStore(client));
  try {
    for (const c of CASES) {
      if (c.keyboard) {
        await z.menu.getByRole('button', { name: c.caption, exact: true }).focus();
        await z.page.keyboard.press('Enter');
      } else {
        await mainCommand(z, c.caption);
      }
      await findRecord(z.page, 1);
      let { preview, report } = await previewShown(z.page, c);
      assert.equal(await z.page.title(), c.title);
      assert.ok((await report.locator('body').innerText()).includes(c.text), c.text);
      assert.ok(await z.page.locator('#view-main').isHidden(), 'the preview takes the main window');
      const box = await preview.boundingBox();
      assert.deepEqual([box.width, box.height], [1366, 768], 'maximised');

      if (c.keyboard) {
        assert.equal(await z.page.evaluate(() => document.activeElement.textContent), '印刷', 'the print button has the focus');
        await z.page.reload();
        ({ preview, report } = await previewShown(z.page, c));
        await report.locator('body').click();  // focus in the report
        await z.page.keyboard.press('Escape');
      } else {
        // The print button prints the report itself.
        await z.page.frame({ url: /\/report\// }).evaluate(() => { window.print = () => { window.printed = true; }; });
        await preview.getByRole('button', { name: '印刷' }).click();
        assert.equal(await z.page.frame({ url: /\/report\// }).evaluate(() => window.printed), true);
        await preview.getByRole('button', { name: 'メニューに戻る' }).click();
      }
      await preview.waitFor({ state: 'hidden' });
      await z.menu.getByRole('button', { name: '新規受付' }).waitFor();
      assert.equal(await z.page.title(), APP_TITLE);
    }
  } finally {
    await z.close();
  }
});
