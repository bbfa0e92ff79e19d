// The page in headless chromium, timed from inside the page. Prints one JSON
// object of medians in milliseconds:
//   firstResult  navigation to the first Solve's results shown (#result-DE
//                written: the results are written together)
//   ready        navigation to body[data-ready] (the loop drawn as well)
//   accurateDefaultRows
//                Loop (accurate, the default 100 rows) from the click until
//                the sweep's bytes are complete in the page (its mark
//                "quorix:rows")
//   accurateDefaultReleased
//                the same click until Loop's end ("quorix:loop-done"): the
//                table's first rows are in the page and the download ready
//   accurateDefaultPainted, accurateLongPainted
//                the same click until the frame after the table is written
//                is painted (the table on the screen); the long Loop is step
//                0.0001, 99,001 rows, in the first three loads only
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

// Clicks Loop; resolves with the milliseconds from the click until the
// page's marks "quorix:rows" (the sweep's bytes complete in the page),
// "quorix:loop-done" (Loop's end: the table's first rows in the page, the
// download ready) and "quorix:curves" (null when none came within 10 s),
// and until the frame after the table was written is painted.
function timeLoop() {
  return new Promise((resolve) => {
    const start = performance.now();
    const names = { rows: 'quorix:rows', released: 'quorix:loop-done', curves: 'quorix:curves' };
    const before = Object.fromEntries(Object.entries(names).map(([k, n]) => [k, performance.getEntriesByName(n).length]));
    const since = (key) => {
      const entries = performance.getEntriesByName(names[key]);
      return entries.length > before[key] ? entries[entries.length - 1].startTime - start : undefined;
    };
    let painted;
    let timedOut = false;
    const finish = () => {
      const t = { rows: since('rows'), released: since('released'), curves: since('curves'), painted };
      if (t.released === undefined || t.painted === undefined || (t.curves === undefined && !timedOut)) return;
      marks.disconnect();
      if (t.curves === undefined) t.curves = null;
      resolve(t);
    };
    const marks = new PerformanceObserver(finish);
    marks.observe({ entryTypes: ['mark'] });
    setTimeout(() => {
      timedOut = true;
      finish();
    }, 10000);
    // Painted: the frame after the table is written has laid out and
    // painted it. A task posted from that frame's rAF runs after its paint;
    // user-blocking, so that it runs before the page's own timers (the rest
    // of the table and the curves, after that frame).
    const watch = new MutationObserver(() => {
      watch.disconnect();
      requestAnimationFrame(() => scheduler.postTask(() => {
        painted = performance.now() - start;
        finish();
      }, { priority: 'user-blocking' }));
    });
    watch.observe(document.querySelector('#sweep-table'), { childList: true });
    document.querySelector('#loop').click();
  });
}

(async () => {
  const browser = await chromium.launch({
    executablePath: process.env.QUORIX_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  const times = { firstResult: [], ready: [], accurateDefaultRows: [], accurateDefaultReleased: [],
    accurateDefaultPainted: [], accurateDefaultCurves: [], accurateLongPainted: [] };
  for (let i = 0; i < runs; ++i) {
    // A new context each time: nothing cached, the files come over loopback.
    const context = await browser.newContext();
    await context.addInitScript(watchStart);
    const page = await context.newPage();
    await page.goto(url);
    await page.waitForSelector('body[data-ready="1"]');
    times.ready.push(await page.evaluate(() => window.quorixReady));
    times.firstResult.push(await page.evaluate(() => window.quorixFirstResult));
    // The service worker copies the site into its cache once the page is
    // ready; a Loop timed during that copy would time the copy too. (A site
    // without one, QUORIX_WEB_SITE's, waits 5 s.)
    await page.evaluate(() => Promise.race([navigator.serviceWorker.ready,
      new Promise((resolve) => setTimeout(resolve, 5000))]));
    await page.check('#accurate');
    const loop = await page.evaluate(timeLoop);
    times.accurateDefaultRows.push(loop.rows);
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
