// The queue as the server last told it: read whole once, then kept by the
// events. Views subscribe and are told what changed.
import { api } from './api.js';

export class QueueModel {
  constructor() {
    this.items = new Map();
    this.order = [];
    this.totals = {};
    this.paused = false;
    this.waitingForServer = false;
    this.loaded = false;
    this.listeners = new Set();
  }

  subscribe(listener) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  // what: 'all' (rows came or went, or moved) or 'rows' (only figures changed)
  notify(what) { for (const listener of this.listeners) listener(what); }

  async load() {
    const answer = await api('GET', '/api/queue');
    this.items = new Map(answer.items.map((item) => [item.id, item]));
    this.order = answer.items.map((item) => item.id);
    this.totals = answer.totals;
    this.paused = answer.paused;
    this.waitingForServer = answer.waitingForServer;
    this.loaded = true;
    this.notify('all');
  }

  // Applies one event; true when it was the queue's.
  apply(type, data) {
    switch (type) {
      case 'progress':
        for (const figures of data.items) {
          const item = this.items.get(figures.id);
          if (item) Object.assign(item, figures);
        }
        this.totals = data.totals;
        this.notify('rows');
        return true;
      case 'item': {
        const known = this.items.has(data.id);
        this.items.set(data.id, data);
        if (!known) this.order.push(data.id);
        this.notify(known ? 'rows' : 'all');
        return true;
      }
      case 'removed':
        if (this.items.delete(data.id)) this.order = this.order.filter((id) => id !== data.id);
        this.notify('all');
        return true;
      case 'reordered':
        this.order = data.ids.filter((id) => this.items.has(id));
        this.notify('all');
        return true;
      case 'queue':
        this.paused = data.paused;
        this.notify('rows');
        return true;
      case 'queuePaused':
        this.paused = true;
        this.notify('rows');
        return true;
      case 'serverWait':
        this.waitingForServer = data.waiting;
        this.notify('rows');
        return true;
      case 'settled':
        this.totals = data.totals;
        this.notify('rows');
        return true;
      default:
        return false;
    }
  }

  itemAt(index) { return this.items.get(this.order[index]); }
  get size() { return this.order.length; }
}
