// Sizes, speeds, times and dates as the page shows them.
import { currentLanguage, tr } from './i18n.js';

const units = ['B', 'KiB', 'MiB', 'GiB', 'TiB'];

export function sizeText(bytes) {
  if (!(bytes >= 0)) return '?';
  let value = bytes;
  let unit = 0;
  while (value >= 1024 && unit < units.length - 1) { value /= 1024; unit++; }
  return (unit === 0 ? String(value) : value.toFixed(value < 10 ? 1 : 0)) + ' ' + units[unit];
}

export function speedText(bytesPerSecond) { return tr('%1/秒', sizeText(Math.round(bytesPerSecond || 0))); }

// Time left, rounded up: a second to go is never shown as none.
export function timeLeftText(bytesLeft, bytesPerSecond) {
  if (!(bytesPerSecond > 0) || !(bytesLeft > 0)) return '';
  const seconds = Math.ceil(bytesLeft / bytesPerSecond);
  const h = Math.floor(seconds / 3600);
  const m = Math.floor((seconds % 3600) / 60);
  const s = seconds % 60;
  const two = (n) => String(n).padStart(2, '0');
  return tr('还需 %1', h > 0 ? `${h}:${two(m)}:${two(s)}` : `${m}:${two(s)}`);
}

export function percentOf(done, total) {
  return total > 0 ? Math.min(100, Math.floor((done * 100) / total)) : 0;
}

export function dateText(secondsSinceEpoch) {
  if (!secondsSinceEpoch) return tr('从未');
  const locale = currentLanguage() === 'zh' ? 'zh-CN' : 'en-GB';
  return new Date(secondsSinceEpoch * 1000).toLocaleString(locale, {
    year: 'numeric', month: 'short', day: 'numeric', hour: '2-digit', minute: '2-digit',
  });
}
