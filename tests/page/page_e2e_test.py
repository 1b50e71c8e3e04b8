"""The server's web page in a real browser: headless Chromium against
zorvan-server and the demo service, at a phone's size in Chinese and a
desktop's in English, with screenshots kept and an accessibility check.

    page_e2e_test.py BIN_DIR MEDIA_DIR SHOTS_DIR AXE_JS"""
import json
import os
import sys
import time
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from page_harness import PASSWORD, Relay, Servers, all_css, browser, css, wait_for

BIN_DIR, MEDIA_DIR, SHOTS_DIR, AXE_JS = sys.argv[1:5]
del sys.argv[1:5]

TABS = ['works', 'queue', 'library', 'following', 'settings']


class PageCase(unittest.TestCase):
    servers = None

    @classmethod
    def setUpClass(cls):
        os.makedirs(SHOTS_DIR, exist_ok=True)
        cls.servers = Servers(BIN_DIR, MEDIA_DIR)
        with open(AXE_JS, encoding='utf-8') as f:
            cls.axe = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.servers.close()

    def setUp(self):
        self.driver = None

    def tearDown(self):
        if self.driver:
            for entry in self.driver.get_log('browser'):
                if entry['level'] == 'SEVERE' and '/api/' not in entry['message']:
                    print('browser:', entry['message'])
            self.driver.quit()

    # --- helpers -----------------------------------------------------------

    def open(self, width, height, language, mobile=False):
        self.driver = browser(width, height, language, mobile)
        return self.driver

    def tab(self, name):
        wait_for(f'the tab {name}', lambda: css(self.driver, f'.tabs a[data-tab="{name}"]')).click()
        wait_for(f'the {name} tab', lambda: css(self.driver, f'.tabs a[data-tab="{name}"]')
                 .get_attribute('aria-current') == 'page')

    def shot(self, name):
        time.sleep(0.3)  # let the last transition end
        self.driver.save_screenshot(os.path.join(SHOTS_DIR, name + '.png'))

    def toast_says(self, text):
        return wait_for(f'a message "{text}"', lambda: any(text in t.text for t in all_css(self.driver, '.toast')))

    def assert_fits(self, where):
        """No sideways scrolling, and every control a finger can hit."""
        wide = self.driver.execute_script('return [document.documentElement.scrollWidth, window.innerWidth]')
        self.assertLessEqual(wide[0], wide[1], f'{where}: the page scrolls sideways')
        small = self.driver.execute_script('''
            return [...document.querySelectorAll('button, a, select, input:not([type=checkbox]), label.check')]
              .filter((e) => e.offsetParent !== null)
              .map((e) => [e.outerHTML.slice(0, 80), e.getBoundingClientRect()])
              .filter(([, r]) => r.height < 44 || r.width < 44).map(([t, r]) => `${t} ${r.width}x${r.height}`);''')
        self.assertEqual(small, [], f'{where}: touch targets under 44 px')

    def assert_accessible(self, where):
        self.driver.execute_script(self.axe)
        found = self.driver.execute_async_script('''
            const done = arguments[arguments.length - 1];
            axe.run(document, {resultTypes: ['violations']}).then((r) => done(r.violations
              .filter((v) => v.impact === 'serious' || v.impact === 'critical')
              .map((v) => v.id + ': ' + v.help + ' @ ' + v.nodes.slice(0, 3).map((n) => n.target.join(' ')).join(', '))),
              (e) => done(['axe failed: ' + e]));''')
        self.assertEqual(found, [], f'{where}: serious or critical accessibility findings')

    def log_in(self, password):
        field = wait_for('the password field', lambda: css(self.driver, '#password'))
        field.clear()
        field.send_keys(password, Keys.ENTER)

    def list_works(self, performer, count):
        field = wait_for('the performer field', lambda: css(self.driver, '#performer-id'))
        field.clear()
        field.send_keys(performer, Keys.ENTER)
        wait_for(f'{count} works listed', lambda: len(all_css(self.driver, 'section ul.list > li')) == count)

    def queue_rows(self):
        return self.driver.execute_script(
            "return [...document.querySelectorAll('.qrow')].map((r) => [Number(r.dataset.id), r.className,"
            " r.querySelector('.progress > span').style.width, r.querySelector('.sub').textContent])")

    def row_state(self, item_id):
        for row_id, classes, width, text in self.queue_rows():
            if row_id == item_id:
                return classes, width, text
        return None

    def all_done(self, count):
        rows = self.queue_rows()
        return len(rows) == count and all('state-done' in c and w == '100%' for _, c, w, _ in rows)

    def visit_every_tab(self, prefix):
        for name in TABS:
            self.tab(name)
            time.sleep(0.5)
            self.shot(f'{prefix}-{name}')
            self.assert_fits(f'{prefix} {name}')
            self.assert_accessible(f'{prefix} {name}')

    # --- the journeys -------------------------------------------------------

    def test_a_phone_in_chinese_from_login_to_playback_and_following(self):
        d = self.open(390, 844, 'zh-CN', mobile=True)
        d.get(self.servers.url + '/')
        self.log_in('not-the-password')
        wait_for('the refusal', lambda: '密码不对' in css(d, '.error-text').text)
        self.shot('phone-zh-login')
        self.log_in(PASSWORD)
        wait_for('the works tab', lambda: css(d, '.tabs a[data-tab="works"]').text == '作品')
        self.limit_speed_in_settings(256)  # slow enough that a work can be paused while it runs
        self.choose_and_queue_three()
        self.pause_and_continue_the_biggest()
        self.servers.api('PUT', '/api/settings', {'speedLimitKiB': 0})  # another client lifts the limit
        wait_for('all three at 100 %', lambda: self.all_done(3), timeout=90)
        self.shot('phone-zh-queue-done')
        self.play_the_newest()
        self.follow_and_download_a_new_work()
        self.see_a_refusal_in_chinese()
        self.visit_every_tab('phone-zh')

    def limit_speed_in_settings(self, kib):
        d = self.driver
        self.tab('settings')
        limit = wait_for('the settings', lambda: css(d, '#set-limit') if css(d, '#set-limit').get_attribute('value')
                         else None)
        limit.clear()
        limit.send_keys(str(kib))
        # Performers' folders bring a media server's files; files by song do not.
        media = css(d, '#set-media-files')
        self.assertFalse(media.is_selected())
        naming = Select(css(d, '#set-naming'))
        naming.select_by_value('performer')
        self.assertTrue(media.is_selected())
        naming.select_by_value('song')
        self.assertFalse(media.is_selected())
        strict = css(d, '#set-strict-resume')
        self.assertFalse(strict.is_selected())
        strict.click()
        css(d, '.form button[type=submit]').click()
        self.toast_says('设置已保存')
        saved = self.servers.api('GET', '/api/settings')
        self.assertEqual((saved['speedLimitKiB'], saved['naming'], saved['mediaFiles'], saved['strictResume']),
                         (kib, 'song', False, True))
        self.servers.api('PUT', '/api/settings', {'strictResume': False})  # the rest resumes as usual
        wait_for('the change shown', lambda: not css(d, '#set-strict-resume').is_selected())

    def choose_and_queue_three(self):
        d = self.driver
        self.tab('works')
        css(d, '#performer-id').send_keys('999999', Keys.ENTER)
        self.toast_says('没有找到作品')
        self.list_works('100001', 36)
        css(d, 'input[type=search]').send_keys('礼物')
        wait_for('the filter', lambda: len(all_css(d, 'section ul.list > li')) == 1)
        css(d, 'input[type=search]').clear()
        css(d, 'input[type=search]').send_keys(Keys.SPACE, Keys.BACKSPACE)
        wait_for('the whole list again', lambda: len(all_css(d, 'section ul.list > li')) == 36)
        for sequence in (1, 2, 3):
            css(d, f'li[data-sequence="{sequence}"] input[type=checkbox]').click()
        self.shot('phone-zh-works-chosen')
        css(d, 'button[data-action="download-chosen"]').click()
        self.toast_says('已加入 3 个作品')

    def pause_and_continue_the_biggest(self):
        d = self.driver
        queued = {item['sequence']: item['id'] for item in self.servers.api('GET', '/api/queue')['items']}
        self.assertEqual(sorted(queued), [1, 2, 3])
        self.tab('queue')
        wait_for('three rows', lambda: len(self.queue_rows()) == 3)
        big = queued[3]  # the largest clip: still running at 256 KiB/s
        wait_for('the big work under way', lambda: 'state-running' in self.row_state(big)[0]
                 or 'state-waiting' in self.row_state(big)[0])
        css(d, f'.qrow[data-id="{big}"] button[data-icon="pause"]').click()
        wait_for('the pause shown', lambda: 'state-paused' in self.row_state(big)[0])
        self.assertIn('已暂停', self.row_state(big)[2])
        self.shot('phone-zh-queue-paused')
        css(d, f'.qrow[data-id="{big}"] button[data-icon="play"]').click()
        wait_for('the work going on', lambda: 'state-paused' not in self.row_state(big)[0])

    def play_the_newest(self):
        d = self.driver
        self.tab('library')
        wait_for('three files', lambda: len(all_css(d, 'section ul.list > li')) == 3)
        all_css(d, 'section ul.list > li button[aria-label^="播放"]')[0].click()
        played = wait_for('the video playing', lambda: d.execute_script(
            "const v = document.querySelector('video'); return v && v.currentTime > 0.5 ? v.currentTime : 0"),
            timeout=20)
        self.assertGreater(played, 0.5)
        self.shot('phone-zh-library-playing')

    def follow_and_download_a_new_work(self):
        d = self.driver
        self.tab('following')
        css(d, '#follow-id').send_keys('100001', Keys.ENTER)
        wait_for('100001 followed and checked', lambda: any(
            '上次检查' in li.text and '从未' not in li.text for li in all_css(d, 'li[data-performer="100001"]')))
        self.servers.add_demo_work('100001')
        css(d, 'button[data-action="check"]').click()
        wait_for('one new work', lambda: '1 个新作品' in css(d, 'li[data-performer="100001"]').text, timeout=40)
        css(d, 'button[data-action="download-new"]').click()
        self.toast_says('已加入 1 个作品')
        self.tab('queue')
        wait_for('the new work downloaded', lambda: self.all_done(4), timeout=60)

    def see_a_refusal_in_chinese(self):
        s = self.servers
        missing = s.api('POST', '/api/queue', {'works': [
            {'performer': '100001', 'sequence': 99, 'song': '不存在的作品', 'address': s.service + '/no/such.mp4'}]})
        failed = missing['ids'][0]
        text = wait_for('the refusal shown', lambda: (self.row_state(failed) or ('', '', ''))[2]
                        if 'state-failed' in (self.row_state(failed) or ('',))[0] else None)
        self.assertTrue(text.startswith('失败：'), text)
        self.assertNotRegex(text, '[A-Za-z]{4}', 'the cause is in English on a Chinese page')

    def test_b_desktop_in_english_through_the_loopback_link(self):
        s = self.servers
        d = self.open(1280, 800, 'en-US')
        d.get(f'{s.url}/?token={s.token}')
        wait_for('the English page', lambda: css(d, '.tabs a[data-tab="works"]').text == 'Works')
        self.assertEqual(d.current_url, s.url + '/', 'the token stays out of the address bar')
        load = d.execute_script('''
            const nav = performance.getEntriesByType('navigation')[0];
            const files = performance.getEntriesByType('resource').filter((r) => !r.name.includes('/api/'));
            return {bytes: nav.transferSize + files.reduce((n, r) => n + r.transferSize, 0),
                    body: nav.decodedBodySize + files.reduce((n, r) => n + r.decodedBodySize, 0),
                    files: files.length + 1, ms: nav.loadEventEnd - nav.startTime};''')
        print(f"first load: {load['bytes'] / 1024:.1f} KB over the wire ({load['body'] / 1024:.1f} KB of files, "
              f"{load['files']} files) in {load['ms']:.0f} ms", file=sys.stderr)
        self.assertLess(load['bytes'], 150 * 1024, 'the first load is over 150 KB')

        self.tab('queue')
        refused = [row for row in wait_for('the queue', self.queue_rows) if 'state-failed' in row[1]]
        if refused:  # left by the phone's journey
            self.assertRegex(refused[0][3], r'^Failed: [a-z]')
        self.tab('works')
        self.list_works('100001', 37 if s.api('GET', '/api/following')['following'] else 36)
        self.visit_every_tab('desktop-en')
        self.tab('library')
        wait_for('the files in English', lambda: 'files' in css(d, 'section p.figures').text)
        # The wall: a card for every file, a poster or its placeholder each.
        files = len(all_css(d, 'section ul.list > li'))
        Select(css(d, 'select[aria-label="Show as"]')).select_by_value('wall')
        wait_for('the wall', lambda: len(all_css(d, 'ul.wall > li.card')) == files)
        self.assertEqual(len(all_css(d, 'ul.wall .card img, ul.wall .card .no-poster')), files)
        self.assert_fits('desktop-en wall')
        self.assert_accessible('desktop-en wall')
        self.shot('desktop-en-library-wall')
        # The check of the files: the server reads them through, the page
        # says how it ended (nothing here was damaged).
        css(d, 'button[data-action="verify"]').click()
        summary = wait_for('the check ended', lambda: css(d, '.verify-text').text
                           if css(d, '.verify-text').text.startswith('Verified:') else None)
        self.assertIn(f'Verified: {files} intact', summary)
        self.assertEqual(all_css(d, 'button[data-action="repair"]'), [])
        self.assert_accessible('desktop-en verified')
        d.refresh()
        wait_for('the wall kept', lambda: len(all_css(d, 'ul.wall > li.card')) == files)
        Select(css(d, 'select[aria-label="Show as"]')).select_by_value('list')

        d.find_element(By.XPATH, "//header//button[text()='中文']").click()
        wait_for('the page in Chinese', lambda: css(d, '.tabs a[data-tab="works"]').text == '作品')
        self.assertEqual(d.execute_script('return document.documentElement.lang'), 'zh-CN')
        self.shot('desktop-zh-library')
        d.refresh()
        wait_for('the choice kept', lambda: css(d, '.tabs a[data-tab="works"]').text == '作品')

    def test_c_a_lost_link_is_shown_and_taken_up_again(self):
        own = Servers(BIN_DIR, MEDIA_DIR)
        port = own.url.rsplit(':', 1)[1]
        relay = Relay(int(port))
        try:
            d = self.open(1280, 800, 'zh-CN')
            d.get(f'http://127.0.0.1:{relay.port}/')
            self.log_in(PASSWORD)
            self.tab('queue')
            live = lambda: 'live' in css(d, '.link-state').get_attribute('class')  # noqa: E731
            wait_for('the stream live', live)
            relay.cut()
            wait_for('the loss shown', lambda: '连接已断开' in css(d, '.link-state').text)
            self.shot('desktop-zh-connection-lost')
            own.api('POST', '/api/queue/pause-all')  # a change the page misses while cut off
            relay.mend()
            wait_for('the stream live again by itself', live, timeout=20)
            wait_for('the change made meanwhile shown',
                     lambda: css(d, 'button[data-action="pause-all"]').text == '全部继续')

            # A restarted server knows no session: the page asks again.
            own.stop_server()
            own.start_server(port)
            wait_for('the login asked again', lambda: css(d, '#password'), timeout=30)
            self.log_in(PASSWORD)
            wait_for('the stream live after logging in again', live)
        finally:
            relay.close()
            own.close()


if __name__ == '__main__':
    unittest.main(verbosity=2)
