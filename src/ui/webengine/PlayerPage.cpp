#include "ui/webengine/PlayerPage.h"

namespace tonvela {

QByteArray PlayerPageHtml() {
    // The web engine's fetch() refuses custom schemes, so requests for this page's own scheme
    // go through XMLHttpRequest instead; the response keeps its URL, which the player resolves
    // a movie's relative loads against.
    return QByteArrayLiteral(R"html(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>player</title>
<style>
html, body { margin: 0; width: 100%; height: 100%; overflow: hidden; background: #FFFFFF; }
ruffle-player { display: block; width: 100%; height: 100%; }
</style>
<script>
"use strict";
window.tonvela = { loads: 0, metadata: null, error: null, fetched: [], player: null, warmPlayer: null, warmed: false,
                   wasmFetches: 0 };
(function () {
  const ownScheme = location.protocol;
  const nativeFetch = window.fetch.bind(window);
  window.fetch = function (input, init) {
    const href = new URL(input instanceof Request ? input.url : String(input), document.baseURI).href;
    if (!href.startsWith(ownScheme)) return nativeFetch(input, init);
    if (href.endsWith(".wasm")) window.tonvela.wasmFetches++;
    return new Promise((resolve, reject) => {
      const xhr = new XMLHttpRequest();
      xhr.open("GET", href);
      xhr.responseType = "arraybuffer";
      xhr.onload = () => {
        const status = xhr.status || 200;
        const bytes = xhr.response ? xhr.response.byteLength : 0;
        window.tonvela.fetched.push({ url: href, status: status, bytes: bytes });
        const response = new Response(xhr.response, { status: status,
          headers: { "Content-Type": xhr.getResponseHeader("Content-Type") || "application/octet-stream" } });
        Object.defineProperty(response, "url", { value: href });
        resolve(response);
      };
      xhr.onerror = () => {
        window.tonvela.fetched.push({ url: href, status: 0, bytes: 0 });
        reject(new TypeError("Failed to fetch " + href));
      };
      xhr.send();
    });
  };
})();
// Sound: each movie's player makes an AudioContext, and each holds a stream open in the sound
// server for as long as it lives, playing silence if need be. They are closed when their movie
// goes, and the warm-up, which plays nothing, gets none (the player then goes without sound).
(function () {
  const t = window.tonvela;
  const Native = window.AudioContext;
  t.audio = [];
  t.noAudio = false;
  t.closeAudio = function () {
    for (const c of t.audio) if (c.state !== "closed") c.close().catch(() => {});
    t.audio = [];
  };
  t.liveAudio = function () { return t.audio.filter((c) => c.state !== "closed").length; };
  if (!Native) return;
  const Counted = function (options) {
    if (t.noAudio) throw new DOMException("no sound while warming up", "NotAllowedError");
    const context = new Native(options);
    t.audio.push(context);
    return context;
  };
  Counted.prototype = Native.prototype;
  window.AudioContext = Counted;
})();
// A movie has no gamepads. Ruffle asks for them every frame, and the first question starts
// the browser's gamepad polling, which then runs on in the program's own process sixty times a
// second, even while the page is frozen and parked.
try {
  Object.defineProperty(Navigator.prototype, "getGamepads", { value: function () { return []; }, configurable: true });
} catch (e) {}
window.RufflePlayer = { config: { polyfills: false, publicPath: "ruffle/" } };
</script>
<script src="ruffle/ruffle.js"></script>
<script>
"use strict";
// state: { url: movie URL or "", bg: "#RRGGBB", menu: bool }
// Loads a one-pixel empty movie once, so that Ruffle's WebAssembly is fetched and compiled
// before the first real movie; later players of this page reuse the compiled module.
window.tonvela.warm = function () {
  const t = window.tonvela;
  if (t.warmed || t.warmPlayer || !window.RufflePlayer || !window.RufflePlayer.newest) return;
  const player = window.RufflePlayer.newest().createPlayer();
  t.warmPlayer = player;
  document.body.appendChild(player);
t.noAudio = true;
  const done = () => {
    t.noAudio = false;
    if (t.warmPlayer === player) { player.remove(); t.warmPlayer = null; }
  };
  player.addEventListener("loadedmetadata", () => {
    t.warmed = true;
    done();
    console.log("tonvela-warm");
  });
  player.ruffle().load({
    data: new Uint8Array([70, 87, 83, 8, 20, 0, 0, 0, 48, 10, 0, 160, 0, 12, 1, 0, 64, 0, 0, 0]),
    autoplay: "off", unmuteOverlay: "hidden", splashScreen: false, preloader: false,
    contextMenu: "off", menu: false, allowScriptAccess: false, allowNetworking: "none", logLevel: "error",
  }).catch(done);
};
window.tonvela.show = function (state) {
  const t = window.tonvela;
  document.body.style.background = state.bg;
  if (t.warmPlayer) { t.warmPlayer.remove(); t.warmPlayer = null; }
  t.noAudio = false;
  if (t.player) { t.player.remove(); t.player = null; }
t.closeAudio();
  t.metadata = null;
  t.error = null;
  if (!state.url) return;
  if (!window.RufflePlayer || !window.RufflePlayer.newest) { t.error = "no player"; return; }
  const player = window.RufflePlayer.newest().createPlayer();
  t.player = player;
  document.body.appendChild(player);
  t.loads++;
  player.addEventListener("loadedmetadata", () => {
    if (t.player !== player) return;
    t.metadata = player.ruffle().metadata;
    console.log("tonvela-loaded " + JSON.stringify(t.metadata));
  });
  player.ruffle().load({
    url: state.url,
    // Relative loads (a shell player's sound SWF) start from the movie's folder, not the page's.
    base: new URL(".", state.url).href,
    backgroundColor: state.bg,
    contextMenu: state.menu ? "on" : "off",
    menu: state.menu,
    autoplay: "on",
    unmuteOverlay: "hidden",
    splashScreen: false,
    preloader: false,
    letterbox: "off",
    allowScriptAccess: false,
    allowNetworking: "internal",
    openUrlMode: "deny",
    showSwfDownload: false,
    warnOnUnsupportedContent: false,
    allowFullscreen: false,
    logLevel: "error",
  }).catch((e) => { if (t.player === player) t.error = String(e); });
};
</script>
</head><body></body></html>
)html");
}

}  // namespace tonvela
