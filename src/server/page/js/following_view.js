// The performers followed: their new works, checked now or by the server's
// own clock, and downloaded from here.
import { api } from './api.js';
import { ask, h, say, sayFailure } from './dom.js';
import { dateText } from './format.js';
import { tr } from './i18n.js';

export class FollowingView {
  constructor() {
    this.followed = [];
    this.opened = new Set();  // performers whose new works are shown
    this.element = this.build();
  }

  build() {
    this.idInput = h('input', { type: 'text', id: 'follow-id', inputmode: 'numeric', autocomplete: 'off', class: 'grow' });
    const form = h('form', { class: 'bar', onsubmit: (event) => { event.preventDefault(); this.follow(); } },
      h('label', { for: 'follow-id' }, tr('主播Lumo：')), this.idInput,
      h('button', { type: 'submit', class: 'primary' }, tr('关注')));
    this.list = h('ul', { class: 'list', 'aria-labelledby': 'following-heading' });
    this.empty = h('p', { class: 'empty' }, tr('还没有关注主播。'));
    return h('section', { 'aria-labelledby': 'following-heading' },
      h('h2', { id: 'following-heading' }, tr('关注列表')), form,
      h('div', { class: 'bar' },
        h('button', { type: 'button', 'data-action': 'check', onclick: () => this.check() }, tr('立即检查')),
        h('button', { type: 'button', 'data-action': 'download-new', onclick: () => this.downloadNew() }, tr('下载新作品'))),
      this.empty, this.list);
  }

  async load() {
    try {
      const answer = await api('GET', '/api/following');
      this.followed = answer.following;
      await this.show();
    } catch (failure) {
      sayFailure(tr('无法打开关注列表：'), failure);
    }
  }

  async show() {
    this.empty.classList.toggle('hidden', this.followed.length > 0);
    const rows = await Promise.all(this.followed.map((p) => this.row(p)));
    this.list.replaceChildren(...rows);
  }

  async row(p) {
    const facts = [tr('作品') + ' ' + p.works, tr('%1 个新作品', p.newWorks), tr('上次检查') + ' ' + dateText(p.lastChecked)];
    const open = this.opened.has(p.performer);
    const text = h('div', { class: 'grow-text' }, h('div', { class: 'title' }, tr('主播 %1', p.performer)),
      h('div', { class: 'sub' }, facts.join(' · ')),
      p.lastError ? h('div', { class: 'sub error-text' }, tr('检查失败：') + p.lastError) : null);
    if (open) {
      const works = await this.newWorks(p.performer);
      text.append(h('ul', { class: 'sub new-works' }, works.length
        ? works.map((w) => h('li', {}, `${w.sequence}. ${w.song}`)) : h('li', {}, tr('没有新作品'))));
    }
    return h('li', { 'data-performer': p.performer, class: 'following' }, text, h('div', { class: 'row-actions' },
      h('button', { type: 'button', 'aria-expanded': String(open), onclick: () => this.toggle(p.performer) },
        tr('新作品')),
      h('button', { type: 'button', class: 'danger', onclick: () => this.unfollow(p.performer) }, tr('取消关注'))));
  }

  async newWorks(performer) {
    try {
      return (await api('GET', `/api/following/${encodeURIComponent(performer)}/new`)).works;
    } catch (failure) {
      sayFailure(tr('无法读取新作品：'), failure);
      return [];
    }
  }

  toggle(performer) {
    if (this.opened.has(performer)) this.opened.delete(performer);
    else this.opened.add(performer);
    this.show();
  }

  async follow() {
    const performer = this.idInput.value.trim();
    if (!/^[A-Za-z0-9_-]{1,64}$/.test(performer)) { say(tr('请先输入主播的 ID。'), 'error'); return; }
    try {
      await api('PUT', `/api/following/${encodeURIComponent(performer)}`);
      this.idInput.value = '';
      say(tr('已关注主播 %1', performer));
      await this.load();
    } catch (failure) {
      sayFailure(tr('无法关注：'), failure);
    }
  }

  async unfollow(performer) {
    if (!(await ask(tr('不再关注 %1 吗？已下载的文件不会删除。', performer), tr('取消关注')))) return;
    try {
      await api('DELETE', `/api/following/${encodeURIComponent(performer)}`);
      await this.load();
    } catch (failure) {
      sayFailure(tr('无法取消关注：'), failure);
    }
  }

  async check() {
    try {
      await api('POST', '/api/following/check', {});
      say(tr('正在检查…'));
    } catch (failure) {
      sayFailure(tr('无法检查关注的主播：'), failure);
    }
  }

  async downloadNew() {
    try {
      const answer = await api('POST', '/api/following/download-new', {});
      const count = Array.isArray(answer.queued) ? answer.queued.length : answer.queued;
      say(count ? tr('已加入 %1 个作品', count) : tr('没有要下载的新作品。'));
      await this.load();
    } catch (failure) {
      sayFailure(tr('下载失败：%1', ''), failure);
    }
  }
}
