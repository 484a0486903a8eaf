// Starts the real program with a home of its own and a headless Chromium.
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, dirname } from "node:path";
import { fileURLToPath } from "node:url";
import { createInterface } from "node:readline";
import { chromium } from "playwright-core";

const root = join(dirname(fileURLToPath(import.meta.url)), "..");
export const binary = process.env.WRENFOLD_BINARY || join(root, "build", "wrenfold");

export async function startProgram(extraEnv = {}) {
  const home = mkdtempSync(join(tmpdir(), "wrenfold-e2e-"));
  const child = spawn(binary, ["--browser", "--port", "0", "--no-open"], {
    env: { ...process.env, HOME: home, XDG_DATA_HOME: "", ...extraEnv },
    stdio: ["ignore", "pipe", "inherit"],
  });
  const lines = createInterface({ input: child.stdout });
  const address = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error("no address line within 20 s")), 20000);
    lines.on("line", (line) => {
      const match = /^Wrenfold is running at (http:\/\/127\.0\.0\.1:\d+\/#token=[0-9a-f]{64})$/.exec(line);
      if (match) { clearTimeout(timer); resolve(match[1]); }
    });
    child.on("exit", (code) => reject(new Error("the program ended early with " + code)));
  });
  const exited = new Promise((resolve) => child.on("exit", (code) => resolve(code)));
  return {
    address,
    home,
    async stop() {
      child.kill("SIGTERM");
      const code = await exited;
      rmSync(home, { recursive: true, force: true });
      return code;
    },
  };
}

export async function startBrowser() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
}
