// The shell page: renders the program's UI state (two windows with their page
// frames, modal overlays, the progress bar), runs the page operations the
// program asks for on the frames, and bridges what the pages do (status texts,
// navigations) back to the program. All state lives in the program; this page
// only shows it, so a reload or a second tab shows the same thing.
'use strict';

const APP_TITLE = 'ZELKA2.0 アセスメント表';
const VIEW_TITLES = { main: APP_TITLE, entry: 'ZELKA 在宅ケア アセスメント表' };
const MODAL_KINDS = new Set(['message', 'input', 'save', 'dialog']);
const client = (crypto.randomUUID && crypto.randomUUID()) || String(Math.random()).slice(2);

const frames = {
  main: document.getElementById('frame-main'),
  entry: document.getElementById('frame-entry'),
};
const loadedPage = { main: '', entry: '' };  // page each frame was last told to show
const bridges = {};                           // per view: the status bridge of the loaded page
const passes = { main: null, entry: null };   // navigation the program allowed, let through once
const pendingNavigations = new Map();         // navigation id -> what to do when allowed
const doneRequests = new Set();               // page operations this tab has run
const operationsRunning = { main: 0, entry: 0 };  // of those, not finished yet
const pointer = { x: 40, y: 40 };
let lastState = null;
let opChain = Promise.resolve();
let programFocus = null;  // the entry page field the program last put the caret in

// Timing marks of the bridge's steps (polls, page operations, answers, frame
// loads), kept only while window.zelkaTrace is true: performance.getEntriesByType('mark').
window.zelkaTrace = false;
function mark(what) {
  if (window.zelkaTrace) performance.mark(what);
}

// --- the session ------------------------------------------------------------------

// The program prints and opens its address with a one-time start code. This
// page trades the code for the session: a secret that goes with every call
// in a header, and the path prefix under which the frames load pages (a frame
// cannot send a header). The tab keeps both in its session storage, so that
// a reload carries on; a tab with neither is refused.
const SESSION_KEY = 'zelka-session';
let session = null;  // { secret, pages }

class Refused extends Error {}

async function openSession() {
  const code = new URLSearchParams(location.search).get('start');
  const stored = JSON.parse(sessionStorage.getItem(SESSION_KEY) || 'null');
  if (code === null) {
    if (stored) return stored;
    throw new Refused('このタブには ZELKA の開始コードがありません。ZELKA が開いたタブを使ってください。');
  }
  history.replaceState(null, '', '/');  // used or not, the code is of no further use
  const response = await fetch('/api/session', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ start: code }),
  });
  if (response.ok) {
    const keys = await response.json();
    sessionStorage.setItem(SESSION_KEY, JSON.stringify(keys));
    return keys;
  }
  if (stored) return stored;  // the same address reloaded
  const reply = await response.json().catch(() => ({}));
  throw new Refused(reply.error || `ZELKA を開始できません (${response.status})`);
}

function withSession(headers = {}) {
  return { ...headers, 'X-Zelka-Session': session.secret };
}

// Nothing of the program is shown in a refused tab.
function refuse(text) {
  for (const view of ['main', 'entry']) document.getElementById(`view-${view}`).hidden = true;
  showConnection(text);
}

// --- talking to the program ---------------------------------------------------

async function post(path, body, keepalive = false) {
  const response = await fetch(path, {
    method: 'POST',
    keepalive,
    headers: withSession({ 'Content-Type': 'application/json' }),
    body: JSON.stringify(body),
  });
  if (!response.ok) throw new Error(`${path}: ${response.status} ${await response.text()}`);
  return response.json();
}

function sendEvent(event) {
  return post('/api/event', event).catch((error) => console.warn(error));
}

function answer(id, value) {
  mark(`answer ${id} sent`);
  return post('/api/answer', { id, answer: value })
    .then(() => mark(`answer ${id} taken`))
    .catch((error) => console.warn(error));
}

async function pollForever() {
  let version = 0;
  for (;;) {
    try {
      const response = await fetch(`/api/state?since=${version}&client=${client}`, { headers: withSession() });
      if (response.status === 403) {
        refuse('ZELKA はこのタブを受け付けません。ZELKA が表示した新しいアドレスを開いてください。');
        return;
      }
      if (!response.ok) throw new Error(`state: ${response.status}`);
      const state = await response.json();
      mark(`state v${state.version} received`);
      showConnection('');
      version = state.version;
      render(state);
      mark(`state v${state.version} rendered`);
      if (state.shutdown) {
        showConnection('ZELKA を終了しました。このタブは閉じてかまいません。');
        return;
      }
    } catch (error) {
      showConnection('ZELKA との接続が切れました。再接続しています…');
      await new Promise((resolve) => setTimeout(resolve, 1500));
    }
  }
}

function showConnection(text) {
  const banner = document.getElementById('connection');
  banner.textContent = text;
  banner.hidden = !text;
}

// --- rendering the state --------------------------------------------------------

function render(state) {
  lastState = state;
  const requests = state.requests || [];
  renderViews(state.views, requests);
  renderReport(requests.find((r) => r.kind === 'report'));
  renderEntryMenu(state.entryMenu);
  renderProgress(state.progress);
  renderWindows(state.windows || []);
  renderDocuments(state.documents || []);
  renderModals(requests.filter((r) => MODAL_KINDS.has(r.kind)));
  for (const request of requests) {
    if (!MODAL_KINDS.has(request.kind) && request.kind !== 'report') runPageOperation(request);
  }
  settleNavigations(state.navigationReplies || {});
}

function renderViews(views, requests) {
  let title = APP_TITLE;
  for (const view of ['main', 'entry']) {
    const section = document.getElementById(`view-${view}`);
    const visible = !!views[view].visible;
    section.hidden = !visible;
    if (visible) title = VIEW_TITLES[view];
    // A tab that missed the navigation (a reload, a second tab) shows the page too.
    const page = views[view].page;
    const navigating = requests.some((r) => r.kind === 'navigate' && r.view === view);
    if (page && page !== loadedPage[view] && !navigating) loadFrame(view, page);
  }
  document.title = title;
}

function renderEntryMenu(menu) {
  const holder = document.getElementById('entry-menu');
  holder.hidden = !menu;
  if (!menu) return;
  const key = JSON.stringify(menu);
  if (holder.dataset.key === key) return;
  holder.dataset.key = key;
  const button = document.getElementById('entry-menu-button');
  // "ジャンプ(&J)": the letter after & is the access key, shown underlined.
  const amp = menu.caption.indexOf('&');
  button.replaceChildren(menu.caption.slice(0, amp));
  if (amp >= 0) {
    const u = document.createElement('u');
    u.textContent = menu.caption[amp + 1];
    button.append(u, menu.caption.slice(amp + 2));
  }
  const list = document.getElementById('entry-menu-list');
  list.replaceChildren(...menu.items.map((item) => {
    const li = document.createElement('li');
    li.setAttribute('role', 'menuitem');
    li.tabIndex = -1;
    li.textContent = item.caption;
    li.dataset.item = item.id;
    if (!item.enabled) li.setAttribute('aria-disabled', 'true');
    return li;
  }));
}

function renderProgress(progress) {
  const panel = document.getElementById('progress');
  panel.hidden = !progress;
  if (!progress) return;
  panel.querySelector('.progress-caption').textContent = progress.caption;
  const bar = panel.querySelector('progress');
  bar.max = Math.max(progress.total, 1);
  bar.value = Math.min(progress.done, progress.total);
  panel.querySelector('.progress-count').textContent = `${progress.done} / ${progress.total}`;
}

// --- the print preview ------------------------------------------------------------

const reportView = document.getElementById('view-report');
const reportFrame = document.getElementById('frame-report');
let reportShown = null;  // the preview request this tab shows

