// Solve on the page against quorix-cli solve: a shared link's case, its
// results and captions, its Loop and Copy link; results flagged as
// differing from their exact values, on a phone's screen. (β follows γ
// into every request: each result checked here checks it.)
const {
  test, expect, cliOk, caseArgs, sweepArgs, expectedSolve, openPage, shownResults, runLoop, loopDone, tableRows, RESULT_IDS,
} = require('./helpers');

async function expectResults(page, expected) {
  await expect.poll(() => shownResults(page)).toEqual(expected.texts);
  await expect(page.locator('#message')).toHaveText('');
}

// A link of a page that showed its Loop (loop=1) fills every field, solves
// and runs the Loop; what the address holds that the page does not know is
// said, and the page's own Copy link gives the same page again. Direct: Kcd
// and Kda without their star; ξeq in percent beside its fraction.
test('Solve: Direct and accurate, a shared link with its Loop', async ({ page, context }) => {
  const c = { mode: 'direct', accurate: true, fields: { gamma: '0.75', n: '1.25', alpha: '0.02', fy: '40', uy: '0.5', umax: '6' } };
  const range = { from: '1', to: '3', step: '0.5' };
  const expected = expectedSolve(c);
  await openPage(page, 'gamma=0.75&n=1.25&alpha=0.02&fy=40&uy=0.5&u=6&mode=Direct&accurate=1&from=1&to=3&step=0.5&loop=1&zeta=0.05');
  for (const [id, value] of Object.entries({ ...c.fields, ...range })) await expect(page.locator(`#${id}`), id).toHaveValue(value);
  await expect(page.locator('#accurate')).toBeChecked();
  await expectResults(page, expected);
  for (const id of RESULT_IDS) await expect(page.locator(`#caption-${id}`), id).toHaveText(expected.captions[id]);
  const xi = JSON.parse(cliOk(['solve', '--json', ...caseArgs(c)]).toString()).derived.XiEq;
  const percent = Number(/^(\S+) %$/.exec(await page.locator('#unit-XiEq').textContent())[1]);
  expect(Math.abs(percent - 100 * xi), `ξeq ${xi} in percent`).toBeLessThan(1e-7 * 100);
  await expect(page.locator('#address-message'))
    .toHaveText('The address holds what the page does not know, left out: zeta=0.05 (no field of the page).');
  const rows = cliOk([...sweepArgs(c, range), '--no-progress']).toString().split('\r\n').slice(1).filter((l) => l !== '')
    .map((l) => l.split('\t'));
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

// At Umax/Uy = 1e-6 the energy's formulas cancel: XiEq's exact value is
// 1.9e-8, where the specified arithmetic gives −0.2068. Flagged results show
// their exact values (in words too, for a screen reader), the others
// nothing, and a Loop counts its flagged rows. On a 375 px phone, with these
// marks and a sweep's table, the widest the page shows, nothing scrolls
// sideways, and Solve from the top of the page brings the results, below
// the case in one column, into view.
test.describe('a 375 px phone', () => {
  test.use({ viewport: { width: 375, height: 740 }, deviceScaleFactor: 2 });
  test('flagged results show their exact values, a Loop counts its flagged rows; nothing scrolls sideways', async ({ page }) => {
    const answer = JSON.parse(cliOk(['solve', '--json', ...caseArgs({ fields: { n: '1', gamma: '0.1', umax: '1e-6' } })]));
    expect(answer.flagged).toContain('XiEq');
    const range = { from: '0.000001', to: '0.00001', step: '0.000001' };
    const flaggedRows = cliOk([...sweepArgs({ fields: { n: '1', gamma: '0.1' } }, range), '--jsonl']).toString().split('\n')
      .filter((l) => l !== '').map((l) => JSON.parse(l)).filter((r) => (r.flagged || []).length > 0);
    expect(flaggedRows.length).toBeGreaterThan(1);
    await openPage(page, 'gamma=0.1&n=1&u=1e-6');
    for (const id of RESULT_IDS) {
      const flagged = answer.flagged.includes(id);
      await expect(page.locator(`#exact-${id}`), id).toHaveText(flagged ? `⚠ differs from the exact value; exact: ${answer.exact_texts[id]}` : '');
      await expect(page.locator(`#result-${id}`), id).toHaveClass(flagged ? /\bflagged\b/ : /^(?!.*\bflagged\b)/);
      if (flagged) await expect(page.locator(`#result-${id}`), id).toHaveAccessibleDescription(/differs from the exact value; exact: /);
    }
    await expect(page.locator('#results-flags'))
      .toHaveText(new RegExp(`^${answer.flagged.length} results differ from the exact value by more than 1e-4 `));
    await runLoop(page, range);
    await expect(page.locator('#sweep-flags')).toContainText(`${flaggedRows.length} rows differ from the exact values by more ` +
      `than 1e-4 (relative) or in sign; first at Umax/Uy = ${flaggedRows[0].UmaxOverUy} (`);
    expect(await page.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth))
      .toBeLessThanOrEqual(0);
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.fill('#umax', '2');
    await page.click('#solve');
    await expect(page.locator('#results-heading')).toBeInViewport();
    await expect(page.locator('#result-DE')).toBeInViewport();
  });
});

// Every input has its label and every button a name of its own.
test('every input has its label, every button its own name', async ({ page }) => {
  await openPage(page);
  for (const id of ['gamma', 'beta', 'n', 'alpha', 'fy', 'uy', 'umax', 'mode-direct', 'mode-complementary', 'accurate',
    'from', 'to', 'step']) {
    await expect(page.locator(`label[for="${id}"]`), id).toHaveCount(1);
  }
  const names = await page.locator('button').evaluateAll((all) => all.map((b) => b.getAttribute('aria-label') || b.textContent));
  expect(names.filter((name, i) => names.indexOf(name) !== i), 'buttons of the same name').toEqual([]);
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
