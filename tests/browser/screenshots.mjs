// Takes screenshots of the main menu and of every overlay kind at 1366×768,
// for a look by eye: node screenshots.mjs [folder]. The overlays are shown by
// handing the shell page a state of the program's own form.
import { mkdirSync } from 'node:fs';
import path from 'node:path';
import { openZelka } from './zelka.mjs';

const folder = process.argv[2] || '/tmp/zelka-shots';
mkdirSync(folder, { recursive: true });

const views = { main: { visible: true, page: 'MainMenu/MainMenuFr.htm' }, entry: { visible: false, page: '' } };
const base = { version: 1e9, views, entryMenu: null, progress: null, navigationReplies: {}, shutdown: false };
const grid = {
  id: 'DBG', kind: 'grid', caption: '', value: '', visible: true, options: [],
  columns: ['整理番号', '氏名', 'フリガナ', '受付日'],
  rows: [['1', '山田 花子', 'ヤマダ ハナコ', '令和8年04月01日'], ['2', '佐藤 一郎', 'サトウ イチロウ', '令和8年05月12日'],
    ['3', '鈴木 和子', 'スズキ カズコ', '令和8年06月03日']],
  selected: 1,
};
const control = (id, kind, caption, extra = {}) => ({
  id, kind, caption, value: '', visible: true, options: [], columns: [], rows: [], selected: -1, ...extra,
});
const hours = Array.from({ length: 24 }, (_, i) => String(i).padStart(2, '0'));
const minutes = Array.from({ length: 60 }, (_, i) => String(i).padStart(2, '0'));

const shots = {
  'message-critical': [{ kind: 'message', text: '基準日の指定の仕方が間違っています', buttons: 'ok', icon: 'critical', title: '' }],
  'message-exclamation': [{ kind: 'message', text: '終了しますか？', buttons: 'yesno', icon: 'exclamation', title: 'ここはVBで表示' }],
  'message-information': [{ kind: 'message', text: 'ZELKA 2.0 添付CDソフト バージョン：1.0.49', buttons: 'ok', icon: 'information', title: 'ZELKA 2.0 バージョン情報' }],
  'message-okcancel': [{ kind: 'message', text: '次のコマンドが発行されました\r\nHELLO', buttons: 'okcancel', icon: 'none', title: '' }],
  'input-box': [{ kind: 'input', prompt: '出力するファイル名を入力してください。', title: '検証', text: '/home/user/verify.txt' }],
  'save-dialog': [{ kind: 'save', title: '作成するファイル名を指定してください。', dir: '/tmp',
    types: [{ label: 'RTFファイル', patterns: ['*.rtf'] }, { label: 'すべてのファイル', patterns: ['*.*'] }], fileName: '', overwritePrompt: true }],
  'save-overwrite': [{ kind: 'save', title: '作成するファイル名を指定してください。', dir: '/tmp',
    types: [{ label: 'RTFファイル', patterns: ['*.rtf'] }], fileName: 'kento.rtf', overwritePrompt: true,
    question: 'kento.rtf は既に存在します。上書きしますか？', pending: '/tmp/kento.rtf' }],
  'dialog-grid': [{ kind: 'dialog', caption: '登録データの選択', placement: 'centre', controls: [
    control('txtSeiriNo', 'text', '整理番号'), control('txtName', 'text', '対象者氏名(フリガナ)'),
    control('cmdFind', 'button', '検索'), grid, control('cmdOK', 'button', '選択'),
    control('cmdDel', 'button', '削除'), control('cmdCancel', 'button', 'キャンセル')] }],
  'dialog-calendar': [{ kind: 'dialog', caption: 'カレンダー', placement: 'pointer', controls: [
    control('Cal', 'calendar', '', { value: '2003-04-01' }), control('lbJikan', 'label', '時間'),
    control('cbHour', 'select', '時', { options: hours, value: '09' }), control('cbMinutes', 'select', '分', { options: minutes, value: '30' }),
    control('cmdOK', 'button', 'OK')] }],
};

const z = await openZelka();
try {
  const { page } = z;
  await page.screenshot({ path: path.join(folder, 'main-menu.png') });
  await page.mouse.move(1200, 640);
  let id = 1e6;
  for (const [name, requests] of Object.entries(shots)) {
    await page.evaluate((state) => render(state), { ...base, requests: requests.map((r) => ({ ...r, id: ++id })) });
    await page.waitForTimeout(300);
    await page.screenshot({ path: path.join(folder, `${name}.png`) });
  }
  await page.evaluate((state) => render(state), { ...base, requests: [], progress: { caption: '検証中', done: 120, total: 340 } });
  await page.screenshot({ path: path.join(folder, 'progress.png') });
  await page.evaluate((state) => render(state), {
    ...base, requests: [],
    views: { main: { visible: false, page: 'MainMenu/MainMenuFr.htm' }, entry: { visible: true, page: '' } },
    entryMenu: { caption: 'ジャンプ(&J)', items: [{ id: 'IDM_AA', caption: 'AA.基本情報', enabled: true }, { id: 'IDM_A', caption: 'A.アセスメント情報', enabled: true }, { id: 'IDM_6', caption: 'Ⅵ.住居環境', enabled: false }] },
  });
  await page.getByRole('button', { name: 'ジャンプ(J)' }).click();
  await page.screenshot({ path: path.join(folder, 'entry-menu.png') });
} finally {
  await z.close();
}
