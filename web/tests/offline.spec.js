// Once opened, the page opens and runs again without the network: served by
// the test's own server, then shut down.
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { test, expect, expectedSolve, shownResults } = require('./helpers');

const SITE = path.join(__dirname, '..', '..', 'build', 'web', 'site');
const TYPES = { '.html': 'text/html', '.css': 'text/css', '.js': 'text/javascript', '.wasm': 'application/wasm' };

function serve() {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname).replace(/^\/$/, '/index.html');
    const file = path.join(SITE, path.normalize(name));
    if (!file.startsWith(SITE + path.sep) || !fs.existsSync(file)) return void response.writeHead(404).end();
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' })
      .end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

test('once opened, the page opens and computes without the network', async ({ page }) => {
  test.setTimeout(120_000);
  const server = await serve();
  const url = `http://127.0.0.1:${server.address().port}/`;
  await page.goto(url);
  await expect(page.locator('body')).toHaveAttribute('data-ready', '1', { timeout: 30_000 });
  await expect.poll(() => page.evaluate(() => navigator.serviceWorker.controller !== null), { timeout: 30_000 })
    .toBe(true);
  server.closeAllConnections();
  await new Promise((resolve) => server.close(resolve));
  await expect((await fetch(url).catch((e) => e)) instanceof Error, 'the server is gone').toBe(true);

  // Opened again, with a case in its address.
  await page.goto(`${url}?gamma=0.5&n=1.5&u=2`);
  await expect(page.locator('body')).toHaveAttribute('data-ready', '1', { timeout: 30_000 });
  const c = { fields: { gamma: '0.5', n: '1.5', umax: '2' } };
  await expect.poll(() => shownResults(page)).toEqual(expectedSolve(c).texts);
});
