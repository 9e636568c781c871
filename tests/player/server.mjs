// A small static file server on 127.0.0.1 for the player tests: /ruffle/ from the npm package,
// /page/ from this folder, /files/ from the test's work folder.
import http from "node:http";
import fs from "node:fs";
import path from "node:path";

const types = {
  ".html": "text/html", ".js": "text/javascript", ".mjs": "text/javascript",
  ".wasm": "application/wasm", ".swf": "application/x-shockwave-flash", ".png": "image/png",
  ".map": "application/json", ".jpg": "image/jpeg",
};

export function startServer(roots) {
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, "http://127.0.0.1");
    const [, mount, ...rest] = decodeURIComponent(url.pathname).split("/");
    const root = roots[mount];
    const file = root && path.resolve(root, rest.join("/"));
    if (!file || !file.startsWith(path.resolve(root) + path.sep) || !fs.existsSync(file) ||
        !fs.statSync(file).isFile()) {
      res.writeHead(404).end();
      return;
    }
    res.writeHead(200, { "Content-Type": types[path.extname(file)] ?? "application/octet-stream",
                         "Cache-Control": "no-store" });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}
