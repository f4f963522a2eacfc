// Times the three print commands in the browser: from the choice in the
// search dialog until the preview shows every sheet of the report, for a
// client with an intake sheet and one assessment. Prints one line per report.
//   ZELKA_BIN=$PWD/build/zelka-app/zelka node bench/print_preview.mjs
// (after the browser tests' `npm install`, whose playwright-core it uses)
import { openRecord, openZelka, withStore } from '../tests/browser/zelka.mjs';

let client = "INSERT INTO [相談受付表] ([整理番号],[1-1]) VALUES (1,'ヤマダ ハナコ');\n";
client += "INSERT INTO AA ([整理番号],[AA-1]) VALUES (1,'山田 花子');\n";
for (const t of 'ABCDEFGHIJKLMNOPQRS') client += `INSERT INTO [${t}] ([整理番号],[基準日]) VALUES (1,'2019-05-01');\n`;
client += "UPDATE C SET [C3]=1;\nUPDATE K SET [K1-A]=1;\n";

const REPORTS = [
  { caption: '相談受付表の印刷', title: '相談受付表', sheets: 4 },
  { caption: 'アセスメント表の印刷', title: '在宅ケアアセスメント表(ZELKA2.0)', sheets: 19 },
  { caption: 'CAP一覧の印刷', title: 'CAP一覧表', sheets: 1 },
];

const z = await openZelka(withStore(client));
try {
  for (const report of REPORTS) {
    const search = await openRecord(z, report.caption, 1, { choose: false });
    const chosen = Date.now();
    await search.getByRole('button', { name: '選択', exact: true }).click();
    const preview = z.page.getByRole('region', { name: report.title });
    await z.page.frameLocator('#frame-report').locator('.sheet').nth(report.sheets - 1).waitFor();
    console.log(`${report.title}: ${Date.now() - chosen} ms from the choice to the preview`);
    await preview.getByRole('button', { name: 'メニューに戻る' }).click();
    await preview.waitFor({ state: 'hidden' });
  }
} finally {
  await z.close();
}
