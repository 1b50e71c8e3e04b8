// The download list: every queued work with its bar, speed and time left,
// live from the events; acting on one row or on the chosen ones.
import { api } from './api.js';
import { ask, h, iconButton, say, sayFailure } from './dom.js';
import { percentOf, sizeText, speedText, timeLeftText } from './format.js';
import { currentLanguage, tr } from './i18n.js';
import { VirtualList } from './virtual_list.js';

const rowHeight = 76;

export function stateText(item) {
  switch (item.state) {
    case 'waiting': return item.heldElsewhere ? tr('由另一个程序下载中') : tr('等待');
    case 'running': return item.retrying > 0 ? tr('下载中（正在重试 %1）', item.retrying) : tr('下载中');
    case 'paused': return tr('已暂停');
    case 'failed':
      return tr('失败：') + ((currentLanguage() === 'zh' && item.failureChinese) || item.failure || '');
    case 'done': return tr('完毕');
    case 'skipped': return tr('已存在，未下载');
    default: return item.state;
  }
}

function figuresText(item) {
  const parts = [stateText(item)];
  if (item.total > 0) parts.push(`${sizeText(item.done)} / ${sizeText(item.total)}`);
  else if (item.done > 0) parts.push(sizeText(item.done));
  if (item.state === 'running') {
    parts.push(speedText(item.speed));
    const left = timeLeftText(item.total - item.done, item.speed);
    if (left) parts.push(left);
  }
  return parts.join(' · ');
}

export class QueueView {
  constructor(model) {
    this.model = model;
    this.selected = new Set();
    this.element = this.build();
    this.rowsChanged = false;
    this.drawPending = false;
    model.subscribe((what) => this.refreshSoon(what === 'all'));
  }

  // Events come many to a frame (10,000 when as many works are queued):
  // the list is drawn once per frame, and only while it is in the page.
  refreshSoon(rowsChanged) {
    this.rowsChanged ||= rowsChanged;
    if (this.drawPending || !this.element.isConnected) return;
    this.drawPending = true;
    requestAnimationFrame(() => {
      this.drawPending = false;
      const changed = this.rowsChanged;
      this.rowsChanged = false;
      if (this.element.isConnected) this.refresh(changed);
    });
  }

  build() {
    this.totals = h('p', { class: 'figures', 'aria-live': 'off' });
    this.bar = h('span', {});
    this.pauseAll = h('button', { type: 'button', 'data-action': 'pause-all', onclick: () => this.togglePauseAll() });
    this.selectAll = h('input', { type: 'checkbox', 'aria-label': tr('全选'), onchange: () => this.chooseAll() });
    this.chosenCount = h('span', { class: 'figures' });
    this.list = new VirtualList({
      rowHeight, label: tr('下载列表'), count: () => this.model.size,
      makeRow: () => this.makeRow(), fillRow: (element, index) => this.fillRow(element, index),
    });
    this.choiceButtons = [];
    const act = (action, label) => this.choiceButton(
      h('button', { type: 'button', 'data-action': action, onclick: () => this.actOnChosen(action) }, label));
    const move = (icon, label, where) => this.choiceButton(iconButton(icon, label, () => this.moveChosen(where)));
    this.empty = h('p', { class: 'empty' }, tr('下载列表是空的：在“作品”中选择要下载的作品。'));
    return h('section', { 'aria-labelledby': 'queue-heading' },
      h('h2', { id: 'queue-heading' }, tr('下载列表')),
      h('div', { class: 'totals' }, this.totals),
      h('div', { class: 'bar' }, this.pauseAll,
        h('button', { type: 'button', onclick: () => this.clearFinished() }, tr('清除已完成'))),
      this.choiceBar = h('div', { class: 'bar', role: 'toolbar', 'aria-label': tr('选中的作品') },
        h('label', { class: 'check' }, this.selectAll), this.chosenCount,
        act('pause', tr('暂停')), act('continue', tr('继续')), act('retry', tr('重试')), act('cancel', tr('取消')),
        act('remove', tr('移除')),
        move('top', tr('移到顶部'), 'top'), move('bottom', tr('移到底部'), 'bottom')),
      this.empty, this.list.box);
  }

  // A button that acts on the chosen works: usable only when some are.
  choiceButton(button) {
    button.disabled = true;
    this.choiceButtons.push(button);
    return button;
  }

  makeRow() {
    const check = h('input', { type: 'checkbox' });
    const title = h('div', { class: 'title' });
    const fill = h('span', {});
    const progress = h('div', { class: 'progress', role: 'progressbar', 'aria-valuemin': '0', 'aria-valuemax': '100' }, fill);
    const figures = h('div', { class: 'sub' });
    const first = iconButton('pause', '', null);
    const second = iconButton('cancel', '', null);
    const element = h('div', { class: 'qrow' }, h('label', { class: 'check' }, check),
      h('div', { class: 'grow-text' }, title, progress, figures), first, second);
    element.parts = { check, title, fill, progress, figures, first, second };
    check.addEventListener('change', () => this.choose(element.itemId, check.checked));
    first.addEventListener('click', () => this.firstAction(element.itemId));
    second.addEventListener('click', () => this.secondAction(element.itemId));
    return element;
  }

