// A real Radicale on loopback, written to by the tests as "another client"
// would: raw iCalendar PUTs and GETs over CalDAV with Basic authentication.
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { createServer, connect } from "node:net";
import { tmpdir } from "node:os";
import { join } from "node:path";

function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.on("error", reject);
    server.listen(0, "127.0.0.1", () => { const { port } = server.address(); server.close(() => resolve(port)); });
  });
}

function answers(port) {
  return new Promise((resolve) => {
    const socket = connect(port, "127.0.0.1");
    socket.on("connect", () => { socket.destroy(); resolve(true); });
    socket.on("error", () => resolve(false));
  });
}

export async function startRadicale({ user = "someone@example.com", password = "abcd-efgh-ijkl-mnop" } = {}) {
  const dir = mkdtempSync(join(tmpdir(), "wrenfold-radicale-"));
  const port = await freePort();
  writeFileSync(join(dir, "users"), `${user}:${password}\n`);
  writeFileSync(join(dir, "config"), [
    "[server]", `hosts = 127.0.0.1:${port}`,
    "[auth]", "type = htpasswd", `htpasswd_filename = ${join(dir, "users")}`, "htpasswd_encryption = plain", "delay = 0",
    "[storage]", `filesystem_folder = ${join(dir, "collections")}`,
    "[web]", "type = none",
    "[logging]", "level = warning", "",
  ].join("\n"));
  let child, exited;
  const launch = async () => {
    child = spawn("radicale", ["--config", join(dir, "config")], {
      env: { HOME: dir, PATH: "/usr/bin:/bin", LANG: "C.UTF-8" }, stdio: "ignore",
    });
    exited = new Promise((resolve) => child.on("exit", resolve));
    const deadline = Date.now() + 30000;
    while (!(await answers(port))) {
      if (Date.now() > deadline || child.exitCode !== null) throw new Error("Radicale did not start");
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  };
  await launch();

  const root = `http://127.0.0.1:${port}/`;
  const home = `${root}${encodeURIComponent(user)}/`;
  let auth = "Basic " + Buffer.from(`${user}:${password}`).toString("base64");
  const request = async (method, url, body, headers = {}) => {
    const response = await fetch(url, { method, body, headers: { Authorization: auth, ...headers } });
    return { status: response.status, text: await response.text(), etag: response.headers.get("etag") };
  };

  await request("PROPFIND", root, undefined, { Depth: "0" });  // Radicale makes the principal on first contact
  return {
    root, user, password,
    async createCalendar(name, displayName, color) {
      const url = `${home}${encodeURIComponent(name)}/`;
      const body = `<?xml version="1.0" encoding="utf-8"?>
<c:mkcalendar xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav" xmlns:a="http://apple.com/ns/ical/"><d:set><d:prop>
<d:displayname>${displayName.replace(/&/g, "&amp;").replace(/</g, "&lt;")}</d:displayname>
<c:supported-calendar-component-set><c:comp name="VEVENT"/></c:supported-calendar-component-set>
${color ? `<a:calendar-color>${color}</a:calendar-color>` : ""}</d:prop></d:set></c:mkcalendar>`;
      const { status } = await request("MKCALENDAR", url, body, { "Content-Type": "application/xml; charset=utf-8" });
      if (status !== 201) throw new Error(`MKCALENDAR ${url} answered ${status}`);
      return url;
    },
    async put(url, ics) {
      const { status } = await request("PUT", url, ics, { "Content-Type": "text/calendar; charset=utf-8" });
      if (status !== 201 && status !== 204) throw new Error(`PUT ${url} answered ${status}`);
    },
    async get(url) {
      const { status, text } = await request("GET", url);
      return status === 200 ? text : null;
    },
    // Every iCalendar object of a calendar, as text.
    async list(calendarUrl) {
      const { text } = await request("REPORT", calendarUrl, `<?xml version="1.0" encoding="utf-8"?>
<c:calendar-query xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:prop><c:calendar-data/></d:prop>
<c:filter><c:comp-filter name="VCALENDAR"><c:comp-filter name="VEVENT"/></c:comp-filter></c:filter></c:calendar-query>`,
      { Depth: "1", "Content-Type": "application/xml; charset=utf-8" });
      return [...text.matchAll(/<[^>]*calendar-data[^>]*>([\s\S]*?)<\/[^>]*calendar-data>/g)]
        .map((match) => match[1].replace(/&lt;/g, "<").replace(/&gt;/g, ">").replace(/&#13;/g, "\r").replace(/&amp;/g, "&"));
    },
    // Writes an object straight into the server's folder, as a fast way to
    // fill a calendar with thousands of events (benchmarks); the server
    // reads it like one PUT there.
    seed(calendarUrl, name, ics) {
      const path = new URL(calendarUrl).pathname.split("/").filter(Boolean).map(decodeURIComponent);
      writeFileSync(join(dir, "collections", "collection-root", ...path, name), ics);
    },
    // The user's password changed on the server, as after revoking an app-specific password.
    changePassword(newPassword) {
      writeFileSync(join(dir, "users"), `${user}:${newPassword}\n`);
      auth = "Basic " + Buffer.from(`${user}:${newPassword}`).toString("base64");
    },
    // The server gone for a while, its calendars kept; `restart` brings it back on the same port.
    async halt() {
      child.kill("SIGTERM");
      await exited;
    },
    restart: launch,
    async stop() {
      if (child.exitCode === null && child.signalCode === null) {
        child.kill("SIGTERM");
        await exited;
      }
      rmSync(dir, { recursive: true, force: true });
    },
  };
}

// One VEVENT in a VCALENDAR, folded as a client would write it.
export function ics(...lines) {
  return ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Other Client//Test//EN", ...lines, "END:VCALENDAR", ""].join("\r\n");
}
