// A scrolled box that holds elements only for the rows in sight (and a few
// either side), so ten thousand rows scroll as smoothly as ten. Rows have
// one fixed height; their elements are made once and reused.
import { h } from './dom.js';

const spare = 6;  // rows made beyond each edge of the view

export class VirtualList {
  // count(): rows in all; makeRow(): a new row element; fillRow(element, index)
  constructor({ rowHeight, count, makeRow, fillRow, label }) {
    this.rowHeight = rowHeight;
    this.count = count;
    this.makeRow = makeRow;
    this.fillRow = fillRow;
    this.space = h('div', { class: 'queue-space', role: 'list' });
    this.box = h('div', { class: 'queue-box', tabindex: '0', 'aria-label': label }, this.space);
    this.rows = [];  // {element, index}
    this.scheduled = false;
    this.box.addEventListener('scroll', () => this.schedule(), { passive: true });
    new ResizeObserver(() => this.schedule()).observe(this.box);
  }

  schedule() {
    if (this.scheduled) return;
    this.scheduled = true;
    requestAnimationFrame(() => {
      this.scheduled = false;
      this.render();
    });
  }

  // Draws the rows in sight; `refill` redraws those already placed too.
  render(refill = false) {
    const total = this.count();
    this.space.style.height = total * this.rowHeight + 'px';
    const first = Math.max(0, Math.floor(this.box.scrollTop / this.rowHeight) - spare);
    const inSight = Math.ceil((this.box.clientHeight || 600) / this.rowHeight) + 2 * spare;
    const last = Math.min(total, first + inSight);
    const wanted = last - first;
    while (this.rows.length < wanted) {
      const element = this.makeRow();
      element.setAttribute('role', 'listitem');
      this.space.append(element);
      this.rows.push({ element, index: -1 });
    }
    while (this.rows.length > wanted) this.rows.pop().element.remove();
    // A row keeps its index when it stays in sight, so only rows that came
    // into view are filled again on a scroll.
    const free = [];
    const placed = new Map();
    for (const row of this.rows) {
      if (row.index >= first && row.index < last && !placed.has(row.index)) placed.set(row.index, row);
      else free.push(row);
    }
    for (let index = first; index < last; index++) {
      let row = placed.get(index);
      const fresh = !row;
      if (fresh) {
        row = free.pop();
        row.index = index;
        row.element.style.transform = `translateY(${index * this.rowHeight}px)`;
      }
      if (fresh || refill) this.fillRow(row.element, index);
    }
  }

  // The element of a row in sight, if it is.
  elementOf(index) {
    const row = this.rows.find((r) => r.index === index);
    return row ? row.element : null;
  }

  scrollToIndex(index) { this.box.scrollTop = index * this.rowHeight; }
}
