// Solve on the page against quorix-cli solve: the results' texts and their
// captions, the β field, the query string, the keyboard and narrow screens.
const {
  test, expect, cliOk, caseArgs, expectedSolve, openPage, enterCase, shownResults, runLoop, loopDone, tableRows, RESULT_IDS,
} = require('./helpers');

async function expectResults(page, expected) {
  await expect.poll(() => shownResults(page)).toEqual(expected.texts);
  await expect(page.locator('#message')).toHaveText('');
}

// Typed and Solve clicked, or given by a shared link: the results and the
// two sets' captions (Kcd* and Kda* in Complementary, Kcd and Kda in
// Direct), ξeq in percent beside its fraction. A link of a page that showed
// its Loop (loop=1) runs it; what the address holds that the page does not
// know is said, and the page's own Copy link gives the same page again.
const SOLVE_CASES = [
  { name: 'typed, Solve clicked', c: { fields: { n: '0.5', umax: '3' } } },
  {
    name: 'Direct and accurate, a shared link with its Loop',
    c: { mode: 'direct', accurate: true, fields: { gamma: '0.75', n: '1.25', alpha: '0.02', fy: '40', uy: '0.5', umax: '6' } },
    query: 'gamma=0.75&n=1.25&alpha=0.02&fy=40&uy=0.5&u=6&mode=Direct&accurate=1&from=1&to=3&step=0.5&loop=1&zeta=0.05',
    range: { from: '1', to: '3', step: '0.5' },
    note: 'The address holds what the page does not know, left out: zeta=0.05 (no field of the page).',
  },
];

for (const { name, c, query, range, note } of SOLVE_CASES) {
  test(`Solve: ${name}`, async ({ page, context }) => {
    const expected = expectedSolve(c);
    await openPage(page, query);
    if (query) {
      for (const [id, value] of Object.entries({ ...c.fields, ...range })) await expect(page.locator(`#${id}`), id).toHaveValue(value);
      await expect(page.locator('#mode-direct')).toBeChecked();
      await expect(page.locator('#accurate')).toBeChecked();
    } else {
      await enterCase(page, c);
      await page.click('#solve');
    }
    await expectResults(page, expected);
    for (const id of RESULT_IDS) await expect(page.locator(`#caption-${id}`), id).toHaveText(expected.captions[id]);
    // ξeq in percent: the solver's double times 100, to the digits shown.
    const xi = JSON.parse(cliOk(['solve', '--json', ...caseArgs(c)]).toString()).derived.XiEq;
    const percent = Number(/^(\S+) %$/.exec(await page.locator('#unit-XiEq').textContent())[1]);
    expect(Math.abs(percent - 100 * xi), `ξeq ${xi} in percent`).toBeLessThan(1e-7 * 100);
    await expect(page.locator('#address-message')).toHaveText(note || '');
    if (!range) return;
    const rows = cliOk(['sweep', ...caseArgs(c, { amplitude: false }), '--from', range.from, '--to', range.to, '--step',
      range.step, '--no-progress']).toString().split('\r\n').slice(1).filter((l) => l !== '').map((l) => l.split('\t'));
    await loopDone(page);
    expect(await tableRows(page), 'the link\'s Loop').toEqual(rows);
    await context.grantPermissions(['clipboard-read', 'clipboard-write']);
    await page.click('#copy-link');
    const link = await page.evaluate(() => navigator.clipboard.readText());
    expect(new URL(link).searchParams.get('loop'), link).toBe('1');
    await page.goto(link);
    await expect(page.locator('body')).toHaveAttribute('data-ready', '1', { timeout: 30_000 });
    await expectResults(page, expected);
    expect(await tableRows(page), 'the copied link\'s Loop').toEqual(rows);
    await expect(page.locator('#address-message')).toHaveText('');
  });
}

// β is 1 − γ as the window writes it (quorix-cli format-plain), for the
// last γ typed; the stored "0.1" before that.
test('β follows γ as it is typed', async ({ page }) => {
  await openPage(page);
  await expect(page.locator('#beta')).toHaveValue('0.1');
  expect(await page.locator('#beta').evaluate((e) => e.readOnly)).toBe(true);
  // with its leading zero, which the window's plain text drops
  for (const gamma of ['0.75', '0.123456789012345678', '1e-20']) {
    const beta = cliOk(['format-plain', '--', String(1 - Number(gamma))]).toString().trim().replace(/^\./, '0.');
    await page.fill('#gamma', '');
    await page.locator('#gamma').pressSequentially(gamma);
    await expect(page.locator('#beta'), `γ ${gamma}`).toHaveValue(beta);
  }
});

