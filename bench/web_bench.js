// The page in headless chromium, timed from inside the page: navigation to
// the first Solve shown (body[data-ready]), and Loop from the click until
// Stop is disabled again (the table and the curves drawn). Prints one JSON
// object of medians in milliseconds.
//   node bench/web_bench.js URL RUNS
// Playwright comes from web/tests (npm ci there), the browser is Debian's.
const path = require('node:path');
const { chromium } = require(path.join(__dirname, '..', 'web', 'tests', 'node_modules', '@playwright/test'));

const [url, runsText] = process.argv.slice(2);
const runs = Number(runsText || 10);
const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

// Clicks Loop and resolves with the milliseconds until the sweep has ended.
function timeLoop() {
  return new Promise((resolve) => {
    const stop = document.querySelector('#stop');
    const start = performance.now();
    const watch = new MutationObserver(() => {
      if (stop.disabled) {
        watch.disconnect();
        resolve(performance.now() - start);
      }
    });
    watch.observe(stop, { attributes: true, attributeFilter: ['disabled'] });
    document.querySelector('#loop').click();
  });
}

(async () => {
  const browser = await chromium.launch({
    executablePath: process.env.QUORIX_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  const times = { firstSolve: [], accurateDefaultLoop: [], accurateLongLoop: [] };
  for (let i = 0; i < runs; ++i) {
    // A new context each time: nothing cached, the files come over loopback.
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.goto(url);
    await page.waitForSelector('body[data-ready="1"]');
    times.firstSolve.push(await page.evaluate(() => performance.now()));
    await page.check('#accurate');
    times.accurateDefaultLoop.push(await page.evaluate(timeLoop));
    if (i < 3) {
      await page.fill('#step', '0.0001');
      times.accurateLongLoop.push(await page.evaluate(timeLoop));
    }
    await context.close();
  }
  await browser.close();
  console.log(JSON.stringify(Object.fromEntries(Object.entries(times).map(([k, v]) => [k, median(v)]))));
})();
