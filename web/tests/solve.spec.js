// Solve on the page against quorix-cli solve: the results' texts, their
// captions, refusals, the β field, the query string and the keyboard.
const {
  test, expect, cli, cliOk, caseArgs, expectedSolve, openPage, enterCase, shownResults, RESULT_IDS,
} = require('./helpers');

const SOLVE_CASES = [
  { name: 'the default case', c: {} },
  { name: 'Direct beyond saturation', c: { mode: 'direct', fields: { umax: '3' } } },
  // n = 0 was here; it lies outside the model's domain (n > 0), which the
  // page now refuses (strict.spec.js): the smallest exponent is taken instead.
  { name: 'n = 0.05', c: { fields: { n: '0.05', umax: '0.5' } } },
  { name: 'saturated, Umax/Uy = 50', c: { fields: { umax: '50' } } },
  { name: 'accurate', c: { accurate: true, fields: { n: '1.5', gamma: '0.5', umax: '2' } } },
  {
    name: 'Direct and accurate, every field changed',
    c: { mode: 'direct', accurate: true, fields: { n: '3', gamma: '0.25', alpha: '0', fy: '100', uy: '0.02', umax: '0.3' } },
  },
];

async function expectResults(page, expected) {
  await expect.poll(() => shownResults(page)).toEqual(expected.texts);
  await expect(page.locator('#message')).toHaveText('');
}

// The captions as quorix-cli solve prints them, where the page shows them
// (Kcd* and Kda* in Complementary, Kcd and Kda in Direct).
async function expectCaptions(page, expected) {
  for (const id of RESULT_IDS) {
    const caption = expected.captions[id];
    await expect(page.getByText(caption, { exact: true }).filter({ visible: true }), caption).not.toHaveCount(0);
  }
  const other = expected.captions.Kcd === 'Kcd :' ? ['Kcd* :', 'Kda* :'] : ['Kcd :', 'Kda :'];
  for (const caption of other) {
    await expect(page.getByText(caption, { exact: true }).filter({ visible: true }), caption).toHaveCount(0);
  }
}

test('the first Solve shows the default case', async ({ page }) => {
  await openPage(page);
  await expectResults(page, expectedSolve({}));
  await expect(page.locator('#mode-complementary')).toBeChecked();
  await expect(page.locator('#accurate')).not.toBeChecked();
});

for (const { name, c } of SOLVE_CASES) {
  test(`Solve: ${name}`, async ({ page }) => {
    const expected = expectedSolve(c);
    await openPage(page);
    await enterCase(page, c);
    await page.click('#solve');
    await expectResults(page, expected);
    await expectCaptions(page, expected);
  });
}

// Fields that quorix-cli refuses: the page says why and clears the results
// (it kept the last case's before, under fields they no longer belonged to).
const REFUSED = [
  { name: 'Fy beyond the range of a double', fields: { fy: '1e400' } },
  { name: 'Umax/Uy beyond the range of a double', fields: { umax: '1e400' } },
  { name: 'γ below the range of a double', fields: { gamma: '-1e400' } },
];

for (const { name, fields } of REFUSED) {
  test(`refused: ${name}`, async ({ page }) => {
    const refused = cli(['solve', ...caseArgs({ fields })]);
    expect(refused.status, `quorix-cli solve refuses ${JSON.stringify(fields)}`).not.toBe(0);
    const before = { fields: { umax: '2' } };
    const expected = expectedSolve(before);
    await openPage(page);
    await enterCase(page, before);
    await page.click('#solve');
    await expectResults(page, expected);

    await enterCase(page, { fields });
    await page.click('#solve');
    await expect(page.locator('#message')).toHaveText(/^Nothing computed: \S/);
    await expect.poll(() => shownResults(page)).toEqual(Object.fromEntries(RESULT_IDS.map((id) => [id, ''])));
  });
}

// β is 1 − γ as the window writes it (quorix-cli format-plain: 15 digits,
// no leading zero), once γ has been typed; the stored "0.1" before that.
const BETA_GAMMAS = ['0.9', '0.25', '0.3', '1', '0', '0.123456789012345678', '-2.5', '1e-20'];

