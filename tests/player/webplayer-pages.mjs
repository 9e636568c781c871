// Opens pages written by tonvela-convert, served over http, in headless Chromium without Flash:
// the page's own script tag must bring in Ruffle, which replaces the OBJECT/EMBED markup. For each
// page, Ruffle's metadata must match the movie's header as swf-parser reads it, the movie must be
// playing a second later, and every extra SWF named (a shell player's sound SWF) must have been
// fetched. A screenshot of each page goes to SHOTS_DIR.
//   node webplayer-pages.mjs BASE_URL SITE_DIR SHOTS_DIR CASES_JSON
// CASES_JSON: [{name, page, swf, loads: [path...], route}] with paths relative to SITE_DIR / BASE_URL.
// route {prefix, dir}: requests under the web address prefix are answered from the local folder
// dir (as that address's server would, with CORS), so a page that loads its player from a public
// address plays without the network.
import fs from "node:fs";
import path from "node:path";
import { chromium } from "playwright-core";
import { parseSwf } from "swf-parser";
import { TagType } from "swf-types";

const [base, siteDir, shotsDir, casesFile] = process.argv.slice(2);
const cases = JSON.parse(fs.readFileSync(casesFile, "utf8"));
fs.mkdirSync(shotsDir, { recursive: true });

// What Ruffle should report, from the SWF file itself.
function expectedMetadata(file) {
  const movie = parseSwf(fs.readFileSync(file));
  const { frameSize, frameRate, frameCount } = movie.header;
  const bg = movie.tags.find((t) => t.type === TagType.SetBackgroundColor);
  const hex = (v) => v.toString(16).padStart(2, "0");
  return {
    width: (frameSize.xMax - frameSize.xMin) / 20,
    height: (frameSize.yMax - frameSize.yMin) / 20,
    frameRate: (frameRate.epsilons ?? frameRate) / 256,
    numFrames: frameCount,
    backgroundColor: bg ? `#${hex(bg.color.r)}${hex(bg.color.g)}${hex(bg.color.b)}`.toUpperCase() : null,
  };
}

const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium", headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--autoplay-policy=no-user-gesture-required"],
});
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
let failures = 0;
for (const c of cases) {
  const problems = [];
  const page = await browser.newPage({ viewport: { width: 480, height: 200 } });
  const fetched = new Map();
  page.on("response", (r) => fetched.set(new URL(r.url()).pathname, r.status()));
  page.on("pageerror", (e) => problems.push(`page error: ${e}`));
  if (c.route) {
    const types = { ".js": "text/javascript", ".wasm": "application/wasm", ".map": "application/json" };
    await page.route(`${c.route.prefix}**`, (route) => {
      const rel = route.request().url().slice(c.route.prefix.length).split(/[?#]/)[0];
      const file = path.join(c.route.dir, rel);
      if (rel.includes("..") || !fs.existsSync(file)) return route.fulfill({ status: 404, body: "" });
      return route.fulfill({ status: 200, path: file, contentType: types[path.extname(file)] ?? "application/octet-stream",
                             headers: { "Access-Control-Allow-Origin": "*" } });
    });
  }
  try {
    const expected = expectedMetadata(path.join(siteDir, c.swf));
    await page.goto(`${base}/${c.page}`);
    // Ruffle puts its own element where the OBJECT was; its metadata appears once the movie is parsed.
    const handle = await page.waitForFunction(() => {
      const el = document.querySelector("ruffle-object, ruffle-embed");
      const m = el && el.ruffle && el.ruffle().metadata;
      return m ? { tag: el.tagName.toLowerCase(), ...m } : null;
    }, null, { timeout: 30000, polling: 100 });
    const meta = await handle.jsonValue();
    for (const key of Object.keys(expected)) {
      const got = key === "backgroundColor" && meta[key] ? meta[key].toUpperCase() : meta[key];
      if (got !== expected[key]) problems.push(`${key} ${got}, the SWF says ${expected[key]}`);
    }
    await sleep(1000);
    const state = await page.evaluate(() => {
      const p = document.querySelector("ruffle-object, ruffle-embed").ruffle();
      return { playing: p.isPlaying, ready: p.readyState };
    });
    if (!state.playing) problems.push(`not playing after 1 s (readyState ${state.ready})`);
    for (const l of c.loads ?? []) {
      const status = fetched.get(`/${l}`);
      if (status !== 200) problems.push(`${l} was ${status ? `answered ${status}` : "never fetched"}`);
    }
    await page.screenshot({ path: path.join(shotsDir, `webplayer-${c.name}.png`) });
    console.log(`   ${c.name}: ${meta.tag} ${JSON.stringify(expected)}; fetched ${[...fetched.keys()].filter((k) => k.endsWith(".swf")).join(" ")}`);
  } catch (e) {
    problems.push(String(e.message ?? e));
  }
  console.log(problems.length ? `FAIL ${c.name}: ${problems.join("; ")}` : `ok   ${c.name}`);
  if (problems.length) failures++;
  await page.close();
}
await browser.close();
process.exit(failures ? 1 : 0);
