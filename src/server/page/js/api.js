// The page is one client of the server's JSON API: every request goes
// through here, carrying the session's CSRF token on changes.
import { tr } from './i18n.js';

let csrf = null;
let onLoggedOut = () => {};

export class ApiFailure extends Error {
  constructor(status, cause) {
    super(cause);
    this.status = status;
    this.cause = cause;
  }
}

export function whenLoggedOut(callback) { onLoggedOut = callback; }
export function setCsrf(token) { csrf = token; }

export async function api(method, path, body) {
  // A POST always carries a body: the server refuses one without a length.
  if (body === undefined && (method === 'POST' || method === 'PUT')) body = {};
  const headers = { Accept: 'application/json' };
  if (body !== undefined) headers['Content-Type'] = 'application/json';
  if (method !== 'GET' && csrf) headers['X-CSRF-Token'] = csrf;
  let response;
  try {
    response = await fetch(path, {
      method, headers, credentials: 'same-origin', body: body === undefined ? undefined : JSON.stringify(body),
    });
  } catch {
    throw new ApiFailure(0, tr('无法连接 Zorvan 服务器'));
  }
  let answer = null;
  try { answer = await response.json(); } catch { answer = null; }
  if (response.ok) return answer;
  if (response.status === 401 && path !== '/api/login') onLoggedOut();
  throw new ApiFailure(response.status, (answer && answer.cause) || tr('服务器回答 %1', response.status));
}

// Asks for the session; false when there is none.
export async function resumeSession() {
  try {
    const answer = await api('GET', '/api/session');
    setCsrf(answer.csrf);
    return true;
  } catch (failure) {
    if (failure.status === 401) return false;
    throw failure;
  }
}

export async function logIn(password) {
  const answer = await api('POST', '/api/login', { password });
  setCsrf(answer.csrf);
}

export async function logOut() {
  try { await api('POST', '/api/logout', {}); } finally { setCsrf(null); }
}
