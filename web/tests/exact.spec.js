// Results that differ from the exact values, marked with them, and the Loop's
// curves from the engine's doubles (sweep --jsonl), not the table's texts.
const { test, expect, cliOk, caseArgs, openPage, enterCase, runLoop, plotOf, RESULT_IDS } = require('./helpers');

// quorix-cli sweep --jsonl's rows for a case and range.
function jsonRows(c, range) {
  const args = ['sweep', '--jsonl', ...caseArgs(c, { amplitude: false }), '--from', range.from, '--to', range.to,
    '--step', range.step];
  return cliOk(args).toString().split('\n').filter((l) => l !== '').map((l) => JSON.parse(l));
}

// At Umax/Uy = 1e-6 the energy's formulas cancel: XiEq's exact value is
// 1.9e-8, where the specified arithmetic gives −0.2068.
const TINY = { fields: { n: '1', gamma: '0.1', umax: '1e-6' } };

test('flagged results show their exact values, the others nothing; a Loop counts its flagged rows', async ({ page }) => {
  const answer = JSON.parse(cliOk(['solve', '--json', ...caseArgs(TINY)]).toString());
  expect(answer.flagged).toContain('XiEq');
  const range = { from: '0.000001', to: '0.00001', step: '0.000001' };
  const flaggedRows = jsonRows(TINY, range).filter((r) => (r.flagged || []).length > 0);
  expect(flaggedRows.length).toBeGreaterThan(1);
  await openPage(page);
  await enterCase(page, TINY);
  await expect(page.locator('#exact-XiEq')).toHaveText('⚠ differs from the exact value; exact: 0.000000019');
  for (const id of RESULT_IDS) {
    const flagged = answer.flagged.includes(id);
    await expect(page.locator(`#exact-${id}`), id).toHaveText(flagged ? `⚠ differs from the exact value; exact: ${answer.exact_texts[id]}` : '');
    await expect(page.locator(`#result-${id}`), id).toHaveClass(flagged ? /\bflagged\b/ : /^(?!.*\bflagged\b)/);
    // Said in words too, for a screen reader, beside the result.
    if (flagged) await expect(page.locator(`#result-${id}`), id).toHaveAccessibleDescription(/differs from the exact value; exact: /);
  }
  await expect(page.locator('#results-flags'))
    .toHaveText(new RegExp(`^${answer.flagged.length} results differ from the exact value by more than 1e-4 `));
  await runLoop(page, range);
  await expect(page.locator('#sweep-flags')).toContainText(
    `${flaggedRows.length} rows differ from the exact values by more than 1e-4 (relative) or in sign; first at Umax/Uy = ${flaggedRows[0].UmaxOverUy} (`);
});

// 500 rows 0.001 apart, where curves drawn from the table's texts (two and
// nine decimals) were staircases; DE, Za and ξeq all grow here.
test('a fine Loop\'s curves are the engine\'s doubles: no staircase', async ({ page }) => {
  const range = { from: '0.001', to: '0.5', step: '0.001' };
  const rows = jsonRows({}, range);
  expect(rows).toHaveLength(500);
  await openPage(page);
  await runLoop(page, range);
  for (const [plot, key] of [['plot-de', 'DE'], ['plot-za', 'Za'], ['plot-xieq', 'XiEq']]) {
    await expect.poll(async () => (await plotOf(page, plot)).data.length, plot).toBe(500);
    const { data, subtext } = await plotOf(page, plot);
    expect(subtext, `${plot} names its case`).toContain('Umax/Uy from 0.001 to 0.5 step 0.001');
    const staircase = data.findIndex((p, i) => i > 0 && !(p[0] > data[i - 1][0] && p[1] > data[i - 1][1]));
    expect(staircase, `${plot}: the first point that does not rise`).toBe(-1);
    // The engine's doubles, to the last places WebAssembly's pow may change.
    data.forEach(([u, value], i) => {
      expect(u, `${plot} row ${i}`).toBe(rows[i].UmaxOverUy);
      expect(Math.abs(value - rows[i][key]), `${plot} row ${i}`).toBeLessThanOrEqual(1e-12 * Math.abs(rows[i][key]));
    });
  }
});
