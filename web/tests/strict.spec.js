// A refusal reaches its field (marked, its message beside it) and no result
// stays under fields it was not computed from. One case of each rule here.
const {
  test, expect, cli, caseArgs, expectedSolve, openPage, shownResults, runLoop, tableRows, plotOf, RESULT_IDS,
  DEFAULT_FIELDS,
} = require('./helpers');

const notANumber = (label, text) => `${label}: "${text}" is not a number (the decimal point is '.')`;
// The reason quorix-cli gives with --json (no hint about its own options).
const cliReason = (id, text) => JSON.parse(cli(['solve', '--json', ...caseArgs({ fields: { [id]: text } })]).stdout)
  .refusal.reason;

async function expectMarked(page, id, message) {
  await expect(page.locator(`#error-${id}`)).toHaveText(message);
  await expect(page.locator(`#error-${id}`)).toBeVisible();
  await expect(page.locator(`#${id}`)).toHaveAttribute('aria-invalid', 'true');
  expect(await page.locator(`#${id}`).getAttribute('aria-describedby')).toContain(`error-${id}`);
}

async function expectUnmarked(page, id) {
  await expect(page.locator(`#error-${id}`)).toBeHidden();
  await expect(page.locator(`#${id}`)).not.toHaveAttribute('aria-invalid', 'true');
}

// The window's lenient reading took "2,5" for 2; the command line's hint
// about --as-typed is not the page's to give.
const REFUSED = [
  { id: 'umax', text: '2,5', message: () => notANumber('Umax/Uy', '2,5') },
  { id: 'alpha', text: '1', message: () => `α: ${cliReason('alpha', '1')}` },
];

for (const { id, text, message } of REFUSED) {
  test(`${id} "${text}": marked, nothing computed, unmarked once mended`, async ({ page }) => {
    expect(cli(['solve', ...caseArgs({ fields: { [id]: text } })]).status, 'quorix-cli refuses it too').toBe(2);
    const expected = message();
    const defaults = expectedSolve({}).texts;
    await openPage(page);
    await expect.poll(() => shownResults(page)).toEqual(defaults);
    await page.fill(`#${id}`, text);
    await expectMarked(page, id, expected);
    await expect.poll(() => shownResults(page)).toEqual(Object.fromEntries(RESULT_IDS.map((r) => [r, ''])));
    await expect(page.locator('#materials li')).toHaveCount(0);
    await expect.poll(async () => (await plotOf(page, 'plot-loop')).title).toBe(`No loop: ${expected}`);
    await expect(page.locator('#message')).toHaveText(`Nothing computed: ${expected}`);
    await expect(page.locator('#message')).toHaveClass(/\berror\b/);
    await page.fill(`#${id}`, DEFAULT_FIELDS[id]);
    await expectUnmarked(page, id);
    await expect.poll(() => shownResults(page)).toEqual(defaults);
    await expect(page.locator('#message')).toHaveText('');
  });
}

// Ranges quorix-cli refuses, and the page alone (a negative last amplitude,
// a million rows): no progress count, the last table and curves kept, greyed.
const RANGES = [
  { id: 'from', range: { from: '0,1' }, message: notANumber('From', '0,1') },
  {
    id: 'to',
    range: { from: '1', to: '-0.4', step: '-0.5' },
    message: "To: the last row's Umax/Uy must not be negative: -0.5 (outside the model's domain)",
  },
  { range: { step: '0' }, message: 'step count: (To - From) / Step is not a finite number' },
  // No row at all: the reason, not an empty table.
  {
    id: 'to',
    range: { from: '5', to: '1' },
    message: 'To: 1 is below From 5: the range holds no amplitude (Step is positive, the rows run upwards from From)',
  },
  { range: { to: '5000', step: '0.001' }, message: 'sweep of more than 1000000 rows refused' },
];

for (const { id, range, message } of RANGES) {
  test(`refused Loop range ${JSON.stringify(range)}`, async ({ page }) => {
    await openPage(page);
    await runLoop(page);
    await expect.poll(async () => (await plotOf(page, 'plot-de')).data.length).toBe(100);
    const [table, curve] = [await tableRows(page), await plotOf(page, 'plot-de')];
    await runLoop(page, range);
    if (id) await expectMarked(page, id, message);
    await expect(page.locator('#sweep-message')).toHaveText(message);
    await expect(page.locator('#sweep-message')).toHaveClass(/\berror\b/);
    await expect(page.locator('#progress-text')).toHaveText('');
    expect(await tableRows(page), 'the last table').toEqual(table);
    // (after the frames in which a Loop's curves are drawn)
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(resolve, 100)))));
    expect(await plotOf(page, 'plot-de'), 'the last curve').toEqual(curve);
    await expect(page.locator('#sweep-output')).toHaveClass(/\bstale\b/);
    if (id) await page.fill(`#${id}`, '0.5');
    if (id) await expectUnmarked(page, id);
  });
}

test('switching Complementary to Direct solves again; no value stands under the other set\'s caption', async ({ page }) => {
  const complementary = expectedSolve({});
  const direct = expectedSolve({ mode: 'direct' });
  expect(direct.texts.Kcd, 'the two sets differ here').not.toBe(complementary.texts.Kcd);
  await openPage(page);
  await runLoop(page);
  await page.check('#mode-direct');
  // What a user sees in the same task as the switch.
  const at = await page.evaluate(() => ({
    caption: document.getElementById('caption-Kcd').textContent,
    text: document.getElementById('result-Kcd').textContent,
    stale: document.getElementById('results-table').classList.contains('stale'),
  }));
  const mislabelled = at.caption === 'Kcd :' && at.text === complementary.texts.Kcd && !at.stale;
  expect(mislabelled, `right after the switch: ${JSON.stringify(at)}`).toBe(false);
  await expect.poll(() => shownResults(page)).toEqual(direct.texts);
  await expect(page.locator('#caption-Kcd')).toHaveText('Kcd :');
  await expect(page.locator('#results-table')).not.toHaveClass(/\bstale\b/);
  // The Loop was made in Complementary: greyed, and says so.
  await expect(page.locator('#sweep-output')).toHaveClass(/\bstale\b/);
  await expect(page.locator('#sweep-stale')).not.toHaveText('');
  await expect(page.locator('#sweep-case')).toContainText('Complementary');
  await page.check('#mode-complementary');
  await expect(page.locator('#sweep-output')).not.toHaveClass(/\bstale\b/);
  await expect(page.locator('#sweep-stale')).toHaveText('');
  await expect.poll(() => shownResults(page)).toEqual(complementary.texts);
});

// A field typed into greys the results at once and solves after the
// pause; the loop's plot names the case it was drawn for.
test('a change of Umax/Uy solves again, greyed until then', async ({ page }) => {
  const expected = expectedSolve({ fields: { umax: '3' } });
  await openPage(page);
  const stale = await page.evaluate(() => {
    document.getElementById('umax').value = '3';
    document.getElementById('umax').dispatchEvent(new Event('input', { bubbles: true }));
    return document.getElementById('results-table').classList.contains('stale');
  });
  expect(stale, 'greyed at once').toBe(true);
  await expect.poll(() => shownResults(page)).toEqual(expected.texts);
  await expect(page.locator('#results-table')).not.toHaveClass(/\bstale\b/);
  await expect.poll(async () => (await plotOf(page, 'plot-loop')).title).toBe('Hysteresis loop at Umax/Uy = 3');
  expect((await plotOf(page, 'plot-loop')).subtext)
    .toBe('γ 0.9, n 2.0, α 0.10, Fy 2.86, Uy 0.111; Complementary, the specified arithmetic');
});
