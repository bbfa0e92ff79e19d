// A refusal reaches its field (marked, its message beside it) and no result
// stays under fields it was not computed from. One case of each rule here.
const {
  test, expect, cli, caseArgs, expectedSolve, openPage, shownResults, runLoop, tableRows, plotOf, RESULT_IDS, DEFAULT_FIELDS,
} = require('./helpers');

const notANumber = (label, text) => `${label}: "${text}" is not a number (the decimal point is '.')`;

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
test('umax "2,5": marked, nothing computed, unmarked once mended', async ({ page }) => {
  const expected = notANumber('Umax/Uy', '2,5');
  expect(cli(['solve', ...caseArgs({ fields: { umax: '2,5' } })]).status, 'quorix-cli refuses it too').toBe(2);
  const defaults = expectedSolve({}).texts;
  await openPage(page);
  await expect.poll(() => shownResults(page)).toEqual(defaults);
  await page.fill('#umax', '2,5');
  await expectMarked(page, 'umax', expected);
  await expect.poll(() => shownResults(page)).toEqual(Object.fromEntries(RESULT_IDS.map((r) => [r, ''])));
  await expect(page.locator('#materials li')).toHaveCount(0);
  await expect.poll(async () => (await plotOf(page, 'plot-loop')).title).toBe(`No loop: ${expected}`);
  await expect(page.locator('#message')).toHaveText(`Nothing computed: ${expected}`);
  await expect(page.locator('#message')).toHaveClass(/\berror\b/);
  await page.fill('#umax', DEFAULT_FIELDS.umax);
  await expectUnmarked(page, 'umax');
  await expect.poll(() => shownResults(page)).toEqual(defaults);
  await expect(page.locator('#message')).toHaveText('');
  // The loop's plot names the case it was drawn for.
  await expect.poll(() => plotOf(page, 'plot-loop')).toMatchObject({ title: 'Hysteresis loop at Umax/Uy = 1',
    subtext: 'γ 0.9, n 2.0, α 0.10, Fy 2.86, Uy 0.111; Complementary, the specified arithmetic' });
});

// Ranges quorix-cli refuses (a field's text, a million rows) and the page
// alone (a negative last amplitude): the field marked where there is one, no
// progress count, the last table and curves kept, greyed until the range is
// the table's again.
test('refused Loop ranges keep the last table and curves, greyed', async ({ page }) => {
  await openPage(page);
  await runLoop(page);
  await expect.poll(async () => (await plotOf(page, 'plot-de')).data.length).toBe(100);
  const [table, curve] = [await tableRows(page), await plotOf(page, 'plot-de')];
  for (const { id, range, message } of [
    { id: 'from', range: { from: '0,1' }, message: notANumber('From', '0,1') },
    { id: 'to', range: { from: '1', to: '-0.4', step: '-0.5' },
      message: "To: the last row's Umax/Uy must not be negative: -0.5 (outside the model's domain)" },
    { range: { to: '5000', step: '0.001' }, message: 'sweep of more than 1000000 rows refused' },
  ]) {
    await runLoop(page, range);
    if (id) await expectMarked(page, id, message);
    await expect(page.locator('#sweep-message'), message).toHaveText(message);
    await expect(page.locator('#sweep-message')).toHaveClass(/\berror\b/);
    await expect(page.locator('#progress-text')).toHaveText('');
    expect(await tableRows(page), 'the last table').toEqual(table);
    // (after the frames in which a Loop's curves are drawn)
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(resolve, 100)))));
    expect(await plotOf(page, 'plot-de'), 'the last curve').toEqual(curve);
    await expect(page.locator('#sweep-output')).toHaveClass(/\bstale\b/);
    for (const [field, value] of Object.entries({ from: '0.1', to: '10.0', step: '0.1' })) await page.fill(`#${field}`, value);
    if (id) await expectUnmarked(page, id);
    await expect(page.locator('#sweep-output')).not.toHaveClass(/\bstale\b/);
  }
});

test('switching Complementary to Direct greys the results at once and solves again', async ({ page }) => {
  const complementary = expectedSolve({});
  const direct = expectedSolve({ mode: 'direct' });
  await openPage(page);
  await runLoop(page);
  // Greyed in the same task as the switch, before the Solve of the new case.
  const stale = await page.evaluate(() => {
    document.getElementById('mode-direct').click();
    return document.getElementById('results-table').classList.contains('stale');
  });
  expect(stale, 'greyed at once').toBe(true);
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
  await expect(page.locator('#caption-Kcd')).toHaveText('Kcd* :');
});
