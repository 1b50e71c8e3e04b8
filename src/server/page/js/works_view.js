// A performer's works as the service lists them, marked downloaded or
// queued; filtered, sorted, chosen and queued from here.
import { api } from './api.js';
import { h, say, sayFailure } from './dom.js';
import { currentLanguage, tr } from './i18n.js';

const lastIdKey = 'zorvan.performer';

export class WorksView {
  constructor() {
    this.performer = '';
    this.works = [];
    this.chosen = new Set();  // sequence numbers
    this.element = this.build();
  }

  build() {
    let last = '';
    try { last = localStorage.getItem(lastIdKey) || ''; } catch { /* storage may be off */ }
    this.idInput = h('input', {
      type: 'text', id: 'performer-id', inputmode: 'numeric', autocomplete: 'off', value: last, class: 'grow',
    });
    this.listButton = h('button', { type: 'submit', class: 'primary' }, tr('获取作品'));
    this.filter = h('input', { type: 'search', class: 'grow', 'aria-label': tr('搜索歌名'), placeholder: tr('搜索歌名'),
      oninput: () => this.show() });
    this.sort = h('select', { 'aria-label': tr('排序'), onchange: () => this.show() },
      h('option', { value: 'new' }, tr('序号从大到小')), h('option', { value: 'old' }, tr('序号从小到大')),
      h('option', { value: 'song' }, tr('按歌名')));
    this.allShown = h('input', { type: 'checkbox', 'aria-label': tr('选择显示的全部作品'),
      onchange: () => this.chooseShown(this.allShown.checked) });
    this.heading = h('h2', { id: 'works-heading' }, tr('作品'));
    this.count = h('p', { class: 'figures', 'aria-live': 'polite' });
    this.list = h('ul', { class: 'list', 'aria-labelledby': 'works-heading' });
    this.tools = h('div', { class: 'hidden sticky' },
      h('div', { class: 'bar' }, this.filter, this.sort),
      h('div', { class: 'bar' }, h('label', { class: 'check' }, this.allShown),
        h('button', { type: 'button', class: 'primary', 'data-action': 'download-chosen', onclick: () => this.download(true) },
          tr('下载选中')),
        h('button', { type: 'button', 'data-action': 'download-shown', onclick: () => this.download(false) },
          tr('下载全部显示')),
        h('button', { type: 'button', 'data-action': 'follow', onclick: () => this.follow() }, tr('关注'))));
    const form = h('form', { class: 'bar', onsubmit: (event) => { event.preventDefault(); this.load(); } },
      h('label', { for: 'performer-id' }, tr('主播Lumo：')), this.idInput, this.listButton);
    return h('section', { 'aria-labelledby': 'works-heading' }, this.heading, form, this.tools, this.count, this.list);
  }

  async load() {
    const performer = this.idInput.value.trim();
    if (!/^[A-Za-z0-9_-]{1,64}$/.test(performer)) {
      say(tr('请先输入主播的 ID。'), 'error');
      this.idInput.focus();
      return;
    }
    try { localStorage.setItem(lastIdKey, performer); } catch { /* storage may be off */ }
    this.listButton.disabled = true;
    this.count.textContent = tr('正在连接…');
    try {
      const answer = await api('GET', `/api/performers/${encodeURIComponent(performer)}/works`);
      this.performer = performer;
      this.works = answer.works;
      this.chosen.clear();
      this.heading.textContent = tr('主播 %1 的作品', performer);
      this.tools.classList.remove('hidden');
      this.show();
    } catch (failure) {
      this.count.textContent = '';
      // The window's own words; the server's cause is English, so it is
      // added only to the English page.
      const words = failure.status === 404 ? tr('没有找到作品') : tr('获取信息出错！请重试');
      say(currentLanguage() === 'en' && failure.cause ? `${words}: ${failure.cause}` : words, 'error');
    } finally {
      this.listButton.disabled = false;
    }
  }

  shownWorks() {
    const needle = this.filter.value.trim().toLowerCase();
    const shown = needle ? this.works.filter((w) => w.song.toLowerCase().includes(needle)) : [...this.works];
    const by = this.sort.value;
    if (by === 'song') shown.sort((a, b) => a.song.localeCompare(b.song));
    else shown.sort((a, b) => (by === 'new' ? b.sequence - a.sequence : a.sequence - b.sequence));
    return shown;
  }

  show() {
    const shown = this.shownWorks();
    this.list.replaceChildren(...shown.map((work) => this.row(work)));
    this.count.textContent = shown.length === this.works.length
      ? tr('共 %1 个作品', this.works.length) : tr('%1 / %2 个作品', shown.length, this.works.length);
    if (!this.works.length) this.count.textContent = tr('没有找到作品');
    this.allShown.checked = shown.length > 0 && shown.every((w) => this.chosen.has(w.sequence));
  }

  row(work) {
    const check = h('input', { type: 'checkbox', checked: this.chosen.has(work.sequence),
      'aria-label': tr('选择“%1”', work.song),
      onchange: () => { if (check.checked) this.chosen.add(work.sequence); else this.chosen.delete(work.sequence); } });
    let mark = null;
    if (work.downloaded) mark = h('span', { class: 'mark done' }, tr('已下载'));
    else if (work.queued !== null && work.queued !== undefined) mark = h('span', { class: 'mark queued' }, tr('排队中'));
    return h('li', { 'data-sequence': work.sequence }, h('label', { class: 'check' }, check),
      h('div', { class: 'grow-text' }, h('div', { class: 'title' }, `${work.sequence}. ${work.song}`)), mark);
  }

  chooseShown(on) {
    for (const work of this.shownWorks()) {
      if (on) this.chosen.add(work.sequence);
      else this.chosen.delete(work.sequence);
    }
    this.show();
  }

  async download(onlyChosen) {
    const shown = this.shownWorks().map((w) => w.sequence);
    const sequences = onlyChosen ? shown.filter((s) => this.chosen.has(s)) : shown;
    if (!sequences.length) { say(tr('（没有选中作品）')); return; }
    try {
      const answer = await api('POST', `/api/performers/${encodeURIComponent(this.performer)}/download`, { sequences });
      say(tr('已加入 %1 个作品', answer.ids.length));
      const queued = new Set(sequences);
      for (const work of this.works) if (queued.has(work.sequence) && !work.downloaded) work.queued = true;
      this.chosen.clear();
      this.show();
    } catch (failure) {
      sayFailure(tr('下载失败：%1', ''), failure);
    }
  }

  async follow() {
    try {
      await api('PUT', `/api/following/${encodeURIComponent(this.performer)}`);
      say(tr('已关注主播 %1', this.performer));
    } catch (failure) {
      sayFailure(tr('无法关注：'), failure);
    }
  }

  // A work of the listed performer that finished is marked at once.
  noteItem(item) {
    if (item.performer !== this.performer || item.state !== 'done') return;
    const work = this.works.find((w) => w.sequence === item.sequence);
    if (work && !work.downloaded) {
      work.downloaded = true;
      this.show();
    }
  }
}
