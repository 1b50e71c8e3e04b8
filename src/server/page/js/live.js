// The server's event stream. The browser takes up a dropped stream by itself
// and names the last event it saw; when it gives up (the server stopped, the
// session ended), the stream is opened again here and the page reads the
// whole state again.
const eventTypes = ['progress', 'item', 'removed', 'reordered', 'queue', 'queuePaused', 'serverWait', 'settled',
  'settings', 'followed', 'unfollowed', 'followChecked', 'newWorks', 'libraryRemoved', 'verify', 'verifyDone',
  'resync'];

export class LiveStream {
  constructor({ onEvent, onState, onReopened, stillWelcome }) {
    this.onEvent = onEvent;
    this.stillWelcome = stillWelcome;  // async: false when the session is gone
    this.onState = onState;      // 'live' | 'lost'
    this.onReopened = onReopened;  // the state must be read again
    this.source = null;
    this.retryTimer = null;
    this.wasLost = false;
  }

  open() {
    this.close();
    const source = new EventSource('/api/events');
    this.source = source;
    source.onopen = () => {
      this.onState('live');
      if (this.wasLost) this.onReopened();
      this.wasLost = false;
    };
    source.onerror = () => {
      this.onState('lost');
      this.wasLost = true;
      // CLOSED: the browser will not try again (a refusal, not a drop).
      if (source.readyState === EventSource.CLOSED) this.retryLater();
    };
    for (const type of eventTypes) {
      source.addEventListener(type, (message) => {
        let data = {};
        try { data = JSON.parse(message.data); } catch { return; }
        this.onEvent(type, data);
      });
    }
  }

  retryLater() {
    clearTimeout(this.retryTimer);
    this.retryTimer = setTimeout(async () => {
      let welcome = true;
      try { welcome = await this.stillWelcome(); } catch { welcome = true; }
      if (welcome) this.open();
    }, 3000);
  }

  close() {
    clearTimeout(this.retryTimer);
    if (this.source) this.source.close();
    this.source = null;
  }
}