// Every input has its label and every button a name of its own; every
// field and result its meaning in a legend a tap opens (a tooltip never
// shows on a touch screen).
test('every input has its label, every button its own name, every field and result its meaning', async ({ page }) => {
  await openPage(page);
  for (const id of ['gamma', 'beta', 'n', 'alpha', 'fy', 'uy', 'umax', 'mode-direct', 'mode-complementary', 'accurate',
    'from', 'to', 'step']) {
    await expect(page.locator(`label[for="${id}"]`), id).toHaveCount(1);
  }
  const names = await page.locator('button').evaluateAll((all) => all.map((b) => b.getAttribute('aria-label') || b.textContent));
  expect(names.filter((name, i) => names.indexOf(name) !== i), 'buttons of the same name').toEqual([]);
  for (const [legend, terms] of [
    ['#legend-inputs', ['γ (gamma)', 'β', 'n', 'α (alpha)', 'Fy', 'Uy', 'Umax/Uy', 'Direct, Complementary', 'Accurate']],
    ['#legend-results', ['Za', 'Fha', 'Fela', 'Fa', 'Kcd, Kda', 'Kcd*, Kda*', 'DE/(Fy Uy)', 'DE/(Fh Uy)', 'DE', 'XiEq', 'Ksec',
      'Ksec/K0']],
  ]) {
    await page.click(`${legend} summary`);
    await expect(page.locator(`${legend} dt`)).toHaveText(terms);
    for (const dd of await page.locator(`${legend} dd`).all()) await expect(dd).toBeVisible();
  }
});

// Tab to each field (no mouse), type, then Enter on Solve. Focus may start
// anywhere: Tab forwards, then Shift+Tab back.
async function tabTo(page, id) {
  for (const [key, presses] of [['Tab', 60], ['Shift+Tab', 150]]) {
    for (let i = 0; i < presses; ++i) {
      if (await page.evaluate(() => document.activeElement && document.activeElement.id) === id) return;
      await page.keyboard.press(key);
    }
  }
  throw new Error(`neither Tab nor Shift+Tab reached #${id}`);
}

test('keyboard only: Tab, type, Enter on Solve', async ({ page }) => {
  const c = { fields: { n: '2.5', gamma: '0.6', umax: '1.7' } };
  const expected = expectedSolve(c);
  await openPage(page);
  for (const [id, value] of Object.entries(c.fields)) {
    await tabTo(page, id);
    await page.keyboard.press('ControlOrMeta+A');
    await page.keyboard.type(value);
  }
  await tabTo(page, 'solve');
  await page.keyboard.press('Enter');
  await expectResults(page, expected);
});

// A phone, and a 1280 × 900 window at 200 % zoom (half the CSS pixels):
// nothing scrolls sideways, every control lies within the screen's width.
const SCREENS = [
  { name: 'a 375 px phone', viewport: { width: 375, height: 740 }, scale: 2 },
  { name: '200 % zoom', viewport: { width: 640, height: 450 }, scale: 2 },
];

for (const { name, viewport, scale } of SCREENS) {
  test.describe(name, () => {
    test.use({ viewport, deviceScaleFactor: scale });
    test(`on ${name} the page does not scroll sideways`, async ({ page }) => {
      // Results marked with their exact values, and a sweep's table: the widest the page shows.
      await openPage(page, 'gamma=0.1&n=1&u=1e-6');
      await expect(page.locator('#exact-XiEq')).not.toHaveText('');
      const widths = () => page.evaluate(() => ({
        scroll: document.documentElement.scrollWidth, client: document.documentElement.clientWidth,
        outside: Array.from(document.querySelectorAll('button, input, label, .button, .results td'))
          .filter((e) => e.getBoundingClientRect().right > document.documentElement.clientWidth + 0.5)
          .map((e) => e.id || e.textContent),
      }));
      let w = await widths();
      expect(w.scroll, 'after loading').toBeLessThanOrEqual(w.client);
      expect(w.outside, 'controls beyond the right edge').toEqual([]);
      await runLoop(page);
      await expect(page.locator('#sweep-table tr:has(td)')).toHaveCount(100);
      w = await widths();
      expect(w.scroll, 'with a sweep table').toBeLessThanOrEqual(w.client);
      // Solve from the top of the page: the results, below the case in one
      // column, come into view.
      await page.evaluate(() => window.scrollTo(0, 0));
      await page.fill('#umax', '2');
      await page.click('#solve');
      await expect(page.locator('#results-heading')).toBeInViewport();
      await expect(page.locator('#result-DE')).toBeInViewport();
    });
  });
}