// While the program shows a report, it takes the main window's place (the
// windows below stay as they are) until the user goes back to the menu.
function renderReport(request) {
  // The preview covers the windows that are not modal too, until it is left.
  windowsHolder.hidden = !!request;
  if (!request) {
    if (reportShown === null) return;
    reportShown = null;
    reportView.hidden = true;
    reportFrame.src = 'about:blank';
    frames.main.focus();
    return;
  }
  for (const view of ['main', 'entry']) document.getElementById(`view-${view}`).hidden = true;
  document.title = request.title;
  if (reportShown && reportShown.id === request.id) return;
  reportShown = request;
  reportView.hidden = false;
  reportView.setAttribute('aria-label', request.title);
  document.getElementById('report-title').textContent = request.title;
  reportFrame.src = pageUrl(request.url);
  document.getElementById('report-print').focus();
}

function printReport() {
  if (reportShown) reportFrame.contentWindow.print();
}

function leaveReport() {
  if (reportShown) answer(reportShown.id, { back: true });
}

function onReportKey(event) {
  if (!reportShown) return;
  if (event.key === 'Escape') {
    event.preventDefault();
    leaveReport();
  } else if ((event.ctrlKey || event.metaKey) && event.key.toLowerCase() === 'p') {
    event.preventDefault();
    printReport();
  }
}

document.getElementById('report-print').addEventListener('click', printReport);
document.getElementById('report-back').addEventListener('click', leaveReport);
document.addEventListener('keydown', onReportKey);
// The keys work with the focus in the report too.
reportFrame.addEventListener('load', () => {
  try {
    reportFrame.contentDocument.addEventListener('keydown', onReportKey);
  } catch (error) { /* nothing loaded */ }
});

// Documents the program opened. The tab whose click asked for one opens it in
// a new tab (the click still counts as the user's gesture, so the popup is
// allowed); other tabs, and a tab whose popup was stopped, offer a link.
// Each is handled once per tab session, so a reload opens nothing again.
function renderDocuments(documents) {
  const last = documents.length ? documents[documents.length - 1].serial : 0;
  const stored = sessionStorage.getItem('zelka-documents');
  const seen = stored === null ? last : Number(stored);
  sessionStorage.setItem('zelka-documents', String(Math.max(seen, last)));
  for (const doc of documents) {
    if (doc.serial <= seen) continue;
    const url = pageUrl(doc.path);
    if (doc.client === client) {
      const tab = window.open(url, '_blank');
      if (tab) {
        tab.opener = null;
        continue;
      }
      showNotice('新しいタブを開けませんでした。次のリンクから開いてください: ', doc.name, url);
    } else {
      showNotice('別のタブで次の文書が開かれました: ', doc.name, url);
    }
  }
}

function showNotice(text, name, url) {
  const notice = document.getElementById('notice');
  const link = element('a', { href: url, target: '_blank', rel: 'noopener' }, name);
  notice.replaceChildren(text, link);
  notice.hidden = false;
  clearTimeout(showNotice.timer);
  showNotice.timer = setTimeout(() => { notice.hidden = true; }, 15000);
}

// --- page frames and the bridge ---------------------------------------------------

