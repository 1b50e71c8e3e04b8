// The page's texts are written in Chinese, as the window's are; the English
// comes from the catalogue the build makes out of translations/zorvan_en.ts.
import catalogue from './catalogue.js';

const chosenKey = 'zorvan.language';
let language = 'zh';

function browserLanguage() {
  const wanted = navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language || 'en'];
  for (const tag of wanted) {
    const lower = String(tag).toLowerCase();
    if (lower.startsWith('zh')) return 'zh';
    if (lower.startsWith('en')) return 'en';
  }
  return 'en';
}

export function startLanguage() {
  let chosen = null;
  try { chosen = localStorage.getItem(chosenKey); } catch { /* storage may be off */ }
  setLanguage(chosen === 'zh' || chosen === 'en' ? chosen : browserLanguage(), false);
}

export function setLanguage(next, remember = true) {
  language = next;
  document.documentElement.lang = next === 'zh' ? 'zh-CN' : 'en';
  if (!remember) return;
  try { localStorage.setItem(chosenKey, next); } catch { /* storage may be off */ }
}

export function currentLanguage() { return language; }

// tr("完毕 %1 个，失败 %2 个", done, failed): %1… take the arguments in turn.
export function tr(text, ...args) {
  const shown = language === 'en' && catalogue[text] !== undefined ? catalogue[text] : text;
  return args.length ? shown.replace(/%(\d)/g, (all, n) => (args[n - 1] !== undefined ? String(args[n - 1]) : all)) : shown;
}
