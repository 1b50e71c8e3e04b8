// The page's spine: the session, the header and tabs, the views, and the one
// event stream that keeps them live.
import { logIn, logOut, resumeSession, whenLoggedOut } from './api.js';
import { h } from './dom.js';
import { FollowingView } from './following_view.js';
import { currentLanguage, setLanguage, startLanguage, tr } from './i18n.js';
import { LibraryView } from './library_view.js';
import { LiveStream } from './live.js';
import { QueueModel } from './queue_model.js';
import { QueueView } from './queue_view.js';
import { SettingsView } from './settings_view.js';
import { WorksView } from './works_view.js';

const app = document.getElementById('app');
const tabs = ['works', 'queue', 'library', 'following', 'settings'];
const tabLabels = () => ({
  works: tr('作品'), queue: tr('下载列表'), library: tr('已下载'), following: tr('关注列表'), settings: tr('设置'),
});
const model = new QueueModel();
let views = null;
let stream = null;
let linkState = null;
let linkLive = false;

function later(action, delay = 400) {
  let timer = null;
  return () => { clearTimeout(timer); timer = setTimeout(action, delay); };
}

function currentTab() {
  const name = location.hash.replace('#', '');
  return tabs.includes(name) ? name : 'works';
}

function showLink(state) {
  linkLive = state === 'live';
  if (!linkState) return;
  linkState.className = 'link-state ' + state;
  linkState.textContent = linkLive ? tr('实时') : tr('连接已断开，正在重新连接…');
}

function buildViews() {
  views = {
    works: new WorksView(), queue: new QueueView(model), library: new LibraryView(),
    following: new FollowingView(), settings: new SettingsView(),
  };
  views.library.reload = later(() => views.library.load());
  views.following.reload = later(() => views.following.load());
}

function showTab() {
  const tab = currentTab();
  for (const link of app.querySelectorAll('.tabs a'))
    link.setAttribute('aria-current', link.dataset.tab === tab ? 'page' : 'false');
  const main = app.querySelector('main');
  main.replaceChildren(views[tab].element);
  if (tab === 'queue') views.queue.shown();
  if (tab === 'library' || tab === 'following' || tab === 'settings') views[tab].load();
}

function drawShell() {
  linkState = h('span', { class: 'link-state', role: 'status' });
  const other = currentLanguage() === 'zh' ? 'en' : 'zh';
  const languageButton = h('button', { type: 'button', lang: other === 'zh' ? 'zh-CN' : 'en',
    onclick: () => { setLanguage(other); redraw(); } }, other === 'zh' ? '中文' : 'English');
  const header = h('header', { class: 'top' }, h('h1', { class: 'brand' }, 'Zorvan'), linkState, languageButton,
    h('button', { type: 'button', onclick: () => leave() }, tr('退出登录')));
  const nav = h('nav', { class: 'tabs', 'aria-label': tr('页面') },
    tabs.map((tab) => h('a', { href: '#' + tab, 'data-tab': tab }, tabLabels()[tab])));
  app.replaceChildren(header, nav, h('main', { id: 'main' }));
  showLink(linkLive ? 'live' : 'lost');
  if (!stream) linkState.textContent = tr('正在连接…');
}

// The views again, in the language just chosen; the queue stays as it is.
function redraw() {
  const kept = views.works;
  buildViews();
  views.works.idInput.value = kept.idInput.value;
  drawShell();
  showTab();
  views.queue.refresh(true);
}

async function reloadAll() {
  try { await model.load(); } catch { /* the stream's state says why */ }
  const tab = currentTab();
  if (tab === 'library' || tab === 'following' || tab === 'settings') views[tab].load();
}

function onEvent(type, data) {
  if (type === 'resync') { reloadAll(); return; }
  if (model.apply(type, data)) {
    if (type === 'item') {
      views.works.noteItem(data);
      if (data.state === 'done' && currentTab() === 'library') views.library.reload();
    }
    return;
  }
  if (type === 'settings') views.settings.fill(data);
  else if (type === 'libraryRemoved') views.library.forget(data.id);
  else if (type === 'verify') views.library.showVerify(data);
  else if (type === 'verifyDone') {
    views.library.showVerify(data);
    // The files' marks follow what the check found.
    if (currentTab() === 'library') views.library.reload();
  }
  else if (currentTab() === 'following') views.following.reload();
}

async function startApp() {
  buildViews();
  drawShell();
  showTab();
  stream = new LiveStream({ onEvent, onState: showLink, onReopened: reloadAll, stillWelcome: () => resumeSession() });
  stream.open();
  try { await model.load(); } catch { /* shown by the stream's state */ }
  views.queue.refresh(true);
}

async function leave() {
  try { await logOut(); } catch { /* gone already */ }
  showLogin();
}

function showLogin(message = '') {
  if (stream) stream.close();
  stream = null;
  const password = h('input', { type: 'password', id: 'password', autocomplete: 'current-password', required: true });
  const error = h('p', { class: 'error-text', role: 'alert' }, message);
  const button = h('button', { type: 'submit', class: 'primary' }, tr('登录'));
  const form = h('form', { class: 'form panel login', onsubmit: async (event) => {
    event.preventDefault();
    button.disabled = true;
    error.textContent = '';
    try {
      await logIn(password.value);
      await startApp();
    } catch (failure) {
      error.textContent = failure.status === 429 ? tr('登录失败次数太多，请稍后再试。')
        : failure.status === 401 ? tr('密码不对。') : failure.cause;
      button.disabled = false;
      password.focus();
    }
  } },
  h('h1', { class: 'brand' }, 'Zorvan'),
  h('label', { for: 'password' }, tr('密码'), password), error, button,
  h('p', { class: 'note' }, tr('没有设置密码时，在服务器上运行 zorvan-server --link，打开它给出的链接。')));
  app.replaceChildren(h('main', {}, form));
  password.focus();
}

async function boot() {
  startLanguage();
  whenLoggedOut(() => showLogin(tr('请重新登录。')));
  window.addEventListener('hashchange', () => { if (views && app.querySelector('.tabs')) showTab(); });
  try {
    if (await resumeSession()) await startApp();
    else showLogin();
  } catch (failure) {
    app.replaceChildren(h('main', {}, h('p', { class: 'error-text', role: 'alert' }, failure.cause),
      h('button', { type: 'button', onclick: () => location.reload() }, tr('重试'))));
  }
}

boot();