// The address of a program path ("FORM/A.HTM", "/PDF/x.pdf") for this session.
function pageUrl(page) {
  return session.pages + page.replace(/^\//, '').split('/').map(encodeURIComponent).join('/');
}

// Shows a page in a frame and resolves once it has completely loaded.
function loadFrame(view, page) {
  loadedPage[view] = page;
  return takeBuiltAhead(view, page) || loadIntoFrame(view, page);
}

function loadIntoFrame(view, page) {
  const frame = frames[view];
  return new Promise((resolve) => {
    mark(`load ${page} started`);
    frame.addEventListener('load', () => {
      mark(`load ${page} done`);
      resolve(true);
    }, { once: true });
    const url = new URL(pageUrl(page), location.href).href;
    passes[view] = url;
    frame.contentWindow.location.replace(url);
  });
}

// Every page the frame loads gets the bridge: status texts become events and
// navigations wait for the program's permission.
function installBridge(view) {
  const frame = frames[view];
  let win;
  let doc;
  try {
    win = frame.contentWindow;
    doc = win.document;
  } catch (error) {
    return;  // a foreign page: nothing to bridge
  }
  if (bridgedDocuments[view] === doc || doc.URL === 'about:blank') return;
  bridgedDocuments[view] = doc;
  let status = '';
  Object.defineProperty(win, 'status', {
    configurable: true,
    get: () => status,
    set: (value) => {
      status = String(value);
      if (status !== '') {
        mark(`status ${status}`);
        // The form as it stands at the click comes along: the program reads
        // it first thing, and saves a round trip by not asking.
        const form = doc.forms[0];
        sendEvent({ type: 'status', view, text: status, elements: form ? formElements(form) : undefined });
      }
    },
  });
  // Pages written for the old document model reach the window this way.
  try {
    Object.defineProperty(doc, 'parentWindow', { configurable: true, get: () => win });
  } catch (error) { /* already defined */ }
  bridges[view] = { clear: () => { status = ''; } };

  // What the user types is kept by the program, and put back when this page
  // is shown again after a reload or a new tab.
  doc.addEventListener('input', () => scheduleDraft(view), true);
  doc.addEventListener('change', () => scheduleDraft(view), true);
  const restore = () => {
    restoreDraft(view, doc);
    restoreMarks(view, doc);
  };
  if (doc.readyState === 'loading') doc.addEventListener('DOMContentLoaded', restore);
  else restore();

  // Links and forms aimed at the shell itself stay in their frame.
  const retarget = () => {
    for (const element of doc.querySelectorAll('a[target], form[target], base[target]')) {
      if (['_top', '_parent'].includes(element.getAttribute('target').toLowerCase())) {
        element.setAttribute('target', '_self');
      }
    }
  };
  if (doc.readyState === 'loading') doc.addEventListener('DOMContentLoaded', retarget);
  else retarget();
  if (win.navigation) {
    win.navigation.addEventListener('navigate', (event) => onFrameNavigate(view, win, event));
  }
  if (view === 'entry') {
    doc.addEventListener('keydown', onAccessKey, true);
    // The user moves on: a message box no longer needs to keep clear of the
    // field the program put the caret in.
    for (const type of ['keydown', 'mousedown']) doc.addEventListener(type, () => { programFocus = null; }, true);
  }
  doc.addEventListener('mousemove', (event) => {
    const box = frame.getBoundingClientRect();
    pointer.x = box.left + event.clientX;
    pointer.y = box.top + event.clientY;
  }, true);
}

// --- pending edits ------------------------------------------------------------------

const DRAFT_DELAY = 300;
const draftTimers = { main: null, entry: null };

function scheduleDraft(view) {
  clearTimeout(draftTimers[view]);
  draftTimers[view] = setTimeout(() => sendDraft(view), DRAFT_DELAY);
}

function sendDraft(view, keepalive = false) {
  if (draftTimers[view] === null) return;
  clearTimeout(draftTimers[view]);
  draftTimers[view] = null;
  const form = firstForm(view);
  if (!form || !loadedPage[view]) return;
  // Refused when the program has moved the view on meanwhile: nothing to keep.
  post('/api/event', { type: 'draft', view, page: loadedPage[view], elements: formElements(form) }, keepalive)
    .catch(() => {});
}

// The tab is going away: what was typed in the last moments goes now.
window.addEventListener('pagehide', () => {
  sendDraft('main', true);
  sendDraft('entry', true);
});

// The colours the program gave fields of this page, for a page shown anew.
function restoreMarks(view, doc) {
  const marks = lastState && lastState[`${view}Marks`];
  if (!marks || marks.page !== loadedPage[view]) return;
  if (new URL(doc.URL).pathname !== pageUrl(marks.page)) return;
  for (const [name, colour] of Object.entries(marks.colours || {})) {
    for (const element of doc.getElementsByName(name)) paintField(element, colour);
  }
}

function restoreDraft(view, doc) {
  const draft = lastState && lastState[`${view}Draft`];
  if (!draft || draft.page !== loadedPage[view]) return;
  if (new URL(doc.URL).pathname !== pageUrl(draft.page)) return;
  const form = doc.forms[0];
  if (!form) return;
  const elements = formControls(form);
  draft.elements.forEach((saved, index) => {
    const target = elements[index];
    if (!target || (target.name || '') !== saved.name || target.type !== saved.type) return;
    if (target.type === 'checkbox' || target.type === 'radio') target.checked = saved.checked;
    else if (target.type !== 'file') target.value = saved.value;
  });
}

function onFrameNavigate(view, win, event) {
  const url = event.destination.url;
  if (passes[view] === url) {
    passes[view] = null;
    return;
  }
  if (!event.cancelable || event.hashChange || event.downloadRequest !== null) return;
  if (url.startsWith('javascript:') || url === 'about:blank') return;
  event.preventDefault();
  const formData = event.formData;
  const postData = formData ? new URLSearchParams(formData).toString() : '';
  post('/api/event', { type: 'navigate', view, url, post: postData })
    .then(({ id }) => {
      pendingNavigations.set(id, { view, win, url, formData });
      if (lastState) settleNavigations(lastState.navigationReplies || {});
    })
    .catch((error) => console.warn(error));
}

function settleNavigations(replies) {
  for (const [id, pending] of pendingNavigations) {
    if (!(String(id) in replies)) continue;
    pendingNavigations.delete(id);
    if (!replies[String(id)]) continue;
    passes[pending.view] = pending.url;
    if (pending.formData) submitPosted(pending.win, pending.url, pending.formData);
    else pending.win.location.href = pending.url;
  }
}

function submitPosted(win, url, formData) {
  const form = win.document.createElement('form');
  form.method = 'post';
  form.action = url;
  form.hidden = true;
  for (const [name, value] of formData) {
    const input = win.document.createElement('input');
    input.type = 'hidden';
    input.name = name;
    input.value = typeof value === 'string' ? value : value.name;
    form.append(input);
  }
  win.document.body.append(form);
  form.submit();
}

// A page gets its bridge as soon as its document exists, long before its
// images and styles have loaded, so that a quick click is not lost.
const bridgedDocuments = { main: null, entry: null };
for (const view of ['main', 'entry']) {
  frames[view].addEventListener('load', () => installBridge(view));
}
setInterval(() => {
  installBridge('main');
  installBridge('entry');
}, 25);

// --- pages built ahead ----------------------------------------------------------

// Most of a page move is the browser building the next page: fetching,
// parsing, styling and laying it out takes 50 to 100 ms on a modest machine.
// So the pages a shown page's move buttons lead to are built ahead, one after
// another, in hidden inert frames beside the view's frame once the tab has
// been idle a moment. When the program asks for one of them, that frame takes
// the view frame's place and the old frame goes. A page asked for while it is
// still being built is awaited, which is still sooner than starting again.
const AHEAD_IDLE = 50;                                // ms without page operations first
const builtAhead = { main: new Map(), entry: new Map() };  // page -> { frame, ready }
const aheadTimers = { main: null, entry: null };

function scheduleBuildAhead(view) {
  clearTimeout(aheadTimers[view]);
  aheadTimers[view] = setTimeout(() => buildAhead(view), AHEAD_IDLE);
}

// The pages the shown page's "#" move buttons lead to, next page first.
function moveTargets(view) {
  let doc;
  try {
    doc = frames[view].contentDocument;
  } catch (error) {
    return [];
  }
  if (!doc || !loadedPage[view]) return [];
  const folder = loadedPage[view].slice(0, loadedPage[view].lastIndexOf('/') + 1);
  const buttons = Array.from(doc.querySelectorAll('button[data-status^="#"]'));
  buttons.sort((a, b) => b.classList.contains('next') - a.classList.contains('next'));
  const targets = [];
  for (const button of buttons) {
    const target = button.getAttribute('data-status').split('|')[1] || '';
    if (/^[^/\\]+\.htm$/i.test(target) && !targets.includes(folder + target)) targets.push(folder + target);
  }
  return targets.filter((page) => page !== loadedPage[view]);
}

// Page operations for the view that this tab has yet to run or finish. (A
// finished one may stay listed in the state until its next change.)
function pageOperationsOpen(view) {
  return operationsRunning[view] > 0 || (!!lastState && (lastState.requests || []).some(
    (r) => !MODAL_KINDS.has(r.kind) && r.view === view && !doneRequests.has(r.id)));
}

async function buildAhead(view) {
  if (document.getElementById(`view-${view}`).hidden) return;
  if (pageOperationsOpen(view) || frames[view].contentDocument?.readyState !== 'complete') {
    scheduleBuildAhead(view);
    return;
  }
  const wanted = moveTargets(view);
  for (const [page, built] of builtAhead[view]) {
    if (!wanted.includes(page)) {
      built.frame.remove();
      builtAhead[view].delete(page);
    }
  }
  for (const page of wanted) {
    if (!builtAhead[view].has(page)) builtAhead[view].set(page, buildFrame(view, page));
    await builtAhead[view].get(page).ready;
  }
}

function buildFrame(view, page) {
  const shown = frames[view];
  const box = shown.getBoundingClientRect();
  const frame = document.createElement('iframe');
  frame.className = 'page ahead';
  frame.inert = true;  // no clicks, and no focus
  frame.name = 'zelka-ahead';  // its page leaves the focus alone until shown
  frame.tabIndex = -1;
  frame.setAttribute('aria-hidden', 'true');
  frame.style.width = `${box.width}px`;
  frame.style.height = `${box.height}px`;
  const ready = new Promise((resolve) => {
    frame.addEventListener('load', () => {
      try {
        void frame.contentDocument.body.offsetHeight;  // style and layout now, not when shown
      } catch (error) { /* nothing to lay out */ }
      resolve();
    }, { once: true });
  });
  frame.src = new URL(pageUrl(page), location.href).href;
  shown.after(frame);
  return { frame, ready };
}

// The built frame of `page` in the view's place, once it is ready; null when
// none was built.
function takeBuiltAhead(view, page) {
  const built = builtAhead[view].get(page);
  if (!built) return null;
  builtAhead[view].delete(page);
  return built.ready.then(() => {
    const old = frames[view];
    const frame = built.frame;
    if (loadedPage[view] !== page || !frame.isConnected) {
      // Another page was asked for meanwhile, or the frame has gone.
      frame.remove();
      return loadedPage[view] === page ? loadIntoFrame(view, page) : true;
    }
    old.removeAttribute('id');
    frame.id = `frame-${view}`;
    frame.title = old.title;
    frame.className = old.className;
    frame.removeAttribute('style');
    frame.removeAttribute('aria-hidden');
    frame.removeAttribute('tabindex');
    frame.removeAttribute('name');
    frame.contentWindow.name = '';
    frame.inert = false;
    frames[view] = frame;
    frame.addEventListener('load', () => installBridge(view));
    old.remove();
    installBridge(view);
    mark(`load ${page} taken from ahead`);
    // The page's own script puts the focus in its first field when told.
    frame.contentWindow.dispatchEvent(new Event('zelka:shown'));
    return true;
  });
}

// --- page operations --------------------------------------------------------------

// Operations run one after another, in the order the program asked for them;
// the next one starts as soon as this one has run, not when its answer has
// reached the program (which waits only for its own answer).
function runPageOperation(request) {
  if (doneRequests.has(request.id)) return;
  doneRequests.add(request.id);
  operationsRunning[request.view] = (operationsRunning[request.view] || 0) + 1;
  opChain = opChain
    .then(() => {
      mark(`${request.kind} ${request.id} started`);
      return pageOperation(request);
    })
    .then((result) => { answer(request.id, result); }, (error) => {
      console.warn(error);
      answer(request.id, { ok: false, error: String(error) });
    })
    .then(() => {
      operationsRunning[request.view] -= 1;
      scheduleBuildAhead(request.view);
    });
}

function firstForm(view) {
  try {
    return frames[view].contentWindow.document.forms[0] || null;
  } catch (error) {
    return null;
  }
}

function findElement(view, name) {
  const form = firstForm(view);
  let found = form ? form.elements.namedItem(name) : null;
  if (!found) {
    try {
      found = frames[view].contentWindow.document.getElementsByName(name)[0] || null;
    } catch (error) {
      found = null;
    }
  }
  return found;
}

async function pageOperation(request) {
  const view = request.view;
  switch (request.kind) {
    case 'navigate': {
      // The loaded form comes along: the program reads it next, mostly.
      const ok = await loadFrame(view, request.page);
      const form = firstForm(view);
      return { ok, elements: form ? formElements(form) : [] };
    }
    case 'readForm': {
      const form = firstForm(view);
      return { elements: form ? formElements(form) : [] };
    }
    case 'writeForm':
      for (const update of request.updates) writeElement(view, update);
      // What the program filled in is kept as well: a reloaded page shows it
      // again instead of empty fields that a save would store.
      scheduleDraft(view);
      return {};
    case 'focus': {
      const element = findElement(view, request.name);
      const target = element && element.length !== undefined && !element.tagName ? element[0] : element;
      if (target && target.focus) {
        target.scrollIntoView({ block: 'nearest' });
        // Under a modal box the caret stays in the box; the field is only shown.
        if (!document.getElementById(`view-${view}`).inert) target.focus();
        programFocus = view === 'entry' ? target : null;
      }
      return {};
    }
    case 'clearStatus':
      if (bridges[view]) bridges[view].clear();
      return {};
    default:
      return { ok: false, error: `unknown operation ${request.kind}` };
  }
}

function formControls(form) {
  return Array.from(form.elements).filter((e) => e.type !== 'fieldset');
}

// The form's elements as the program reads them, in document order.
function formElements(form) {
  return formControls(form).map((e) => ({
    name: e.name || '',
    type: e.type || '',
    value: e.value == null ? '' : String(e.value),
    checked: !!e.checked,
  }));
}

function writeElement(view, update) {
  const found = findElement(view, update.name);
  if (!found) return;
  // A group of radio buttons with one name comes back as a list.
  const group = found.tagName ? [found] : Array.from(found);
  if ('value' in update) found.value = update.value;
  for (const element of group) {
    if ('checked' in update) element.checked = update.checked;
    if ('background' in update) paintField(element, update.background);
  }
}

// The program marks a refused field red ("#ff0000") and clears it to white.
// The colour is set as the program says; the attribute lets the page's
// style make the marked field's text and border readable on the red.
const MARK_COLOUR = '#ff0000';
function paintField(element, colour) {
  element.style.backgroundColor = colour;
  element.toggleAttribute('data-refused', String(colour).toLowerCase() === MARK_COLOUR);
}

// --- modal overlays ---------------------------------------------------------------

const overlays = document.getElementById('overlays');
const shown = new Map();  // request id -> { backdrop, key }

function renderModals(modals) {
  const ids = new Set(modals.map((m) => m.id));
  for (const [id, entry] of shown) {
    if (!ids.has(id)) {
      entry.backdrop.remove();
      shown.delete(id);
    }
  }
  for (const request of modals) {
    const key = JSON.stringify(request);
    const entry = shown.get(request.id);
    if (entry && entry.key === key) continue;
    const backdrop = entry ? entry.backdrop : document.createElement('div');
    if (!entry) {
      backdrop.className = 'backdrop';
      overlays.append(backdrop);
    }
    const previous = entry && entry.box;
    const box = buildModal(request, previous);
    keepFocusMemo(box, previous);
    backdrop.replaceChildren(box);
    shown.set(request.id, { backdrop, key, box });
    place(box, request, previous);
    if (!previous && request.kind === 'message') keepFieldInView(box);
    for (const row of box.querySelectorAll('.grid tr[aria-selected="true"]')) row.scrollIntoView({ block: 'nearest' });
  }
  // Only the topmost box takes input; the windows beneath wait.
  const topEntry = modals.length ? shown.get(modals[modals.length - 1].id) : null;
  const top = topEntry ? topEntry.backdrop : null;
  for (const { backdrop } of shown.values()) backdrop.inert = backdrop !== top;
  for (const view of ['main', 'entry']) document.getElementById(`view-${view}`).inert = !!top;
  // A message over a window that is not modal hands the focus back to it.
  if (top && !windowsHolder.inert) focusInWindow = windowsHolder.contains(document.activeElement) ? document.activeElement : null;
  windowsHolder.inert = !!top;
  if (top && !top.contains(document.activeElement)) focusInto(topEntry.box);
  if (!top && focusInWindow) {
    if (focusInWindow.isConnected && document.activeElement === document.body) focusInWindow.focus();
    focusInWindow = null;
  }
}

function buildModal(request, previous) {
  switch (request.kind) {
    case 'message': return buildMessage(request);
    case 'input': return buildInput(request);
    case 'save': return buildSave(request, previous);
    default: return buildDialog(request, previous);
  }
}

function element(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(props)) {
    if (name === 'class') node.className = value;
    else if (name.startsWith('on')) node.addEventListener(name.slice(2), value);
    else if (name in node && typeof value !== 'string') node[name] = value;
    else node.setAttribute(name, value);
  }
  node.append(...children.filter((c) => c !== null && c !== undefined));
  return node;
}

