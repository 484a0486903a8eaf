// The Windows build under Wine, in browser mode against a real Radicale on
// loopback reached over HTTPS (as iCloud is) through the system's TLS,
// Schannel, its page driven by Linux Chromium: an account added, an event of
// the server shown, one made in the page found on the server. One program
// start; run by the Windows test stage, not by `npm test`.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { request as httpRequest } from "node:http";
import { createServer } from "node:https";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, dirname } from "node:path";
import { fileURLToPath } from "node:url";
import { startProgram, startBrowser, openPage, screenshot, addAccount, showMonth } from "../support.mjs";
import { startRadicale, ics } from "../radicale.mjs";

const root = join(dirname(fileURLToPath(import.meta.url)), "../..");
const wineData = join(process.env.WINEPREFIX || join(root, "build/wine-prefix"), "drive_c/kelvane");
let radicale, proxy, certificates, program, browser, page, work;

// HTTPS on loopback with a certificate made for this run, each request passed
// on to Radicale as it came. Wine's Schannel does not check a server's
// certificate against the trusted roots (Windows' does): this proves the TLS
// path, not that check.
function startTlsProxy(upstream) {
  certificates = mkdtempSync(join(tmpdir(), "wrenfold-tls-"));
  const [key, cert] = [join(certificates, "key.pem"), join(certificates, "cert.pem")];
  execFileSync("openssl", ["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                           "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert], { stdio: "ignore" });
  const target = new URL(upstream);
  const server = createServer({ key: readFileSync(key), cert: readFileSync(cert) }, (incoming, outgoing) => {
    const forward = httpRequest({ host: target.hostname, port: target.port, method: incoming.method,
                                  path: incoming.url, headers: incoming.headers }, (answer) => {
      outgoing.writeHead(answer.statusCode, answer.headers);
      answer.pipe(outgoing);
    });
    forward.on("error", () => outgoing.destroy());
    incoming.pipe(forward);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

before(async () => {
  // The Windows build keeps its data in C:/kelvane/Wrenfold, inside the test prefix.
  rmSync(wineData, { recursive: true, force: true });
  radicale = await startRadicale();
  proxy = await startTlsProxy(radicale.root);
  work = await radicale.createCalendar("work", "Work", "#FF2968FF");
  await radicale.put(work + "review.ics", ics("BEGIN:VEVENT", "UID:review", "DTSTAMP:20261201T000000Z",
    "DTSTART:20270304T100000", "DTEND:20270304T110000", "SUMMARY:Quarterly review 季度檢討", "END:VEVENT"));
  // A GUI program: run from a console (start /wait /b keeps start.exe's),
  // it prints there and hears that console's Ctrl-C, as from cmd on Windows.
  const executable = process.env.WRENFOLD_WINDOWS_BINARY || join(root, "build-windows/wrenfold.exe");
  const server = `https://127.0.0.1:${proxy.address().port}/`;
  program = await startProgram({ WRENFOLD_CALDAV_URL: server, WRENFOLD_SYNC_INTERVAL: "2" }, {
    executable: "Z:" + executable.replaceAll("/", "\\"),
    runner: [join(root, "scripts/wine-run"), "start", "/wait", "/b"],
    endSignal: "SIGINT",
    group: true,
  });
  browser = await startBrowser();
  page = await openPage(browser, program.address);
});

after(async () => {
  await browser?.close();
  await program?.stop();
  proxy?.close();
  await radicale?.stop();
  if (certificates) rmSync(certificates, { recursive: true, force: true });
  rmSync(wineData, { recursive: true, force: true });
});

test("the Windows program shows the server's event over HTTPS, saves a new one to the server and ends cleanly on Ctrl-C", async () => {
  await addAccount(page, radicale);
  await showMonth(page, 2027, 3);
  await page.locator(".fc-event", { hasText: "Quarterly review 季度檢討" }).first().waitFor({ timeout: 30000 });

  await page.getByRole("button", { name: "New event", exact: true }).click();
  const dialog = page.getByRole("dialog", { name: "New event" });
  await dialog.getByLabel("Title", { exact: true }).fill("Made under Wine 在 Wine 建立");
  await dialog.getByLabel("Start", { exact: true }).fill("2027-03-10");
  await dialog.getByLabel("Start time", { exact: true }).fill("09:00");
  await dialog.getByLabel("End", { exact: true }).fill("2027-03-10");
  await dialog.getByLabel("End time", { exact: true }).fill("10:00");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await screenshot(page, "windows-browser-mode");

  const objects = await radicale.list(work);
  const made = objects.find((text) => text.includes("SUMMARY:Made under Wine 在 Wine 建立\r\n"));
  assert.ok(made, "the new event is on the server");
  assert.match(made, /DTSTART[^:\r\n]*:20270310T090000/);
  assert.deepEqual(page.problems, []);

  // Ctrl-C in its console (Wine's SIGINT to the console's processes) takes
  // the same shutdown as on Linux, the worker with it; start.exe ignores it
  // and hands on the program's exit status.
  const stopping = program;
  program = null;
  assert.equal(await stopping.stop(), 0);
});
