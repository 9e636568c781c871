// Plays movies in Ruffle inside headless Chromium and checks that their controls work:
// a screenshot while stopped, a click on play, the movie running (the time display or track
// bar changes, or the play button turns into pause), a click on stop (everything stands still
// again), and for movies without a time display, the end of the sound turning pause back into play.
//   node run-templates.mjs CASES_JSON FILES_DIR SHOTS_DIR
// CASES_JSON: [{name, url, width, height, play:[x,y], stop:[x,y], time, track, seconds,
//               autoplay, loops, still}]
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { chromium } from "playwright-core";
import { startServer } from "./server.mjs";

const here = path.dirname(fileURLToPath(import.meta.url));
const [casesFile, filesDir, shotsDir] = process.argv.slice(2);
const cases = JSON.parse(fs.readFileSync(casesFile, "utf8"));
fs.mkdirSync(shotsDir, { recursive: true });

const server = await startServer({
  ruffle: path.join(here, "../../node_modules/@ruffle-rs/ruffle"), page: here, files: filesDir,
});
const base = `http://127.0.0.1:${server.address().port}`;
const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium", headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--autoplay-policy=no-user-gesture-required"],
});

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
// Pages playing at once in the one browser; each waits for what it expects to see, so a slower
// player only takes longer.
const AT_ONCE = Number(process.env.TONVELA_PLAY_AT_ONCE || 3);
// How long a change may take to show on a busy machine: only a movie that never shows it waits
// this long.
const PATIENCE = 20000;
// How long a movie that should stand still is watched for movement.
const WATCH = 1000;

