// The files downloaded, as a list or as a wall of their posters: newest
// first or sorted, played in the page through the server's range route,
// deleted after a question, checked against the digests taken when they
// were saved and, when damaged, downloaded again in their places.
import { api } from './api.js';
import { ask, h, iconButton, say, sayFailure } from './dom.js';
import { dateText, percentOf, sizeText } from './format.js';
import { tr } from './i18n.js';

const pageSize = 300;  // rows drawn at first; more on request
const layoutKey = 'zorvan.libraryLayout';  // the list or the wall, as last chosen

const orders = {
  newest: (a, b) => b.recorded - a.recorded || b.id - a.id,
  oldest: (a, b) => a.recorded - b.recorded || a.id - b.id,
  performer: (a, b) => a.performer.localeCompare(b.performer) || a.sequence - b.sequence,
  size: (a, b) => b.size - a.size,
};

export class LibraryView {
  constructor() {
    this.files = [];
    this.limit = pageSize;
    this.verifying = false;  // a check runs, as this page last heard
    this.check = null;       // the check's state shown
    this.element = this.build();
  }

  build() {
    this.filter = h('input', { type: 'search', class: 'grow', placeholder: tr('搜索歌名或主播'),
      'aria-label': tr('搜索歌名或主播'), oninput: () => { this.limit = pageSize; this.show(); } });
    this.sort = h('select', { 'aria-label': tr('排序'), onchange: () => this.show() },
      h('option', { value: 'newest' }, tr('最新在前')), h('option', { value: 'oldest' }, tr('最早在前')),
      h('option', { value: 'performer' }, tr('按主播')), h('option', { value: 'size' }, tr('按大小')));
    this.layout = h('select', { 'aria-label': tr('显示方式'), onchange: () => {
      localStorage.setItem(layoutKey, this.layout.value);
      this.show();
    } }, h('option', { value: 'list' }, tr('列表')), h('option', { value: 'wall' }, tr('海报墙')));
    this.layout.value = localStorage.getItem(layoutKey) === 'wall' ? 'wall' : 'list';
    this.verifyButton = h('button', { type: 'button', 'data-action': 'verify', onclick: () => this.verify({}) },
      tr('校验文件'));
    this.verifyText = h('span', { class: 'verify-text' }, tr('逐个读取文件，与保存时记下的 SHA-256 对照'));
    this.verifyBar = h('div', { class: 'progress hidden', role: 'progressbar', 'aria-label': tr('校验进度'),
      'aria-valuemin': '0', 'aria-valuemax': '100' }, h('span', {}));
    this.verifyLine = h('div', { class: 'verify-line' }, h('div', { class: 'bar' }, this.verifyButton, this.verifyText),
      this.verifyBar);
    this.count = h('p', { class: 'figures' });
    this.player = h('div', { class: 'panel player hidden' });
    this.list = h('ul', { class: 'list', 'aria-labelledby': 'library-heading' });
    this.wall = h('ul', { class: 'wall hidden', 'aria-labelledby': 'library-heading' });
    this.more = h('button', { type: 'button', class: 'hidden', onclick: () => { this.limit += pageSize; this.show(); } },
      tr('显示更多'));
    return h('section', { 'aria-labelledby': 'library-heading' },
      h('h2', { id: 'library-heading' }, tr('已下载')),
      this.player, h('div', { class: 'bar' }, this.filter, this.sort, this.layout),
      this.verifyLine, this.count, this.list, this.wall, this.more);
  }

  async load() {
    try {
      const [answer, check] = await Promise.all([api('GET', '/api/library'), api('GET', '/api/library/verify')]);
      this.files = answer.files;
      this.showVerify(check);
      this.show();
    } catch (failure) {
      sayFailure(tr('无法读取已下载的文件：'), failure);
    }
  }

  // Starts a check on the server; its progress comes back as events.
  async verify(request) {
    this.verifying = true;  // its end is said, even when it comes before the answer
    try {
      this.showVerify(await api('POST', '/api/library/verify', request));
    } catch (failure) {
      this.verifying = Boolean(this.check && this.check.running);
      if (failure.status === 409) say(tr('校验正在进行，请等它结束'), 'error');
      else sayFailure(tr('无法校验：'), failure);
    }
  }

