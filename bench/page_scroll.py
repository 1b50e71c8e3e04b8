"""The web page with 10,000 queued works, in headless Chromium at 1280x800:
how long the queue takes to show, and the long tasks (Long Tasks API, over
50 ms) and the longest gap between frames while the queue is flung down and
back up, beside the same rows drawn all at once as a page without a
virtual list would. Figures are printed, never enforced.

    bench/page_scroll.py BIN_DIR MEDIA_DIR [RUNS]"""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'page'))
from page_harness import Servers, browser, css, wait_for  # noqa: E402

WORKS = 10000

SCROLL = '''
const done = arguments[arguments.length - 1];
const box = document.querySelector('.queue-box');
const tasks = [];
new PerformanceObserver((list) => { for (const e of list.getEntries()) tasks.push(e.duration); })
  .observe({type: 'longtask'});
let gap = 0, frames = 0, last = performance.now(), step = 240;
const began = last;
function frame(now) {
  gap = Math.max(gap, now - last); last = now; frames++;
  if (box.scrollTop + box.clientHeight >= box.scrollHeight - 1) step = -240;
  box.scrollTop += step;
  if (step < 0 && box.scrollTop <= 0 || now - began > 6000) {
    setTimeout(() => done({tasks, gap, frames, seconds: (now - began) / 1000}), 100);
    return;
  }
  requestAnimationFrame(frame);
}
requestAnimationFrame(frame);
'''

# The baseline: every row made at once, as a plain list would.
WHOLE = '''
const done = arguments[arguments.length - 1];
const tasks = [];
new PerformanceObserver((list) => { for (const e of list.getEntries()) tasks.push(e.duration); })
  .observe({type: 'longtask'});
const started = performance.now();
const list = document.createElement('div');
list.style.cssText = 'position:absolute;top:0;left:0;width:600px';
for (let i = 0; i < 10000; i++) {
  const row = document.createElement('div');
  row.className = 'qrow';
  row.style.position = 'relative';
  row.innerHTML = '<label class="check"><input type="checkbox"></label><div class="grow-text"><div class="title">' +
    'work ' + i + '</div><div class="progress"><span></span></div><div class="sub">waiting</div></div>' +
    '<button class="icon">P</button><button class="icon">X</button>';
  list.append(row);
}
document.body.append(list);
requestAnimationFrame(() => setTimeout(() => {
  const ms = performance.now() - started;
  list.remove();
  setTimeout(() => done({tasks, ms}), 100);
}, 0));
'''


def one_run(servers):
    d = browser(1280, 800, 'en-US')
    try:
        began = time.monotonic()
        d.get(f'{servers.url}/?token={servers.token}#queue')
        wait_for('10,000 rows', lambda: d.execute_script(
            "const s = document.querySelector('.queue-space'); return s && s.style.height === arguments[0];",
            f'{WORKS * 76}px'), timeout=60, step=0.02)
        shown = time.monotonic() - began
        scrolled = d.execute_async_script(SCROLL)
        whole = d.execute_async_script(WHOLE)
        css(d, '.queue-box')
        return shown, scrolled, whole
    finally:
        d.quit()


def main():
    bin_dir, media_dir = sys.argv[1:3]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    servers = Servers(bin_dir, media_dir)
    try:
        servers.api('POST', '/api/queue/pause-all')
        works = [{'performer': '100001', 'sequence': i + 1, 'song': f'bench work {i + 1}',
                  'address': f'{servers.service}/bench/{i + 1}.mp4'} for i in range(WORKS)]
        servers.api('POST', '/api/queue', {'works': works})
        results = [one_run(servers) for _ in range(runs)]
    finally:
        servers.close()
    median = statistics.median
    print(f'{WORKS} queued works, 1280x800, median of {runs} runs')
    print(f'  queue shown after load:      {median(r[0] for r in results) * 1000:8.0f} ms')
    print(f'  virtual list, fling down and up ({median(r[1]["seconds"] for r in results):.1f} s, '
          f'{median(r[1]["frames"] for r in results):.0f} frames):')
    print(f'    long tasks over 50 ms:     {median(len(r[1]["tasks"]) for r in results):8.0f}'
          f'   (longest {max([0] + [max(r[1]["tasks"] or [0]) for r in results]):.0f} ms)')
    print(f'    longest gap between frames:{median(r[1]["gap"] for r in results):8.0f} ms')
    print('  every row drawn at once (a list without virtualisation):')
    print(f'    drawing 10,000 rows:       {median(r[2]["ms"] for r in results):8.0f} ms')
    print(f'    long tasks over 50 ms:     {median(len(r[2]["tasks"]) for r in results):8.0f}'
          f'   (longest {max([0] + [max(r[2]["tasks"] or [0]) for r in results]):.0f} ms)')


if __name__ == '__main__':
    main()
