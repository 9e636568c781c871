// node play.js BASE_URL SECONDS SWF...: plays each SWF in Ruffle inside headless Chromium and
// checks that the sound lasts SECONDS (within 0.2 s) without gaps. Exit 1 when one does not.
// (A SWF without a stop action loops, so only movies that end with one are given.)
const path = require("path");
const { chromium } = require(path.join(process.env.NODE_MODULES, "playwright-core"));

(async () => {
  const [base, seconds, ...swfs] = process.argv.slice(2);
  const expected = Number(seconds);
  const browser = await chromium.launch({
    executablePath: "/usr/bin/chromium", headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--autoplay-policy=no-user-gesture-required"],
  });
  let failed = 0;
  for (const swf of swfs) {
    // Up to three tries: on a machine too busy for real-time playback Ruffle itself stutters,
    // while a fault in the file fails every time.
    let r = null, ok = false;
    for (let attempt = 0; attempt < 3 && !ok; attempt++) {
      const page = await browser.newPage();
      await page.goto(`${base}/page.html?swf=${encodeURIComponent(swf)}&wait=${Math.round(expected * 1000 + 1500)}`);
      await page.waitForFunction(() => document.title !== "pending", null, { timeout: 60000 });
      r = JSON.parse(await page.title());
      ok = Math.abs(r.spanSeconds - expected) <= 0.2 && r.gaps === 0;
      await page.close();
    }
    if (!ok) failed++;
    console.log(`${ok ? "ok  " : "FAIL"} ${swf}: ${JSON.stringify(r)}`);
  }
  await browser.close();
  process.exit(failed ? 1 : 0);
})().catch((e) => { console.error(e); process.exit(2); });
