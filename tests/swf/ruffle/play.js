// node play.js BASE_URL SECONDS SWF...: plays the SWFs in Ruffle inside headless Chromium, a few
// pages at a time in one browser, and checks that each sound lasts SECONDS (within 0.2 s) without
// gaps. Exit 1 when one does not.
// A SWF named "loop:NAME" loops: it is listened to for SECONDS and only its gaps count, and
// "loop!:NAME" is a looping movie that must show gaps (the check's own control case).
const path = require("path");
const { chromium } = require(path.join(process.env.NODE_MODULES, "playwright-core"));

// Pages playing at once: real-time sound in a browser on a small machine stutters beyond this.
const AT_ONCE = Number(process.env.TONVELA_PLAY_AT_ONCE || 3);

(async () => {
  const [base, seconds, ...swfs] = process.argv.slice(2);
  const expected = Number(seconds);
  const browser = await chromium.launch({
    executablePath: "/usr/bin/chromium", headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync",
           "--autoplay-policy=no-user-gesture-required"],
  });

  const playOnce = async (file, loop) => {
    const page = await browser.newPage();
    try {
      // A movie that ends is done once a second of silence follows its sound (the page says so);
      // a looping one is listened to for SECONDS. The bound only catches a player that hangs.
      const q = loop ? `&listen=${Math.round(expected * 1000)}` : "";
      await page.goto(`${base}/page.html?swf=${encodeURIComponent(file)}${q}`);
      await page.waitForFunction(() => document.title !== "pending", null, { timeout: 30000 + expected * 8000 });
      return JSON.parse(await page.title());
    } catch (e) {
      return { error: String(e.message ?? e).split("\n")[0] };
    } finally {
      await page.close();
    }
  };

  const check = async (arg) => {
    const m = /^(loop!?):(.*)$/.exec(arg);
    const loop = m ? m[1] : "", file = m ? m[2] : arg;
    const good = (r) => r.error ? false : loop === "loop!" ? r.gaps > 0
                      : loop ? r.gaps === 0
                      : Math.abs(r.spanSeconds - expected) <= 0.2 && r.gaps === 0;
    const r = await playOnce(file, loop);
    return { arg, file, r, ok: good(r) };
  };
  const print = ({ file, r, ok }, word = ok ? "ok  " : "FAIL") => console.log(`${word} ${file}: ${JSON.stringify(r)}`);

  // Every movie once, AT_ONCE at a time. Real-time sound on a busy machine can stutter in the
  // player itself, so a movie that fails is played again, alone, up to three more times: a fault
  // in the file fails every time.
  const queue = [...swfs], firstTries = [];
  await Promise.all(Array.from({ length: Math.min(AT_ONCE, queue.length) }, async () => {
    while (queue.length) firstTries.push(await check(queue.shift()));
  }));
  let failed = 0;
  for (let t of firstTries) {
    for (let again = 0; !t.ok && again < 3; again++) { print(t, "again"); t = await check(t.arg); }
    print(t);
    if (!t.ok) failed++;
  }
  await browser.close();
  process.exit(failed ? 1 : 0);
})().catch((e) => { console.error(e); process.exit(2); });