  // The check as it runs (a "verify" event), or as it ended. The answer
  // that started it may come after its first events, or its end: a state
  // older than the one shown is passed over.
  showVerify(state) {
    if (!state || !state.started) return;
    const shown = this.check;
    if (shown && state.running && (state.started < shown.started || (state.started === shown.started
      && (!shown.running || state.bytes < shown.bytes || state.files < shown.files)))) return;
    this.check = state;
    const ended = this.verifying && !state.running;
    this.verifying = state.running;
    this.verifyButton.disabled = state.running;
    this.verifyBar.classList.toggle('hidden', !state.running);
    if (state.running) {
      const percent = percentOf(state.bytes, state.bytesTotal);
      this.verifyBar.firstChild.style.width = percent + '%';
      this.verifyBar.setAttribute('aria-valuenow', String(percent));
      this.verifyText.textContent = !state.filesTotal ? tr('正在校验…')
        : tr('正在校验：%1/%2 个文件，%3 / %4', state.files, state.filesTotal, sizeText(state.bytes),
          sizeText(state.bytesTotal)) + (state.damaged ? tr('，%1 个已损坏', state.damaged) : '');
      return;
    }
    if (state.error || !state.result) {
      this.verifyText.textContent = tr('无法校验：') + (state.error || '');
      if (ended) say(this.verifyText.textContent, 'error');
      return;
    }
    const r = state.result;
    // What needs the user comes first; counts of none are left out.
    let text = tr('校验完毕：%1 个完好', r.ok) + (r.damaged ? tr('，%1 个已损坏', r.damaged) : '')
      + (r.missing ? tr('，%1 个找不到', r.missing) : '') + (r.unverified ? tr('，%1 个补记了 SHA-256', r.unverified) : '')
      + (r.unknown ? tr('，%1 个不是 Zorvan 下载的视频', r.unknown) : '');
    if (r.repaired.length) text += tr('。%1 个已加入下载列表重新下载', r.repaired.length);
    if (r.notRepaired.length) text += tr('。%1 个无法重新下载：没有记下地址，主播也不再列出它', r.notRepaired.length);
    this.verifyText.textContent = text;
    this.verifyText.title = r.notRepaired.map((f) => f.path + ': ' + f.cause).join('\n');
    // The line changes too often to be read out; its end is said once.
    if (ended) say(this.verifyText.textContent, r.damaged || r.missing ? 'error' : 'info');
  }

  shownFiles() {
    const needle = this.filter.value.trim().toLowerCase();
    const shown = needle
      ? this.files.filter((f) => f.song.toLowerCase().includes(needle) || f.performer.toLowerCase().includes(needle))
      : [...this.files];
    return shown.sort(orders[this.sort.value]);
  }

  show() {
    const shown = this.shownFiles();
    const onWall = this.layout.value === 'wall';
    const page = shown.slice(0, this.limit);
    this.list.replaceChildren(...(onWall ? [] : page.map((file) => this.row(file))));
    this.wall.replaceChildren(...(onWall ? page.map((file) => this.card(file)) : []));
    this.list.classList.toggle('hidden', onWall);
    this.wall.classList.toggle('hidden', !onWall);
    this.more.classList.toggle('hidden', shown.length <= this.limit);
    this.count.textContent = this.files.length ? tr('共 %1 个文件', shown.length) : tr('还没有下载的文件。');
  }

  // What a file's digest says of it: damaged (found so by a check), or
  // changed since its digest and not read again; nothing when as saved.
  integrityMark(file) {
    if (!file.present) return null;
    if (file.integrity === 'damaged') {
      const why = tr('已损坏：内容与保存时的 SHA-256 不同');
      return h('span', { class: 'mark failed', title: why }, h('span', { 'aria-hidden': 'true' }, tr('已损坏')),
        h('span', { class: 'visually-hidden' }, why));
    }
    if (file.integrity === 'changed') {
      const why = tr('文件在记下 SHA-256 之后改变过，还没有重新校验');
      return h('span', { class: 'mark unverified', title: why }, h('span', { 'aria-hidden': 'true' }, tr('未校验')),
        h('span', { class: 'visually-hidden' }, why));
    }
    return null;
  }

