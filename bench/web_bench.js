// The page in headless chromium, timed from inside the page. Prints one JSON
// object of medians in milliseconds:
//   firstResult  navigation to the first Solve's results shown (#result-DE
//                written: the results are written together)
//   ready        navigation to body[data-ready] (the loop drawn as well)
//   accurateDefaultReleased
//                Loop (accurate, the default 100 rows) from the click until
//                Stop is disabled again: the table is in the page and the
//                download ready
//   accurateDefaultPainted, accurateLongPainted
//                the same click until the frame after that is painted (the
//                table on the screen); the long Loop is step 0.0001, 99,001
//                rows, in the first three loads only
//   accurateDefaultCurves
//                the same click until the three curves are drawn (the
//                page's performance mark "quorix:curves")
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

// Runs before the page's own scripts: notes when the first result appears
// and when the page says it is ready, as they happen (a poll from outside
// would add its own latency).
function watchStart() {
  document.addEventListener('DOMContentLoaded', () => {
    const de = document.getElementById('result-DE');
    const results = new MutationObserver(() => {
      if (de.textContent !== '') {
        window.quorixFirstResult = performance.now();
        results.disconnect();
      }
    });
    results.observe(de, { childList: true, characterData: true, subtree: true });
    const ready = new MutationObserver(() => {
      if (document.body.dataset.ready === '1') {
        window.quorixReady = performance.now();
        ready.disconnect();
      }
    });
    ready.observe(document.body, { attributes: true, attributeFilter: ['data-ready'] });
  });
}

// Clicks Loop; resolves with the milliseconds until Stop is disabled again
// and until the curves' mark (null when none came within 10 s).
function timeLoop() {
  return new Promise((resolve) => {
    const stop = document.querySelector('#stop');
    const before = performance.getEntriesByName('quorix:curves').length;
    const start = performance.now();
    let done = null;
    let curves;  // undefined until the mark comes or the wait ends
    const finish = () => {
      if (done !== null && done.painted !== null && curves !== undefined) resolve({ ...done, curves });
    };
    const marks = new PerformanceObserver(() => {
      const entries = performance.getEntriesByName('quorix:curves');
      if (entries.length > before) {
        curves = entries[entries.length - 1].startTime - start;
        marks.disconnect();
        finish();
      }
    });
    marks.observe({ entryTypes: ['mark'] });
    setTimeout(() => {
      if (curves === undefined) {
        curves = null;
        marks.disconnect();
        finish();
      }
    }, 10000);
    // Painted: the frame after Stop is released has laid out and painted
    // the table. A task posted from that frame's rAF runs after its paint;
    // user-blocking, so that it runs before the page's own timers (the
    // curves, drawn after that frame).
    const watch = new MutationObserver(() => {
      if (stop.disabled) {
        watch.disconnect();
        done = { released: performance.now() - start };
        done.painted = null;
        requestAnimationFrame(() => scheduler.postTask(() => {
          done.painted = performance.now() - start;
          finish();
        }, { priority: 'user-blocking' }));
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
  const times = { firstResult: [], ready: [], accurateDefaultReleased: [], accurateDefaultPainted: [],
    accurateDefaultCurves: [], accurateLongPainted: [] };
  for (let i = 0; i < runs; ++i) {
    // A new context each time: nothing cached, the files come over loopback.
    const context = await browser.newContext();
    await context.addInitScript(watchStart);
    const page = await context.newPage();
    await page.goto(url);
    await page.waitForSelector('body[data-ready="1"]');
    times.ready.push(await page.evaluate(() => window.quorixReady));
    times.firstResult.push(await page.evaluate(() => window.quorixFirstResult));
    await page.check('#accurate');
    const loop = await page.evaluate(timeLoop);
    times.accurateDefaultReleased.push(loop.released);
    times.accurateDefaultPainted.push(loop.painted);
    if (loop.curves !== null) times.accurateDefaultCurves.push(loop.curves);
    if (i < 3) {
      await page.fill('#step', '0.0001');
      times.accurateLongPainted.push((await page.evaluate(timeLoop)).painted);
    }
    await context.close();
  }
  await browser.close();
  console.log(JSON.stringify(Object.fromEntries(Object.entries(times).map(([k, v]) => [k, v.length ? median(v) : null]))));
})();
