// Small helpers to build the page's elements, its icons, its passing
// messages and its one question box.
import { tr } from './i18n.js';

// h('button', {class: 'primary', onclick: f}, 'text', child…)
export function h(tag, attributes = {}, ...children) {
  const element = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === undefined || value === null || value === false) continue;
    if (name.startsWith('on')) element.addEventListener(name.slice(2), value);
    else if (name === 'class') element.className = value;
    else if (name in element && typeof value !== 'string') element[name] = value;
    else element.setAttribute(name, value === true ? '' : value);
  }
  for (const child of children.flat()) {
    if (child === null || child === undefined || child === false) continue;
    element.append(child instanceof Node ? child : String(child));
  }
  return element;
}

const iconPaths = {
  pause: 'M6 4h4v16H6zM14 4h4v16h-4z',
  play: 'M7 4l13 8-13 8z',
  cancel: 'M6.4 5L12 10.6 17.6 5 19 6.4 13.4 12l5.6 5.6-1.4 1.4-5.6-5.6L6.4 19 5 17.6 10.6 12 5 6.4z',
  retry: 'M12 5V1L7 6l5 5V7a5 5 0 1 1-5 5H5a7 7 0 1 0 7-7z',
  top: 'M5 3h14v2H5zM12 7l7 7h-4v7H9v-7H5z',
  bottom: 'M5 19h14v2H5zM12 17l-7-7h4V3h6v7h4z',
  remove: 'M6 7h12l-1 14H7zM9 3h6l1 2h4v2H4V5h4z',
  clear: 'M12 2a10 10 0 1 0 0 20 10 10 0 0 0 0-20zM7 11h10v2H7z',
};

// A button that shows an icon and names itself for screen readers.
export function iconButton(icon, label, onclick, extra = {}) {
  const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
  svg.setAttribute('viewBox', '0 0 24 24');
  svg.setAttribute('aria-hidden', 'true');
  const path = document.createElementNS('http://www.w3.org/2000/svg', 'path');
  path.setAttribute('d', iconPaths[icon]);
  svg.append(path);
  return h('button', { type: 'button', class: 'icon', 'aria-label': label, title: label, onclick, ...extra }, svg);
}

let toastBox = null;

// A message that passes by itself and is read out by screen readers.
export function say(text, kind = 'info') {
  if (!toastBox || !toastBox.isConnected) {
    toastBox = h('div', { class: 'toasts', role: 'status', 'aria-live': 'polite' });
    document.body.append(toastBox);
  }
  const toast = h('div', { class: 'toast ' + kind }, text);
  toastBox.append(toast);
  setTimeout(() => toast.remove(), kind === 'error' ? 8000 : 4000);
}

export function sayFailure(what, failure) { say(what + (failure && failure.cause ? failure.cause : ''), 'error'); }

// Asks a question; resolves true when the user agrees.
export function ask(question, agree) {
  return new Promise((resolve) => {
    const dialog = h('dialog', { 'aria-label': question });
    const finish = (answer) => { dialog.close(); dialog.remove(); resolve(answer); };
    dialog.append(
      h('p', {}, question),
      h('div', { class: 'bar' },
        h('button', { type: 'button', onclick: () => finish(false) }, tr('取消')),
        h('button', { type: 'button', class: 'primary danger-ok', onclick: () => finish(true) }, agree)),
    );
    dialog.addEventListener('cancel', (event) => { event.preventDefault(); finish(false); });
    document.body.append(dialog);
    dialog.showModal();
  });
}