  // A damaged file is downloaded again in its place: a check of its
  // performer's files that queues the damaged ones.
  repairButton(file) {
    if (!file.present || file.integrity !== 'damaged') return null;
    return iconButton('retry', tr('重新下载“%1”', file.song || file.path),
      () => this.verify(file.performer ? { performers: [file.performer], repair: true } : { repair: true }),
      { 'data-action': 'repair' });
  }

  row(file) {
    const sub = [file.performer, sizeText(file.size), dateText(file.recorded)].filter(Boolean).join(' · ');
    return h('li', { 'data-id': file.id },
      h('div', { class: 'grow-text' }, h('div', { class: 'title' }, file.song || file.path),
        h('div', { class: 'sub' }, sub)),
      this.integrityMark(file), this.repairButton(file),
      file.present ? iconButton('play', tr('播放“%1”', file.song), () => this.play(file))
        : h('span', { class: 'mark failed' }, tr('找不到文件')),
      iconButton('remove', tr('删除“%1”', file.song), () => this.remove(file), { class: 'icon danger' }));
  }

  // A poster (loaded as it scrolls into sight) that plays the work, its
  // song and performer, and its delete button.
  card(file) {
    const picture = file.poster
      ? h('img', { src: `/api/library/${file.id}/poster`, alt: '', loading: 'lazy', decoding: 'async' })
      : h('span', { class: 'no-poster', 'aria-hidden': 'true' }, (file.song || '?').slice(0, 1));
    const face = file.present
      ? h('button', { type: 'button', class: 'poster', 'aria-label': tr('播放“%1”', file.song),
        onclick: () => this.play(file) }, picture)
      : h('div', { class: 'poster missing' }, picture, h('span', { class: 'mark failed' }, tr('找不到文件')));
    const mark = this.integrityMark(file);
    return h('li', { class: 'card', 'data-id': file.id }, face,
      mark ? h('div', { class: 'card-mark' }, mark) : null,
      h('div', { class: 'card-text' }, h('div', { class: 'title' }, file.song || file.path),
        h('div', { class: 'sub', title: file.posterFailed ? file.posterNote || null : null },
          file.posterFailed ? tr('无法从这个视频生成海报') : file.performer)),
      h('div', { class: 'card-actions' }, this.repairButton(file),
        iconButton('remove', tr('删除“%1”', file.song), () => this.remove(file), { class: 'icon danger' })));
  }

  play(file) {
    const video = h('video', { controls: true, autoplay: true, preload: 'metadata', src: `/api/library/${file.id}/video`,
      'aria-label': file.song });
    video.addEventListener('error', () => say(tr('无法播放：') + file.song, 'error'));
    this.player.replaceChildren(h('div', { class: 'title' }, file.song), video,
      h('div', { class: 'bar' }, h('button', { type: 'button', onclick: () => this.stopPlaying() }, tr('关闭'))));
    this.player.classList.remove('hidden');
    this.player.scrollIntoView({ block: 'nearest' });
  }

  stopPlaying() {
    const video = this.player.querySelector('video');
    if (video) { video.pause(); video.removeAttribute('src'); video.load(); }
    this.player.replaceChildren();
    this.player.classList.add('hidden');
  }

  async remove(file) {
    if (!(await ask(tr('删除“%1”吗？文件将从磁盘上删除。', file.song || file.path), tr('删除')))) return;
    try {
      await api('DELETE', `/api/library/${file.id}`);
      this.forget(file.id);
      say(tr('已删除“%1”', file.song));
    } catch (failure) {
      sayFailure(tr('无法删除：'), failure);
    }
  }

  forget(id) {
    const playing = this.player.querySelector('video');
    if (playing && playing.src.endsWith(`/api/library/${id}/video`)) this.stopPlaying();
    this.files = this.files.filter((f) => f.id !== id);
    this.show();
  }
}