// A box with a caption bar; `close` adds the × button.
function modalBox(kind, caption, close) {
  const title = caption || APP_TITLE;
  const box = element('div', { class: `modal ${kind}`, role: 'dialog', 'aria-modal': 'true', 'aria-label': title });
  const bar = element('div', { class: 'modal-caption' }, element('span', { class: 'modal-title' }, title));
  if (close) {
    bar.append(element('button', {
      type: 'button', class: 'close-button', 'aria-label': '閉じる', title: '閉じる', onclick: close,
    }, '×'));
  }
  box.append(bar);
  return box;
}

function plainText(text) {
  return String(text).replace(/\r\n?/g, '\n');
}

const ICON_GLYPHS = { critical: '×', exclamation: '!', information: 'i' };
const ICON_NAMES = { critical: 'エラー', exclamation: '警告', information: '情報' };

function iconFor(kind) {
  if (!ICON_GLYPHS[kind]) return null;
  return element('span', { class: `icon icon-${kind}`, role: 'img', 'aria-label': ICON_NAMES[kind] },
    ICON_GLYPHS[kind]);
}

function buttonRow(buttons) {
  return element('div', { class: 'buttons' }, ...buttons.map(([label, onclick, extra = {}]) =>
    element('button', { type: 'button', onclick, ...extra }, label)));
}

