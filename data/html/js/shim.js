// window.wrenfold.api.<method>(...args) calls the native method and returns a
// promise of its result. In the desktop window the call goes through the web
// view's message handler; in a browser, to the local host with this run's token.
import { t } from "./i18n.js";

const desktop = window.webkit?.messageHandlers?.wrenfold;
const pending = new Map();
let nextId = 1;

export const NO_TOKEN_TEXT = "This page's access token is not valid; open the address Wrenfold printed.";

function browserToken() {
  const match = /(?:^#|&)token=([0-9a-f]+)/.exec(location.hash);
  if (match) {
    sessionStorage.setItem("wrenfold.token", match[1]);
    history.replaceState(null, "", location.pathname + location.search);
  }
  return sessionStorage.getItem("wrenfold.token") || "";
}
const token = desktop ? "" : browserToken();

// The promise of the call's result carries `begun`, true once the program
// has begun to send the answer: from then on, only its transfer is awaited.
function callOverHttp(method, args) {
  const answer = fetch("api/" + encodeURIComponent(method), {
    method: "POST",
    headers: { "Content-Type": "application/json", "X-Wrenfold-Token": token },
    body: JSON.stringify(args),
  });
  const result = readAnswer(answer);
  result.begun = false;
  answer.then(() => { result.begun = true; }, () => {});
  return result;
}

async function readAnswer(answer) {
  let response;
  try {
    response = await answer;
  } catch (error) {
    throw new Error(t("unreachable", { error: error.message }));
  }
  let body = null;
  try { body = await response.json(); } catch { /* answered without JSON */ }
  if (response.ok && body && "result" in body) return body.result;
  const text = body && body.error ? body.error : "HTTP " + response.status;
  throw new Error(response.status === 403 ? NO_TOKEN_TEXT : text);
}

function callOverMessageHandler(method, args) {
  return new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, { resolve, reject });
    desktop.postMessage(JSON.stringify({ id, method, args }));
  });
}

export const api = new Proxy({}, {
  get(target, method) {
    if (typeof method !== "string" || method === "then") return undefined;
    return (...args) => desktop ? callOverMessageHandler(method, args) : callOverHttp(method, args);
  },
});

export const hasToken = () => Boolean(desktop) || token !== "";

window.wrenfold = Object.freeze({
  api,
  // The desktop host answers a call here.
  _settle(id, ok, value) {
    const call = pending.get(id);
    if (!call) return;
    pending.delete(id);
    if (ok) call.resolve(value); else call.reject(new Error(String(value)));
  },
});
