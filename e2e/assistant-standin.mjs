// A stand-in `claude` for the browser tests: a small script on the program's
// PATH that answers each turn with the next scripted reply, in the JSON the
// real command line prints with --output-format json, and records what it
// was given.
import { mkdtempSync, writeFileSync, readFileSync, existsSync, chmodSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

const SCRIPT = `#!/usr/bin/env node
const fs = require("fs");
const path = require("path");
const dir = path.dirname(fs.realpathSync(__filename));
const input = fs.readFileSync(0, "utf8");
fs.appendFileSync(path.join(dir, "calls.jsonl"), JSON.stringify({ args: process.argv.slice(2), input }) + "\\n");
const file = path.join(dir, "replies.json");
const replies = fs.existsSync(file) ? JSON.parse(fs.readFileSync(file, "utf8")) : [];
const reply = replies.shift() || { text: "(no scripted reply)" };
fs.writeFileSync(file, JSON.stringify(replies));
setTimeout(() => {
  if (reply.exit) { process.stderr.write(reply.stderr || ""); process.exit(reply.exit); }
  process.stdout.write(JSON.stringify({ type: "result", subtype: "success", is_error: false,
    result: reply.text, session_id: "standin-session" }));
}, reply.delay_ms || 0);
`;

export function createStandin() {
  const dir = mkdtempSync(join(tmpdir(), "wrenfold-claude-"));
  const program = join(dir, "claude");
  writeFileSync(program, SCRIPT);
  chmodSync(program, 0o755);
  writeFileSync(join(dir, "replies.json"), "[]");
  const calls = () => (existsSync(join(dir, "calls.jsonl"))
    ? readFileSync(join(dir, "calls.jsonl"), "utf8").split("\n").filter(Boolean).map((line) => JSON.parse(line)) : []);
  return {
    dir,
    // Replies for the coming turns: strings, or { text, delay_ms, exit, stderr }.
    script(...replies) {
      const queued = JSON.parse(readFileSync(join(dir, "replies.json"), "utf8"));
      queued.push(...replies.map((reply) => (typeof reply === "string" ? { text: reply } : reply)));
      writeFileSync(join(dir, "replies.json"), JSON.stringify(queued));
    },
    calls,
    async waitForCalls(count, timeout = 20000) {
      const deadline = Date.now() + timeout;
      while (calls().length < count) {
        if (Date.now() > deadline) throw new Error(`the stand-in saw ${calls().length} turns, not ${count}`);
        await new Promise((resolve) => setTimeout(resolve, 50));
      }
      return calls();
    },
    remove: () => rmSync(dir, { recursive: true, force: true }),
  };
}

export const actionBlock = (value) => "```wrenfold-action\n" + JSON.stringify(value) + "\n```";

// The wrenfold-result blocks a follow-up turn carried, parsed.
export function resultBlocks(input) {
  return [...input.matchAll(/```wrenfold-result\n(.*)\n```/g)].map((match) => JSON.parse(match[1]));
}