  fillRow(element, index) {
    const item = this.model.itemAt(index);
    if (!item) return;
    const p = element.parts;
    element.itemId = item.id;
    element.className = `qrow state-${item.state}` + (this.selected.has(item.id) ? ' selected' : '');
    element.dataset.id = item.id;
    p.check.checked = this.selected.has(item.id);
    p.check.setAttribute('aria-label', tr('选择“%1”', item.title));
    p.title.textContent = item.title;
    p.title.title = item.title;
    const percent = item.state === 'done' || item.state === 'skipped' ? 100 : percentOf(item.done, item.total);
    p.fill.style.width = percent + '%';
    p.progress.setAttribute('aria-valuenow', String(percent));
    p.progress.setAttribute('aria-label', tr('进度') + ' ' + percent + '%');
    p.figures.textContent = figuresText(item);
    this.setButton(p.first, ...this.firstOf(item));
    const settled = item.state === 'done' || item.state === 'skipped';
    this.setButton(p.second, settled ? 'clear' : 'cancel', settled ? tr('移除') : tr('取消'));
  }

  firstOf(item) {
    if (item.state === 'paused') return ['play', tr('继续')];
    if (item.state === 'failed') return ['retry', tr('重试')];
    if (item.state === 'waiting' || item.state === 'running') return ['pause', tr('暂停')];
    return [null, ''];
  }

  setButton(button, icon, label) {
    button.classList.toggle('hidden', !icon);
    if (!icon || button.dataset.icon === icon) return;
    button.dataset.icon = icon;
    button.setAttribute('aria-label', label);
    button.title = label;
    button.replaceChildren(iconButton(icon, label, null).firstChild);
  }

  refresh(rowsChanged) {
    const m = this.model;
    if (rowsChanged) for (const id of [...this.selected]) if (!m.items.has(id)) this.selected.delete(id);
    this.empty.classList.toggle('hidden', m.size > 0);
    this.list.box.classList.toggle('hidden', m.size === 0);
    this.choiceBar.classList.toggle('hidden', m.size === 0);
    this.list.render(true);
    this.showTotals();
  }

  showTotals() {
    const t = this.model.totals || {};
    let text = tr('下载中 %1 个，等待 %2 个，已暂停 %3 个，完毕 %4 个', t.running || 0, t.waiting || 0, t.paused || 0,
      (t.done || 0) + (t.skipped || 0));
    if (t.failed) text += tr('，失败 %1 个', t.failed);
    if (t.running) text += ' · ' + speedText(t.speed);
    const left = t.running ? timeLeftText(t.bytesLeft, t.speed) : '';
    if (left) text += ' · ' + left;
    if (this.model.waitingForServer) text += ' · ' + tr('无法连接服务器，等待恢复…');
    else if (this.model.paused) text += ' ' + tr('（已暂停）');
    this.totals.textContent = text;
    this.pauseAll.textContent = this.model.paused ? tr('全部继续') : tr('全部暂停');
    this.chosenCount.textContent = this.selected.size ? tr('已选 %1 个', this.selected.size) : '';
    for (const button of this.choiceButtons) button.disabled = this.selected.size === 0;
    this.selectAll.checked = this.selected.size > 0 && this.selected.size === this.model.size;
  }

  choose(id, on) {
    if (on) this.selected.add(id);
    else this.selected.delete(id);
    this.refresh(false);
  }

  chooseAll() {
    if (this.selectAll.checked) this.selected = new Set(this.model.order);
    else this.selected.clear();
    this.refresh(false);
  }

  chosen() { return this.model.order.filter((id) => this.selected.has(id)); }

  async run(request) {
    try {
      const answer = await request();
      if (answer && answer.refused && answer.refused.length)
        say(tr('%1 个作品没有改变：', answer.refused.length) + answer.refused[0].cause, 'error');
    } catch (failure) {
      sayFailure(tr('操作失败：'), failure);
    }
  }

  async firstAction(id) {
    const item = this.model.items.get(id);
    if (!item) return;
    const action = { paused: 'continue', failed: 'retry' }[item.state] || 'pause';
    await this.run(() => api('POST', `/api/queue/${id}/${action}`));
  }

  async secondAction(id) {
    const item = this.model.items.get(id);
    if (!item) return;
    if (item.state === 'done' || item.state === 'skipped') {
      await this.run(() => api('DELETE', `/api/queue/${id}`));
      return;
    }
    if (!(await ask(tr('取消下载“%1”吗？已下载的部分将被删除。', item.title), tr('取消下载')))) return;
    await this.run(() => api('POST', `/api/queue/${id}/cancel`));
  }

  async actOnChosen(action) {
    const ids = this.chosen();
    if (!ids.length) { say(tr('（没有选中作品）')); return; }
    if (action === 'cancel' && !(await ask(tr('取消 %1 个下载吗？已下载的部分将被删除。', ids.length), tr('取消下载'))))
      return;
    await this.run(() => api('POST', '/api/queue/actions', { action, ids }));
  }

  async moveChosen(to) {
    const ids = this.chosen();
    if (!ids.length) { say(tr('（没有选中作品）')); return; }
    await this.run(() => api('POST', '/api/queue/move', { ids, to }));
  }

  async clearFinished() {
    const ids = this.model.order.filter((id) => ['done', 'skipped'].includes(this.model.items.get(id).state));
    if (ids.length) await this.run(() => api('POST', '/api/queue/actions', { action: 'remove', ids }));
  }

  async togglePauseAll() {
    const path = this.model.paused ? '/api/queue/continue-all' : '/api/queue/pause-all';
    await this.run(() => api('POST', path));
  }

  shown() {
    this.refresh(true);
    this.rowsChanged = false;
  }
}
