// Writes the page as the program serves it: the modules under html/js and
// html/assistant joined into a few files, so that the browser fetches the
// page in one round instead of one round per level of imports, the styles
// joined into one sheet and the calendar library into one script.
//   node bundle-page.mjs NODE_MODULES SOURCE_HTML OUT_HTML
// boot.js and main.js stay the two entries index.html names; what both use
// (the bridge shim, the early answers) sits in a chunk of its own so the two
// share one copy of it, and the assistant, imported when first opened, gets
// its own. index.html's modulepreload block is written from what the entries
// import, so it never falls behind the code. OUT_HTML's vendor folder, filled
// by another step, is left alone.
import { createRequire } from "node:module";
import { cpSync, mkdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { basename, join, resolve } from "node:path";

const [modules, source, out] = process.argv.slice(2).map((path) => path && resolve(path));
if (!out) {
  console.error("usage: bundle-page.mjs NODE_MODULES SOURCE_HTML OUT_HTML");
  process.exit(2);
}
const esbuild = createRequire(join(modules, "..", "package.json"))("esbuild");

const PRELOAD_MARK = /^[ \t]*<!-- modulepreload -->[ \t]*\n/m;

// Every chunk an entry loads before it runs, the entry's own imports first.
function staticImports(outputs, entry) {
  const found = [];
  const visit = (file) => {
    for (const { path, kind } of outputs[file].imports)
      if (kind === "import-statement" && !found.includes(path)) { found.push(path); visit(path); }
  };
  visit(entry);
  return found;
}

async function bundleScripts() {
  const result = await esbuild.build({
    entryPoints: [join(source, "js", "boot.js"), join(source, "js", "main.js")],
    outdir: join(out, "js"),
    bundle: true,
    splitting: true,
    format: "esm",
    minify: true,
    charset: "utf8",
    chunkNames: "[name]-[hash]",
    // The libraries copied into vendor/ stay files of their own; every
    // importer sits one folder down from the page, as the chunks do.
    external: ["../vendor/*"],
    metafile: true,
    absWorkingDir: out,  // the metafile's paths are then the page's own
    logLevel: "warning",
  });
  const outputs = result.metafile.outputs;
  const chunks = [...staticImports(outputs, "js/boot.js"), ...staticImports(outputs, "js/main.js")];
  return [...new Set(chunks)].map((path) => "./" + path);
}

// The calendar library and its Chinese texts, one classic script run before
// main.js: the browser fetches a page's files over six connections at most,
// and the early bridge calls wait behind them.
function joinCalendarLibrary() {
  const library = ["fullcalendar/index.global.min.js", "@fullcalendar/core/locales/zh-tw.global.min.js"];
  writeFileSync(join(out, "js", "calendar-library.js"),
                library.map((file) => readFileSync(join(modules, file), "utf8").trimEnd() + "\n").join(""));
}

// page.css imports the others, which are written into it.
async function bundleStyles() {
  await esbuild.build({
    entryPoints: [join(source, "css", "page.css")],
    outfile: join(out, "css", "page.css"),
    bundle: true,
    minify: true,
    charset: "utf8",
    logLevel: "warning",
  });
}

function writeIndex(preloads) {
  const html = readFileSync(join(source, "index.html"), "utf8");
  if (!PRELOAD_MARK.test(html)) throw new Error("index.html has no <!-- modulepreload --> line");
  const links = preloads.map((href) => `<link rel="modulepreload" href="${href}">\n`).join("");
  writeFileSync(join(out, "index.html"), html.replace(PRELOAD_MARK, links));
}

// Whatever a former build wrote goes first: chunk names change with their content.
for (const folder of ["js", "css", "assistant"]) rmSync(join(out, folder), { recursive: true, force: true });
mkdirSync(out, { recursive: true });
const preloads = await bundleScripts();
joinCalendarLibrary();
await bundleStyles();
// Every other file (the assistant's sheet, the single sheets page.css is
// made of) as it is; the modules are all in the bundle.
cpSync(source, out, { recursive: true, force: false, filter: (path) => !path.endsWith(".js") });
writeIndex(preloads);
console.log(`${basename(process.argv[1])}: the page written to ${out} (${preloads.length} preloaded chunks)`);
