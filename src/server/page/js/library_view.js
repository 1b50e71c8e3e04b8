// The files downloaded, as a list or as a wall of their posters: newest
// first or sorted, played in the page through the server's range route,
// deleted after a question.
import { api } from './api.js';
import { ask, h, iconButton, say, sayFailure } from './dom.js';
import { dateText, sizeText } from './format.js';
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
    this.count = h('p', { class: 'figures' });
    this.player = h('div', { class: 'panel player hidden' });
    this.list = h('ul', { class: 'list', 'aria-labelledby': 'library-heading' });
    this.wall = h('ul', { class: 'wall hidden', 'aria-labelledby': 'library-heading' });
    this.more = h('button', { type: 'button', class: 'hidden', onclick: () => { this.limit += pageSize; this.show(); } },
      tr('显示更多'));
    return h('section', { 'aria-labelledby': 'library-heading' },
      h('h2', { id: 'library-heading' }, tr('已下载')),
      this.player, h('div', { class: 'bar' }, this.filter, this.sort, this.layout), this.count, this.list, this.wall,
      this.more);
  }

  async load() {
    try {
      const answer = await api('GET', '/api/library');
      this.files = answer.files;
      this.show();
    } catch (failure) {
      sayFailure(tr('无法读取已下载的文件：'), failure);
    }
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

  row(file) {
    const sub = [file.performer, sizeText(file.size), dateText(file.recorded)].filter(Boolean).join(' · ');
    return h('li', { 'data-id': file.id },
      h('div', { class: 'grow-text' }, h('div', { class: 'title' }, file.song || file.path),
        h('div', { class: 'sub' }, sub)),
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
    return h('li', { class: 'card', 'data-id': file.id }, face,
      h('div', { class: 'card-text' }, h('div', { class: 'title' }, file.song || file.path),
        h('div', { class: 'sub', title: file.posterFailed ? file.posterNote || null : null },
          file.posterFailed ? tr('无法从这个视频生成海报') : file.performer)),
      iconButton('remove', tr('删除“%1”', file.song), () => this.remove(file), { class: 'icon danger' }));
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