function buildMessage(request) {
  const box = modalBox('message', request.title, null);
  if (request.icon !== 'none') box.dataset.icon = request.icon;
  box.append(element('div', { class: 'message-body' },
    iconFor(request.icon),
    element('p', { class: 'message-text' }, plainText(request.text))));
  const reply = (value) => () => answer(request.id, value);
  // The default button has the focus, and Escape chooses it where it is いいえ.
  const noByDefault = request.buttons === 'yesno' && request.default === 'no';
  const buttons = {
    ok: [['OK', reply('ok')]],
    okcancel: [['OK', reply('ok')], ['キャンセル', reply('cancel')]],
    yesno: [['はい', reply('yes')], ['いいえ', reply('no'), noByDefault ? { 'data-default': 'true' } : {}]],
  }[request.buttons];
  box.append(buttonRow(buttons));
  box.addEventListener('keydown', (event) => {
    if (event.key !== 'Escape') return;
    if (request.buttons === 'okcancel') answer(request.id, 'cancel');
    if (request.buttons === 'ok') answer(request.id, 'ok');
    if (noByDefault) answer(request.id, 'no');
  });
  return box;
}

function buildInput(request) {
  const box = modalBox('input', request.title, null);
  const inputId = `input-${request.id}`;
  const input = element('input', { id: inputId, type: 'text', value: request.text, autocomplete: 'off' });
  const ok = () => answer(request.id, { ok: true, text: input.value });
  const cancel = () => answer(request.id, { ok: false });
  input.addEventListener('keydown', (event) => { if (event.key === 'Enter') ok(); });
  box.addEventListener('keydown', (event) => { if (event.key === 'Escape') cancel(); });
  box.append(
    element('div', { class: 'input-body' },
      element('label', { for: inputId, class: 'prompt' }, plainText(request.prompt)), input),
    buttonRow([['OK', ok], ['キャンセル', cancel]]));
  return box;
}

// --- save-file dialog ---------------------------------------------------------------

function globMatches(pattern, name) {
  if (pattern === '*.*' || pattern === '*') return true;
  const regex = new RegExp('^' + pattern.replace(/[.+^${}()|[\]\\]/g, '\\$&')
    .replace(/\*/g, '.*').replace(/\?/g, '.') + '$', 'i');
  return regex.test(name);
}

function buildSave(request, previous) {
  const box = modalBox('save', request.title || '名前を付けて保存', () => answer(request.id, { cancel: true }));
  const keep = previous && previous.saveState;
  const state = keep || { dir: request.dir, name: request.fileName || '', type: 0 };
  box.saveState = state;
  const nameId = `save-name-${request.id}`;
  const typeId = `save-type-${request.id}`;
  const dirLabel = element('span', { class: 'save-dir' });
  const list = element('ul', { class: 'file-list', role: 'listbox', 'aria-label': 'フォルダーの内容' });
  const nameInput = element('input', { id: nameId, type: 'text', value: state.name, autocomplete: 'off' });
  const typeSelect = element('select', { id: typeId },
    ...request.types.map((t, i) => element('option', { value: String(i) }, t.label)));
  typeSelect.value = String(state.type);
  const error = element('p', { class: 'save-error', role: 'alert' }, request.error || '');
  let listing = null;

  const showListing = () => {
    if (!listing) return;
    // Isolated left to right, or the leading "/" of the path moves to its end.
    dirLabel.replaceChildren(element('bdi', { dir: 'ltr' }, listing.dir));
    const patterns = (request.types[state.type] || { patterns: ['*.*'] }).patterns;
    const items = listing.entries.filter((e) => e.folder || patterns.some((p) => globMatches(p, e.name)));
    list.replaceChildren(...items.map((entry) => {
      const item = element('li', {
        role: 'option', tabIndex: -1, class: entry.folder ? 'folder' : 'file', 'aria-selected': 'false',
      }, element('span', { class: 'entry-icon', 'aria-hidden': 'true' }), entry.name);
      item.addEventListener('click', () => {
        for (const other of list.children) other.setAttribute('aria-selected', 'false');
        item.setAttribute('aria-selected', 'true');
        if (!entry.folder) {
          nameInput.value = entry.name;
          state.name = entry.name;
        }
      });
      item.addEventListener('dblclick', () => {
        if (entry.folder) openFolder(joinPath(listing.dir, entry.name));
        else save();
      });
      return item;
    }));
    if (!listing.entries.length && listing.error) error.textContent = listing.error;
  };
  const openFolder = async (dir) => {
    try {
      const response = await fetch(`/api/folder?request=${request.id}&dir=${encodeURIComponent(dir)}`,
        { headers: withSession() });
      if (!response.ok) return;
      const next = await response.json();
      if (next.error) {
        error.textContent = next.error;
        return;
      }
      // The program's word on the last choice stays until the user moves on.
      if (next.dir !== state.dir) error.textContent = '';
      listing = next;
      state.dir = next.dir;
      showListing();
    } catch (failure) {
      console.warn(failure);
    }
  };
  const save = () => {
    let name = nameInput.value.trim();
    if (!name) {
      error.textContent = 'ファイル名を入力してください。';
      nameInput.focus();
      return;
    }
    // A name typed without an extension gets the chosen type's ("*.rtf").
    const pattern = ((request.types[state.type] || {}).patterns || [])[0] || '';
    const extension = /^\*(\.[^.*?]+)$/.exec(pattern);
    if (extension && !/\.[^./]+$/.test(name.split('/').pop())) name += extension[1];
    answer(request.id, { path: name.startsWith('/') ? name : joinPath(state.dir, name) });
  };
  nameInput.addEventListener('input', () => { state.name = nameInput.value; });
  nameInput.addEventListener('keydown', (event) => { if (event.key === 'Enter') save(); });
  typeSelect.addEventListener('change', () => { state.type = Number(typeSelect.value); showListing(); });
  box.addEventListener('keydown', (event) => {
    if (event.key === 'Escape' && !request.question) answer(request.id, { cancel: true });
  });

  box.append(element('div', { class: 'save-body' },
    element('div', { class: 'save-location' },
      element('button', { type: 'button', class: 'up-button', onclick: () => listing && listing.parent && openFolder(listing.parent) }, '上へ'),
      dirLabel),
    list,
    element('div', { class: 'field' }, element('label', { for: nameId }, 'ファイル名'), nameInput),
    element('div', { class: 'field' }, element('label', { for: typeId }, 'ファイルの種類'), typeSelect),
    error),
  buttonRow([['保存', save, { class: 'primary' }], ['キャンセル', () => answer(request.id, { cancel: true })]]));
  openFolder(state.dir);

  if (request.question) {
    const question = modalBox('message', request.title || '名前を付けて保存', null);
    question.dataset.icon = 'exclamation';
    question.classList.add('nested');
    question.append(
      element('div', { class: 'message-body' }, iconFor('exclamation'),
        element('p', { class: 'message-text' }, request.question)),
      buttonRow([
        ['はい', () => answer(request.id, { path: request.pending, overwrite: true })],
        ['いいえ', () => answer(request.id, { back: true })],
      ]));
    for (const child of Array.from(box.children)) child.inert = true;
    box.append(question);
  }
  return box;
}

function joinPath(dir, name) {
  return dir.endsWith('/') ? dir + name : `${dir}/${name}`;
}

// --- generic dialogs --------------------------------------------------------------------

const calendarMonths = new Map();  // control key -> month shown, "YYYY-MM"

function buildDialog(request, previous) {
  const box = modalBox('dialog', request.caption, () => sendDialog(request, box, { event: 'close' }));
  box.dataset.request = request.id;
  const body = element('div', { class: 'dialog-body' });
  let row = null;
  request.controls.forEach((control, index) => {
    const node = buildControl(request, box, control);
    node.hidden = !control.visible;
    node.dataset.control = control.id;
    // Neighbouring buttons share a row, as do neighbouring fields; a "..."
    // picker button stays beside the field it fills, and a label before a
    // list stays on the list's row (時間 [時] ： [分]).
    const picker = control.kind === 'button' && control.caption === '...' && row && row.dataset.group === 'fields';
    const next = request.controls[index + 1];
    const listLabel = control.kind === 'label' && next && next.kind === 'select';
    const group = picker || listLabel || ['text', 'select'].includes(control.kind) ? 'fields' : control.kind === 'button' ? 'buttons' : null;
    if (group && row && row.dataset.group === group) {
      row.append(node);
    } else if (group) {
      row = element('div', { class: group === 'buttons' ? 'buttons' : 'field-row' }, node);
      row.dataset.group = group;
      body.append(row);
    } else {
      row = null;
      body.append(node);
    }
  });
  box.append(body);
  box.addEventListener('keydown', (event) => onDialogKey(request, box, event));
  return box;
}