async function runCase(c) {
  const problems = [];
  // Room beside the movie to park the mouse, so no button stays in its hover look.
  const page = await browser.newPage({ viewport: { width: c.width + 40, height: c.height + 40 } });
  const click = async (x, y) => { await page.mouse.click(x, y); await page.mouse.move(c.width + 20, c.height + 20); };
  const log = [];
  // The files the page has fetched whole (a shell player fetches its sound SWF by itself).
  const fetched = new Set();
  page.on("requestfinished", (r) => fetched.add(new URL(r.url()).pathname));
  page.on("console", (m) => { if (m.type() === "error") log.push(m.text()); });
  page.on("pageerror", (e) => log.push(String(e)));
  const shot = (clip, name) => page.screenshot({ clip, ...(name ? { path: path.join(shotsDir, name) } : {}) });
  // Waits until test() holds for a fresh screenshot of clip; the last one, or null on time-out.
  const waitFor = async (clip, test, patience = PATIENCE) => {
    for (const until = Date.now() + patience; ;) {
      const now = await shot(clip);
      if (test(now)) return now;
      if (Date.now() > until) return null;
      await sleep(100);
    }
  };
  const changedFrom = (before) => (now) => !now.equals(before);
  const sameAs = (before) => (now) => now.equals(before);
  // The picture once two screenshots a little apart agree.
  const steady = async (clip) => {
    let last = await shot(clip);
    return waitFor(clip, (now) => { const same = now.equals(last); last = now; return same; });
  };
  try {
    await page.goto(`${base}/page/player.html`);
    const whole = { x: 0, y: 0, width: c.width, height: c.height };
    const region = (r) => r ? { x: r[0], y: r[1], width: r[2], height: r[3] } : null;
    const toggle = { x: c.play[0] - 12, y: c.play[1] - 12, width: 24, height: 24 };
    // The track bar moves every frame; the time display only every second.
    const moving = c.track ? { x: c.track[0] - 8, y: c.track[2] - 8, width: c.track[1] - c.track[0] + 16, height: 16 }
                           : region(c.time);
    const blank = await shot(toggle);
    const meta = await page.evaluate(([u, w, h]) => window.loadMovie(u, w, h), [`/files/${c.url}`, c.width, c.height]);
    if (meta.width !== c.width || meta.height !== c.height)
      problems.push(`frame ${meta.width}x${meta.height}, expected ${c.width}x${c.height}`);
    // Drawn: the play button shows where the page was empty, and the toggle holds still.
    if (!(await waitFor(toggle, changedFrom(blank))) || !(await steady(toggle))) throw new Error("the movie was never drawn");
    // A shell player is ready once it has its sound SWF, a frame or two after the file came.
    const sound = /[?&]soundswf=([^&]*)/.exec(c.url);
    if (sound) {
      const want = `/files/${decodeURIComponent(sound[1])}`;
      for (const until = Date.now() + PATIENCE; !fetched.has(want) && Date.now() < until;) await sleep(50);
      if (!fetched.has(want)) throw new Error(`the player never fetched ${want}`);
      await steady(whole);
      await steady(whole);
    }

    if (c.still) {
      // A template on its own stands still on its first frame and shows its controls.
      const first = await steady(whole);
      await shot(whole, `${c.name}.png`);
      await sleep(WATCH);
      if (!(await shot(whole)).equals(first)) problems.push("the template does not stand still");
      const stopRegion = { x: c.stop[0] - 12, y: c.stop[1] - 12, width: 24, height: 24 };
      if ((await shot(toggle)).equals(await shot(stopRegion))) problems.push("play and stop look the same");
      throw null;  // nothing to play
    }
    if (c.autoplay) {
      // Started by itself (after its blank frames, later on a busy machine): where a time or
      // track shows it, wait until it moves. Then stop it, which must change the pause button
      // back into play.
      if (moving) {
        const first = await shot(moving);
        if (!(await waitFor(moving, changedFrom(first)))) problems.push("the movie did not start by itself");
      }
      const pauseShown = await steady(toggle);
      await shot(whole, `${c.name}-autoplay.png`);
      await click(c.stop[0], c.stop[1]);
      if (!(await waitFor(toggle, changedFrom(pauseShown)))) problems.push("the movie did not start by itself");
    }
    const toggleStopped = await steady(toggle);
    const movingStopped = moving && await steady(moving);
    const stopped = await shot(whole, `${c.name}-stopped.png`);

    await click(c.play[0], c.play[1]);
    // The toggle lies inside the whole picture, so its change is the picture's change; a second
    // look at the whole could come after a short sound had already ended on a busy machine.
    if (!(await waitFor(toggle, changedFrom(toggleStopped)))) problems.push("play did not turn into pause");
    // The time display changes after a second of the movie; Ruffle may run slower than the clock.
    if (moving && !(await waitFor(moving, changedFrom(movingStopped)))) problems.push("time or track did not move while playing");
    await shot(whole, `${c.name}-playing.png`);

    await click(c.stop[0], c.stop[1]);
    if (!(await waitFor(toggle, sameAs(toggleStopped)))) problems.push("stop did not bring back the play button");
    if (moving && !(await waitFor(moving, sameAs(movingStopped)))) problems.push("stop did not rewind the time or track");
    const afterStop = await steady(whole);
    await shot(whole, `${c.name}-after-stop.png`);
    await sleep(WATCH);
    if (!afterStop || !(await shot(whole)).equals(afterStop)) problems.push("the movie moved on after stop");

    if (c.track) {
      // A click three quarters along the track moves there, still stopped.
      await click(Math.round(c.track[0] + 0.75 * (c.track[1] - c.track[0])), c.track[2]);
      if (!(await waitFor(moving, changedFrom(movingStopped)))) problems.push("a click on the track did not seek");
      const sought = await steady(whole);
      await shot(whole, `${c.name}-sought.png`);
      await sleep(WATCH);
      if (!sought || !(await shot(whole)).equals(sought)) problems.push("seeking while stopped started the movie");
      await click(c.stop[0], c.stop[1]);
      if (!(await waitFor(moving, sameAs(movingStopped)))) problems.push("stop after a seek did not rewind");
    }

    // Played to its end the movie stops by itself and shows play again, unless it loops. Ruffle
    // keeps the timeline in step with the sound, which may run slower than the clock here.
    await click(c.play[0], c.play[1]);
    if (!(await waitFor(toggle, changedFrom(toggleStopped)))) problems.push("play did not start the movie again");
    // A looping movie is watched for its whole length and more; one that ends must end.
    const ended = await waitFor(toggle, sameAs(toggleStopped), c.loops ? c.seconds * 1000 + 1200 : PATIENCE + c.seconds * 1000);
    await shot(whole, `${c.name}-ended.png`);
    if (!c.loops && !ended) problems.push("the end of the sound did not stop the movie");
    if (c.loops && ended) problems.push("the movie did not loop");
  } catch (e) {
    if (e !== null) problems.push(String(e.message ?? e));
  }
  if (log.length) problems.push(...log.map((l) => `console: ${l}`));
  console.log(problems.length ? `FAIL ${c.name}: ${problems.join("; ")}` : `ok ${c.name}`);
  await page.close();
  return problems.length === 0;
}

// Every case once, AT_ONCE at a time; a case that fails is run again alone, up to twice more,
// since a player starved of time on a busy machine can miss a change that a fault in the movie
// misses every time. Only the last try's verdict counts.
const queue = [...cases], failedFirst = [];
await Promise.all(Array.from({ length: Math.min(AT_ONCE, queue.length) }, async () => {
  while (queue.length) { const c = queue.shift(); if (!(await runCase(c))) failedFirst.push(c); }
}));
let failures = 0;
for (const c of failedFirst) {
  let ok = false;
  for (let again = 0; !ok && again < 2; again++) { console.log(`again ${c.name}`); ok = await runCase(c); }
  if (!ok) failures++;
}
await browser.close();
server.close();
process.exit(failures ? 1 : 0);
