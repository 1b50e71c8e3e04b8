// The server's download settings, changed from the page; the server checks
// every value and says what it refuses.
import { api } from './api.js';
import { h, say, sayFailure } from './dom.js';
import { tr } from './i18n.js';

function field(id, label, input, hint) {
  input.id = id;
  return h('label', { for: id }, label, input, hint ? h('span', { class: 'hint' }, hint) : null);
}

export class SettingsView {
  constructor() { this.element = this.build(); }

  build() {
    const number = (min, max) => h('input', { type: 'number', min: String(min), max: String(max), step: '1', required: true });
    this.parallel = number(1, 8);
    this.connections = number(1, 16);
    this.limit = number(0, 1048576);
    this.check = number(0, 10080);
    this.folder = h('input', { type: 'text', autocomplete: 'off' });
    this.naming = h('select', {},
      h('option', { value: 'song' }, tr('歌名.mp4（都在下载文件夹）')),
      h('option', { value: 'performer' }, tr('主播ID/序号 歌名.mp4')));
    // A media server reads performers' folders: choosing them suggests its
    // files, which the user may still turn off.
    this.naming.addEventListener('change', () => { this.mediaFiles.checked = this.naming.value === 'performer'; });
    this.mediaFiles = h('input', { type: 'checkbox', id: 'set-media-files' });
    this.strictResume = h('input', { type: 'checkbox', id: 'set-strict-resume' });
    this.error = h('p', { class: 'error-text', role: 'alert' });
    const form = h('form', { class: 'form panel', onsubmit: (event) => { event.preventDefault(); this.save(); } },
      field('set-parallel', tr('同时下载：'), this.parallel),
      field('set-connections', tr('每个下载的连接数：'), this.connections),
      field('set-limit', tr('总速度限制（KiB/秒）：'), this.limit, tr('0 表示不限')),
      field('set-folder', tr('下载文件夹：'), this.folder, tr('服务器上的绝对路径；留空使用默认文件夹')),
      field('set-naming', tr('文件命名：'), this.naming),
      h('label', { for: 'set-media-files', class: 'inline' }, this.mediaFiles,
        tr('为媒体服务器在视频旁写海报和 .nfo（Kodi、Jellyfin）')),
      h('label', { for: 'set-strict-resume', class: 'inline' }, this.strictResume,
        tr('严格续传：服务器不给验证信息时重新下载未完成的文件')),
      field('set-check', tr('检查关注的间隔（分钟）：'), this.check, tr('0 表示不自动检查')),
      this.error,
      h('div', { class: 'bar' }, h('button', { type: 'submit', class: 'primary' }, tr('保存'))));
    return h('section', { 'aria-labelledby': 'settings-heading' }, h('h2', { id: 'settings-heading' }, tr('设置')), form);
  }

  async load() {
    try {
      this.fill(await api('GET', '/api/settings'));
    } catch (failure) {
      sayFailure(tr('无法读取设置：'), failure);
    }
  }

  // Settings changed elsewhere are shown unless the user is typing here.
  fill(s) {
    if (this.element.contains(document.activeElement)) return;
    this.parallel.value = s.parallel;
    this.connections.value = s.connections;
    this.limit.value = s.speedLimitKiB;
    this.folder.value = s.folder;
    this.naming.value = s.naming;
    this.mediaFiles.checked = s.mediaFiles;
    this.strictResume.checked = Boolean(s.strictResume);
    this.check.value = s.checkEveryMinutes;
  }

  async save() {
    this.error.textContent = '';
    const whole = (input) => Number.parseInt(input.value, 10);
    try {
      const saved = await api('PUT', '/api/settings', {
        parallel: whole(this.parallel), connections: whole(this.connections), speedLimitKiB: whole(this.limit),
        folder: this.folder.value.trim(), naming: this.naming.value, checkEveryMinutes: whole(this.check),
        // Kept only when it differs from what the naming brings (null: follow it).
        mediaFiles: this.mediaFiles.checked === (this.naming.value === 'performer') ? null : this.mediaFiles.checked,
        strictResume: this.strictResume.checked,
      });
      document.activeElement.blur();
      this.fill(saved);
      say(tr('设置已保存'));
    } catch (failure) {
      this.error.textContent = tr('设置没有保存：') + failure.cause;
    }
  }
}