function controlKey(request, control) {
  return `${request.id}:${control.id}`;
}

function buildControl(request, box, control) {
  const id = `c-${request.id}-${control.id}`;
  switch (control.kind) {
    case 'text': {
      const input = element('input', { id, type: 'text', value: control.value, autocomplete: 'off' });
      input.dataset.value = control.id;
      return element('div', { class: 'field' }, element('label', { for: id }, control.caption), input);
    }
    case 'select': {
      const select = element('select', { id },
        ...control.options.map((o) => element('option', { value: o }, o)));
      select.value = control.value;
      select.dataset.value = control.id;
      const label = control.caption
        ? element('label', { for: id }, control.caption)
        : null;
      if (!label) select.setAttribute('aria-label', control.id);
      return element('div', { class: 'field' }, label, select);
    }
    case 'button':
      return element('button', {
        type: 'button', id, onclick: () => sendDialog(request, box, { event: 'click', control: control.id }),
      }, control.caption);
    case 'label':
      return element('p', { class: 'label', id }, plainText(control.caption || control.value));
    case 'grid':
      return buildGrid(request, box, control, id);
    case 'calendar':
      return buildCalendar(request, box, control, id);
    default:
      return element('div', { id }, control.caption);
  }
}

// The search grid: one row highlighted (the program's choice at first). By
// keyboard the highlighted row holds the focus: ↑ ↓ Home End PageUp PageDown
// move it, Enter chooses it and Delete asks to delete it, as the buttons do.
function buildGrid(request, box, control, id) {
  const table = element('table', { class: 'grid', id, role: 'grid', 'aria-label': control.caption || control.id });
  table.dataset.selection = control.id;
  table.dataset.selected = String(control.selected);
  table.append(element('thead', {}, element('tr', {}, ...control.columns.map((c) => element('th', { scope: 'col' }, c)))));
  const body = element('tbody');
  const select = (index, focus) => {
    const rows = body.children;
    if (!rows.length) return;
    index = Math.max(0, Math.min(rows.length - 1, index));
    Array.from(rows).forEach((tr, i) => {
      tr.setAttribute('aria-selected', String(i === index));
      tr.tabIndex = i === index ? 0 : -1;
    });
    table.dataset.selected = String(index);
    rows[index].scrollIntoView({ block: 'nearest' });
    if (focus) rows[index].focus();
  };
  const highlighted = control.selected >= 0 ? control.selected : 0;
  control.rows.forEach((cells, index) => {
    const tr = element('tr', { 'aria-selected': String(index === control.selected), tabIndex: index === highlighted ? 0 : -1 },
      ...cells.map((cell) => element('td', {}, cell)));
    tr.dataset.part = 'row';
    tr.addEventListener('click', () => select(index, true));
    tr.addEventListener('dblclick', () => {
      table.dataset.selected = String(index);
      sendDialog(request, box, { event: 'dblclick', control: control.id, row: index });
    });
    body.append(tr);
  });
  table.addEventListener('keydown', (event) => {
    const current = Number(table.dataset.selected);
    const page = Math.max(1, Math.floor(table.parentElement.clientHeight / 28) - 1);
    const moves = { ArrowDown: current + 1, ArrowUp: current - 1, Home: 0, End: body.children.length - 1,
      PageDown: current + page, PageUp: current - page };
    if (event.key in moves && !event.altKey) {
      event.preventDefault();
      select(moves[event.key], true);
    } else if (event.key === 'Enter' || event.key === 'Delete') {
      event.preventDefault();
      event.stopPropagation();
      if (body.children.length) sendDialog(request, box, { event: 'key', key: event.key, control: control.id });
    }
  });
  table.append(body);
  return element('div', { class: 'grid-frame' }, table);
}

function isoDate(year, month, day) {
  return `${String(year).padStart(4, '0')}-${String(month).padStart(2, '0')}-${String(day).padStart(2, '0')}`;
}

function daysIn(year, month) {
  return new Date(year, month, 0).getDate();
}

// Era names for the calendar, from the program's list of "<name> <first day>":
// the era and its year of a day, 元 for a first year.
function eraYears(control) {
  const eras = (control.options || []).map((o) => o.split(' ')).filter(([, start]) => /^\d{4}-\d{2}-\d{2}$/.test(start || ''));
  const eraOf = (iso) => eras.filter(([, start]) => start <= iso).pop();
  const yearText = (name, start, year) => {
    const n = year - Number(start.slice(0, 4)) + 1;
    return `${name}${n === 1 ? '元' : n}年`;
  };
  return {
    // 昭和12年 for a day of 1937; '' before the first known era.
    ofDay(iso) {
      const era = eraOf(iso);
      return era ? yearText(era[0], era[1], Number(iso.slice(0, 4))) : '';
    },
    // Every era a year lies in: 昭和64年/平成元年 for 1989.
    ofYear(year) {
      return eras.filter(([, start], i) => start <= `${year}-12-31`
        && (i + 1 === eras.length || eras[i + 1][1] > `${year}-01-01`))
        .map(([name, start]) => yearText(name, start, year)).join('/');
    },
  };
}

