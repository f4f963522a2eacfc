// Times page moves in the browser: storing the shown entry page and showing
// the next one filled, from the click until the page shows its values. An
// intake and an assessment are entered first, then opened again and walked by
// the page buttons and by the jump menu. Prints every move and the median.
//   ZELKA_BIN=$PWD/build/zelka-app/zelka node bench/page_moves.mjs
// (after the browser tests' `npm install`, whose playwright-core it uses)
import {
  fillPage, mainCommand, mainShown, openRecord, openZelka, pickReferenceDate, settled,
} from '../tests/browser/zelka.mjs';

const SECTIONS = [...'ABCDEFGHIJKLMNOPQRS'];
const INTAKE = ['UKETUKE2', 'UKETUKE3', 'UKETUKE4', 'UKETUKE5'];
const JUMPS = ['H', 'D', 'P', 'K', 'AA'];

// Moves to `file` and times it, in the browser, from the click until the page
// shows `name` = `value`: by the page's next button, or by the jump menu item
// whose caption starts with `file` and a point. A jump to a page that is not a
// neighbour of the shown one loads it on demand; a next page comes built ahead.
function timedMove(page, { byMenu, file, name, value }) {
  return page.evaluate(async ({ byMenu, file, name, value }) => {
    let target;
    if (!byMenu) {
      target = document.getElementById('frame-entry').contentDocument.querySelector('button.move.next');
    } else {
      document.getElementById('entry-menu-button').click();
      target = Array.from(document.querySelectorAll('#entry-menu-list [role="menuitem"]'))
        .find((li) => li.textContent.startsWith(`${file}.`));
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
  }, { byMenu, file, name, value });
}

// The last element a page was given a value that differs from an empty page.
function telltale(values) {
  const named = Object.entries(values).filter(([, v]) => v !== false && v !== '');
  return named[named.length - 1];
}

async function walk(z, what, pages, entered, byMenu = false) {
  const times = [];
  for (const file of pages) {
    const [name, value] = telltale(entered[file]);
    times.push(await timedMove(z.page, { byMenu, file, name, value }));
    await settled(z.page, file);
  }
  const median = [...times].sort((a, b) => a - b)[Math.floor(times.length / 2)];
  console.log(`${what} (ms): ${times.map((t) => t.toFixed(1)).join(' ')}; median ${median.toFixed(1)}`);
}

async function fillAndMoveOn(z, pages, entered, skip) {
  for (const file of pages) {
    await z.page.frameLocator('#frame-entry').locator('button.move.next').click();
    await settled(z.page, file);
    entered[file] = await fillPage(z.page, skip);
  }
  await z.page.frameLocator('#frame-entry').locator('button.move.close').click();
  await mainShown(z.page);
}

const z = await openZelka();
try {
  const entered = {};
  await mainCommand(z, '新規受付');
  await settled(z.page, 'UKETUKE1');
  await fillPage(z.page, ['zlk_整理番号']);
  await z.page.frameLocator('#frame-entry').locator('[name="zlk_整理番号"]').fill('101');
  await fillAndMoveOn(z, INTAKE, entered);

  await openRecord(z, '新規アセスメント', 101);
  await pickReferenceDate(z, '2026/11/20');
  await settled(z.page, 'AA');
  entered.AA = await fillPage(z.page, ['zlk_AA_1', 'zlk_AA_2', 'zlk_AA_3_1', 'zlk_AA_3_2', 'zlk_AA_4']);
  await fillAndMoveOn(z, SECTIONS, entered, ['zlk_A1']);

  await openRecord(z, '受付表の修正', 101);
  await settled(z.page, 'UKETUKE1');
  await walk(z, 'intake page moves', INTAKE, entered);
  await z.page.frameLocator('#frame-entry').locator('button.move.close').click();
  await mainShown(z.page);
  await openRecord(z, 'アセスメントの修正', 101);
  await settled(z.page, 'A');
  await walk(z, 'assessment page moves', SECTIONS.slice(1), entered);
  await walk(z, 'assessment menu jumps', JUMPS, entered, true);
} finally {
  await z.close();
}