test('β follows γ as it is typed', async ({ page }) => {
  await openPage(page);
  await expect(page.locator('#beta')).toHaveValue('0.1');
  expect(await page.locator('#beta').evaluate((e) => e.readOnly)).toBe(true);
  for (const gamma of BETA_GAMMAS) {
    const beta = cliOk(['format-plain', '--', String(1 - Number(gamma))]).toString().trim();
    await page.fill('#gamma', '');
    await page.locator('#gamma').pressSequentially(gamma);
    await expect(page.locator('#beta'), `γ ${gamma}`).toHaveValue(beta);
  }
});

test('every input has its label', async ({ page }) => {
  await openPage(page);
  for (const id of ['gamma', 'beta', 'n', 'alpha', 'fy', 'uy', 'umax', 'mode-direct', 'mode-complementary', 'accurate',
    'from', 'to', 'step']) {
    await expect(page.locator(`label[for="${id}"]`), id).toHaveCount(1);
  }
});

const QUERIES = [
  {
    query: 'gamma=0.5&n=3&alpha=0.1&fy=2.86&uy=0.111&u=1&mode=direct&accurate=1',
    c: { mode: 'direct', accurate: true, fields: { gamma: '0.5', n: '3', alpha: '0.1', fy: '2.86', uy: '0.111', umax: '1' } },
  },
  {
    query: 'gamma=0.75&n=1.25&alpha=0.02&fy=40&uy=0.5&u=6&mode=complementary&from=1&to=3&step=0.5',
    c: { fields: { gamma: '0.75', n: '1.25', alpha: '0.02', fy: '40', uy: '0.5', umax: '6' } },
    range: { from: '1', to: '3', step: '0.5' },
  },
];

for (const { query, c, range } of QUERIES) {
  test(`the query string ?${query}`, async ({ page }) => {
    const expected = expectedSolve(c);
    await openPage(page, query);
    for (const [id, value] of Object.entries(c.fields)) await expect(page.locator(`#${id}`), id).toHaveValue(value);
    for (const [id, value] of Object.entries(range || {})) await expect(page.locator(`#${id}`), id).toHaveValue(value);
    await expect(page.locator(c.mode === 'direct' ? '#mode-direct' : '#mode-complementary')).toBeChecked();
    await expect(page.locator('#accurate')).toBeChecked({ checked: Boolean(c.accurate) });
    await expectResults(page, expected);
  });
}

// Tab to each field (no mouse), type, then Enter or Space on Solve. Focus
// may start anywhere (on Solve, say): Tab forwards, then Shift+Tab back.
async function tabTo(page, id) {
  for (const [key, presses] of [['Tab', 60], ['Shift+Tab', 150]]) {
    for (let i = 0; i < presses; ++i) {
      if (await page.evaluate(() => document.activeElement && document.activeElement.id) === id) return;
      await page.keyboard.press(key);
    }
  }
  throw new Error(`neither Tab nor Shift+Tab reached #${id}`);
}

for (const key of ['Enter', 'Space']) {
  test(`keyboard only: Tab, type, ${key} on Solve`, async ({ page }) => {
    const c = { fields: { n: '2.5', gamma: '0.6', umax: '1.7' } };
    const expected = expectedSolve(c);
    await openPage(page);
    for (const [id, value] of Object.entries(c.fields)) {
      await tabTo(page, id);
      await page.keyboard.press('ControlOrMeta+A');
      await page.keyboard.type(value);
    }
    await tabTo(page, 'solve');
    await page.keyboard.press(key);
    await expectResults(page, expected);
  });
}

// A phone's screen, and a 1280 × 900 window at 200 % zoom (the browser's
// zoom halves the CSS pixels): nothing scrolls sideways, and every control
// lies within the screen's width.
const SCREENS = [
  { name: 'a 375 px phone', viewport: { width: 375, height: 740 }, scale: 2 },
  { name: '200 % zoom', viewport: { width: 640, height: 450 }, scale: 2 },
];

for (const { name, viewport, scale } of SCREENS) {
  test.describe(name, () => {
    test.use({ viewport, deviceScaleFactor: scale });
    test(`on ${name} the page does not scroll sideways`, async ({ page }) => {
      // A case with results marked with their exact values, the widest
      // results the page shows.
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
      // The results table of a sweep is the widest thing the page shows.
      await page.click('#loop');
      await expect(page.locator('#sweep-table tr:has(td)')).toHaveCount(100);
      w = await widths();
      expect(w.scroll, 'with a sweep table').toBeLessThanOrEqual(w.client);
    });
  });
}