// A month calendar with year and month lists (each year named with its era,
// 昭和12年 (1937)) and a grid of days. By keyboard the chosen day holds the
// focus: arrows move it by a day or a week, PageUp and PageDown by a month,
// Enter confirms it. Digits typed on the year list choose that year.
function buildCalendar(request, box, control, id) {
  const holder = element('div', { class: 'calendar', id, role: 'group', 'aria-label': control.caption || 'カレンダー' });
  holder.dataset.value = control.id;
  const era = eraYears(control);
  const today = new Date();
  const parsed = /^(\d{4})-(\d{2})-(\d{2})$/.exec(control.value);
  let value = parsed ? control.value : isoDate(today.getFullYear(), today.getMonth() + 1, today.getDate());
  holder.dataset.current = value;
  let typed = '';
  let typedAt = 0;

  const draw = (focusPart = null) => {
    const [year, month, day] = value.split('-').map(Number);
    const go = (y, m, d, part) => {
      const target = new Date(y, m - 1, 1);
      const ty = target.getFullYear();
      const tm = target.getMonth() + 1;
      value = isoDate(ty, tm, Math.min(Math.max(d, 1), daysIn(ty, tm)));
      holder.dataset.current = value;
      draw(part);
    };
    const moveDays = (delta) => {
      const target = new Date(year, month - 1, day + delta);
      go(target.getFullYear(), target.getMonth() + 1, target.getDate(), 'day');
    };
    const firstYear = Math.min(1900, year);
    const lastYear = Math.max(today.getFullYear() + 10, year);
    const years = [];
    for (let y = lastYear; y >= firstYear; y--) {
      const names = era.ofYear(y);
      years.push(element('option', { value: String(y) }, names ? `${names} (${y})` : `${y}年`));
    }
    const yearList = element('select', { 'aria-label': '年', class: 'calendar-year' }, ...years);
    yearList.value = String(year);
    yearList.dataset.part = 'year';
    yearList.addEventListener('change', () => go(Number(yearList.value), month, day, 'year'));
    yearList.addEventListener('keydown', (event) => {
      if (!/^[0-9]$/.test(event.key)) return;
      event.preventDefault();
      typed = performance.now() - typedAt < 1500 ? typed + event.key : event.key;
      typedAt = performance.now();
      const found = Array.from(yearList.options).find((o) => o.value.startsWith(typed));
      if (found && typed.length === 4) go(Number(found.value), month, day, 'year');
    });
    const monthList = element('select', { 'aria-label': '月', class: 'calendar-month-list' },
      ...Array.from({ length: 12 }, (_, i) => element('option', { value: String(i + 1) }, `${i + 1}月`)));
    monthList.value = String(month);
    monthList.dataset.part = 'month';
    monthList.addEventListener('change', () => go(year, Number(monthList.value), day, 'month'));
    const arrow = (label, delta, part, glyph) => {
      const button = element('button', { type: 'button', 'aria-label': label, onclick: () => go(year, month + delta, day, part) }, glyph);
      button.dataset.part = part;
      return button;
    };
    const head = element('div', { class: 'calendar-head' },
      arrow('前の月', -1, 'prev', '‹'), yearList, monthList, arrow('次の月', 1, 'next', '›'));
    // The month as Japanese users name it, by the era of the chosen day.
    const heading = element('p', { class: 'calendar-month', 'aria-live': 'polite' }, `${era.ofDay(value)}${month}月`);
    const grid = element('div', { class: 'calendar-days' },
      ...['日', '月', '火', '水', '木', '金', '土'].map((d) => element('span', { class: 'weekday' }, d)));
    const offset = new Date(year, month - 1, 1).getDay();
    for (let i = 0; i < offset; i++) grid.append(element('span'));
    for (let d = 1; d <= daysIn(year, month); d++) {
      const weekday = (offset + d - 1) % 7;
      const button = element('button', {
        type: 'button',
        class: `day${weekday === 0 ? ' sunday' : weekday === 6 ? ' saturday' : ''}`,
        'aria-label': `${year}年${month}月${d}日`,
        'aria-pressed': String(d === day),
        tabIndex: d === day ? 0 : -1,
        onclick: () => {
          value = isoDate(year, month, d);
          holder.dataset.current = value;
          draw('day');
          sendDialog(request, box, { event: 'click', control: control.id });
        },
      }, String(d));
      button.dataset.part = 'day';
      if (d === day) button.dataset.autofocus = '';  // the picker opens with the caret on its day
      grid.append(button);
    }
    grid.addEventListener('keydown', (event) => {
      const steps = { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -7, ArrowDown: 7 };
      if (event.key in steps) moveDays(steps[event.key]);
      else if (event.key === 'PageUp' || event.key === 'PageDown') go(year, month + (event.key === 'PageUp' ? -1 : 1), day, 'day');
      else if (event.key === 'Enter') sendDialog(request, box, { event: 'key', key: 'Enter', control: control.id });
      else return;
      event.preventDefault();
      event.stopPropagation();
    });
    holder.replaceChildren(head, heading, grid);
    if (focusPart) {
      const target = holder.querySelector(focusPart === 'day' ? '.day[tabindex="0"]' : `[data-part="${focusPart}"]`);
      if (target) target.focus();
    }
  };
  draw();
  return holder;
}

function dialogValues(box) {
  const values = {};
  const selections = {};
  for (const node of box.querySelectorAll('[data-value]')) {
    values[node.dataset.value] = node.classList.contains('calendar') ? node.dataset.current : node.value;
  }
  for (const table of box.querySelectorAll('[data-selection]')) {
    selections[table.dataset.selection] = Number(table.dataset.selected);
  }
  return { values, selections };
}

function sendDialog(request, box, event) {
  if (request.kind === 'window') return sendEvent({ type: 'window', window: request.caption, client, ...event });
  return answer(request.id, { ...event, ...dialogValues(box) });
}

function onDialogKey(request, box, event) {
  let key = null;
  // ↓ from a criteria field goes down to the rows found.
  if (event.key === 'ArrowDown' && event.target.tagName === 'INPUT') {
    const row = box.querySelector('.grid tbody tr[tabindex="0"]');
    if (row) {
      event.preventDefault();
      row.focus();
    }
    return;
  }
  if (event.key === 'Escape') key = 'Escape';
  else if (event.key === 'Enter' && event.target.tagName === 'INPUT') key = 'Enter';
  else if (event.shiftKey && event.ctrlKey && event.altKey && /^(Key|Digit)/.test(event.code)) {
    key = `Shift+Ctrl+Alt+${event.code.replace(/^(Key|Digit)/, '')}`;
  }
  if (!key) return;
  event.preventDefault();
  event.stopPropagation();
  sendDialog(request, box, { event: 'key', key });
}

// --- windows that are not modal -------------------------------------------------------

// Shown over the views without a backdrop, so the windows beneath stay usable.
// Each starts in the middle of the tab and can be dragged by its caption.
const windowsHolder = document.getElementById('windows');
const shownWindows = new Map();  // window id -> { box, key, raised }
let focusInWindow = null;        // where the focus was in a window when a modal box came

function renderWindows(windows) {
  const ids = new Set(windows.map((w) => w.id));
  for (const [id, entry] of shownWindows) {
    if (ids.has(id)) continue;
    const hadFocus = entry.box.contains(document.activeElement);
    entry.box.remove();
    shownWindows.delete(id);
    if (hadFocus) focusShownView();
  }
  for (const request of windows) {
    const { raised, ...content } = request;
    const key = JSON.stringify(content);
    let entry = shownWindows.get(request.id);
    if (!entry || entry.key !== key) {
      const previous = entry && entry.box;
      const box = buildDialog(request, previous);
      box.classList.add('modeless');
      box.setAttribute('aria-modal', 'false');
      const hadFocus = !!previous && previous.contains(document.activeElement);
      keepFocusMemo(box, previous);
      if (previous) {
        box.style.cssText = previous.style.cssText;
        previous.replaceWith(box);
      } else {
        windowsHolder.append(box);
      }
      makeDraggable(box);
      if (hadFocus && box.focusMemo) focusInto(box);
      entry = { box, key, raised: entry ? entry.raised : null };
      shownWindows.set(request.id, entry);
    }
    if (entry.raised !== raised) {  // shown (again) by the program: to the front, with the focus
      entry.raised = raised;
      windowsHolder.append(entry.box);
      if (!windowsHolder.inert) focusFirst(entry.box);
    }
  }
}

function makeDraggable(box) {
  const bar = box.querySelector('.modal-caption');
  bar.addEventListener('pointerdown', (event) => {
    if (event.button !== 0 || event.target.closest('button')) return;
    const rect = box.getBoundingClientRect();
    const dx = event.clientX - rect.left;
    const dy = event.clientY - rect.top;
    const move = (e) => {
      box.style.left = `${Math.max(0, Math.min(e.clientX - dx, window.innerWidth - rect.width))}px`;
      box.style.top = `${Math.max(0, Math.min(e.clientY - dy, window.innerHeight - rect.height))}px`;
      box.style.transform = 'none';
    };
    bar.setPointerCapture(event.pointerId);
    bar.addEventListener('pointermove', move);
    bar.addEventListener('pointerup', () => bar.removeEventListener('pointermove', move), { once: true });
  });
}

function focusShownView() {
  const view = lastState && lastState.views.entry.visible ? 'entry' : 'main';
  frames[view].focus();
}

// --- placement and focus ------------------------------------------------------------

function place(box, request, previous) {
  if (request.placement !== 'pointer') return;
  if (previous && previous.style.left) {
    box.style.left = previous.style.left;
    box.style.top = previous.style.top;
    box.classList.add('at-pointer');
    return;
  }
  box.classList.add('at-pointer');
  // Top-left at the pointer, pulled back so the whole box stays on screen.
  const { width, height } = box.getBoundingClientRect();
  const left = Math.max(0, Math.min(pointer.x, window.innerWidth - width));
  const top = Math.max(0, Math.min(pointer.y, window.innerHeight - height));
  box.style.left = `${left}px`;
  box.style.top = `${top}px`;
}

// Where the caret is in a box, in terms that survive drawing the box again:
// the control, the part of it (a grid row, a calendar day) and the caret's
// place in a text field.
function focusMemo(target) {
  const holder = target.closest('[data-control]');
  if (!holder) return null;
  return {
    control: holder.dataset.control,
    part: target.dataset.part || null,
    caret: typeof target.selectionStart === 'number' ? [target.selectionStart, target.selectionEnd] : null,
  };
}

// A box drawn again keeps the caret where the user had it.
function keepFocusMemo(box, previous) {
  box.focusMemo = previous ? previous.focusMemo : null;
  box.addEventListener('focusin', (event) => { box.focusMemo = focusMemo(event.target); });
}

// Puts the caret back where the box's memo says, else into its first field.
function focusInto(box) {
  const memo = box.focusMemo;
  const holder = memo && box.querySelector(`[data-control="${CSS.escape(memo.control)}"]`);
  let target = null;
  if (holder && !holder.hidden) {
    target = memo.part ? holder.querySelector(`[data-part="${CSS.escape(memo.part)}"][tabindex="0"], [data-part="${CSS.escape(memo.part)}"]:not([tabindex])`) : null;
    if (!target) target = holder.matches('button, input, select') ? holder : holder.querySelector('input, select, button');
  }
  if (!target) return focusFirst(box.parentElement);
  target.focus();
  if (memo.caret && typeof target.setSelectionRange === 'function') target.setSelectionRange(...memo.caret);
}

function focusFirst(container) {
  const target = container.querySelector('.modal:not([inert]) [data-autofocus]')
    || container.querySelector('.modal button[data-default]')
    || container.querySelector('.modal:not([inert]) input:not([hidden]), .nested button, .modal button:not(.close-button)');
  if (target) target.focus();
}

// A message about a page field (the program has just put the caret in it)
// stands clear of that field, above or below it, so that the user sees both.
function keepFieldInView(box) {
  // The caret may be on its way in the same state as the message.
  const pending = ((lastState && lastState.requests) || [])
    .filter((r) => r.kind === 'focus' && r.view === 'entry' && !doneRequests.has(r.id)).pop();
  let field = pending ? findElement('entry', pending.name) : programFocus;
  if (field && !field.tagName) field = field[0];
  if (!field || !field.isConnected || field.ownerDocument !== frames.entry.contentDocument) return;
  if (document.getElementById('view-entry').hidden) return;
  field.scrollIntoView({ block: 'nearest' });
  const frameBox = frames.entry.getBoundingClientRect();
  const own = field.getBoundingClientRect();
  const target = { top: frameBox.top + own.top, bottom: frameBox.top + own.bottom };
  const { width, height } = box.getBoundingClientRect();
  const margin = 12;
  let top = null;
  if (target.bottom + margin + height <= window.innerHeight) top = target.bottom + margin;
  else if (target.top - margin - height >= 0) top = target.top - margin - height;
  if (top === null) return;
  box.classList.add('at-pointer');
  box.style.left = `${Math.max(0, (window.innerWidth - width) / 2)}px`;
  box.style.top = `${top}px`;
}

window.addEventListener('mousemove', (event) => {
  pointer.x = event.clientX;
  pointer.y = event.clientY;
}, true);

// --- menus and window buttons ----------------------------------------------------------

document.querySelector('[data-item="IDM_VerInfo"]').addEventListener('click', () => {
  sendEvent({ type: 'menu', item: 'IDM_VerInfo' });
});
document.getElementById('entry-close').addEventListener('click', () => {
  sendEvent({ type: 'close', view: 'entry' });
});

const menuButton = document.getElementById('entry-menu-button');
const menuList = document.getElementById('entry-menu-list');
let menuReturn = null;  // where the caret was before the menu opened
function setMenuOpen(open) {
  if (open && menuList.hidden) {
    const frameDoc = frames.entry.contentDocument;
    const inPage = document.activeElement === frames.entry && frameDoc && frameDoc.activeElement;
    menuReturn = inPage && inPage !== frameDoc.body ? inPage : document.activeElement;
  }
  menuList.hidden = !open;
  menuButton.setAttribute('aria-expanded', String(open));
  if (open) {
    const first = menuList.querySelector('[role="menuitem"]:not([aria-disabled])');
    if (first) first.focus();
  }
}
function closeMenuBack() {
  setMenuOpen(false);
  const back = menuReturn && menuReturn.isConnected ? menuReturn : menuButton;
  back.focus();
}
menuButton.addEventListener('click', () => setMenuOpen(menuList.hidden));
menuList.addEventListener('click', (event) => {
  const item = event.target.closest('[role="menuitem"]');
  if (!item || item.getAttribute('aria-disabled')) return;
  setMenuOpen(false);
  // A jump stores the page first: its form comes along, as with a page's own move.
  const form = firstForm('entry');
  sendEvent({ type: 'menu', item: item.dataset.item, elements: form ? formElements(form) : undefined });
});
menuList.addEventListener('keydown', (event) => {
  const items = Array.from(menuList.querySelectorAll('[role="menuitem"]'));
  const index = items.indexOf(document.activeElement);
  const moves = { ArrowDown: index + 1, ArrowUp: index - 1, Home: 0, End: items.length - 1 };
  if (event.key === 'Escape' || event.key === 'Tab') {
    event.preventDefault();
    closeMenuBack();
  } else if (event.key in moves) {
    event.preventDefault();
    items[(moves[event.key] + items.length) % items.length].focus();
  } else if (event.key === 'Enter' || event.key === ' ') {
    event.preventDefault();
    document.activeElement.click();
  } else if (event.key.length === 1 && !event.altKey && !event.ctrlKey) {
    // A letter goes to the next item that starts with it ("R" → R.アセスメントへの参加).
    const letter = event.key.toUpperCase();
    const next = [...items.slice(index + 1), ...items.slice(0, index + 1)]
      .find((item) => item.textContent.toUpperCase().startsWith(letter));
    if (next) next.focus();
  }
});
document.addEventListener('click', (event) => {
  if (!menuList.hidden && !event.target.closest('#entry-menu')) setMenuOpen(false);
});

// Access keys of the entry window wherever the caret is, in the shell or in
// the page: Alt+J opens the jump menu, and the page's own access keys (its
// move buttons: Alt+P, Alt+S, Alt+N) work from the shell as well. The page
// frame is a document of its own, so neither would reach the other. Both are
// taken on the key going down, which also keeps the browser from acting on
// a page's access key a second time.
function onAccessKey(event) {
  if (!event.altKey || event.ctrlKey || event.metaKey || event.shiftKey || !/^Key[A-Z]$/.test(event.code)) return;
  if (document.getElementById('view-entry').hidden || document.getElementById('view-entry').inert) return;
  const letter = event.code.slice(3).toLowerCase();
  if (letter === 'j' && !document.getElementById('entry-menu').hidden) {
    event.preventDefault();
    setMenuOpen(menuList.hidden);
    return;
  }
  const doc = frames.entry.contentDocument;
  const target = doc && Array.from(doc.querySelectorAll('[accesskey]'))
    .find((e) => e.getAttribute('accesskey').toLowerCase() === letter && !e.disabled);
  if (!target) return;
  event.preventDefault();
  setMenuOpen(false);
  target.focus();
  target.click();
}
document.addEventListener('keydown', onAccessKey);

openSession().then((keys) => {
  session = keys;
  pollForever();
}, (error) => {
  refuse(error instanceof Refused ? error.message : 'ZELKA に接続できません。');
});
