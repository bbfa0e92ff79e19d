// The results that differ from the exact values, marked with them, and the
// Loop's curves drawn from the engine's doubles (quorix-cli sweep --jsonl),
// not from the table's rounded texts.
const {
  test, expect, cliOk, caseArgs, openPage, enterCase, plotOf, RESULT_IDS,
} = require('./helpers');

// quorix-cli sweep --jsonl's rows for a case and range.
function jsonRows(c, range) {
  const args = ['sweep', '--jsonl', ...caseArgs(c, { amplitude: false }), '--from', range.from, '--to', range.to,
    '--step', range.step];
  return cliOk(args).toString().split('\n').filter((l) => l !== '').map((l) => JSON.parse(l));
}

async function loopDone(page) {
  await expect(page.locator('#loop')).toBeEnabled();
  await expect(page.locator('#sweep-table')).not.toHaveAttribute('aria-busy', 'true');
}

async function runLoop(page, range) {
  for (const [id, value] of Object.entries(range)) await page.fill(`#${id}`, value);
  await page.click('#loop');
  await loopDone(page);
}

const TINY = { n: '1', gamma: '0.1', umax: '1e-6' };
const SOLVED = [
  { name: 'a tiny amplitude, where the energy\'s formulas cancel', c: { fields: TINY } },
  { name: 'the default case: nothing flagged', c: {} },
  { name: 'the same tiny amplitude, accurate: nothing flagged', c: { fields: TINY, accurate: true } },
];

for (const { name, c } of SOLVED) {
  test(`flagged results: ${name}`, async ({ page }) => {
    const answer = JSON.parse(cliOk(['solve', '--json', ...caseArgs(c)]).toString());
    const flagged = answer.flagged || [];
    await openPage(page);
    await enterCase(page, c);
    await page.click('#solve');
    await expect(page.locator('#result-Za')).toHaveText(answer.texts.Za);
    for (const id of RESULT_IDS) {
      const mark = page.locator(`#exact-${id}`);
      if (flagged.includes(id)) {
        await expect(mark, id).toContainText(`exact: ${answer.exact_texts[id]}`);
        await expect(mark, id).toContainText('⚠');
        // Said in words too, for a screen reader, beside the result.
        await expect(page.locator(`#result-${id}`), id).toHaveAccessibleDescription(/differs from the exact value; exact: /);
        await expect(page.locator(`#result-${id}`), id).toHaveClass(/\bflagged\b/);
      } else {
        await expect(mark, id).toHaveText('');
        await expect(page.locator(`#result-${id}`), id).not.toHaveClass(/\bflagged\b/);
      }
    }
    const count = flagged.length;
    await expect(page.locator('#results-flags')).toHaveText(
      count === 0 ? '' : new RegExp(`^${count} results? differs? from the exact value by more than 1e-4 `));
  });
}

// XiEq's exact value at Umax/Uy = 1e-6 is 1.9e-8; the specified arithmetic
// gives −0.2068.
test('the flagged XiEq shows its exact value', async ({ page }) => {
  await openPage(page);
  await enterCase(page, { fields: TINY });
  await expect(page.locator('#result-XiEq')).toHaveText('-0.206818314');
  await expect(page.locator('#exact-XiEq')).toHaveText('⚠ differs from the exact value; exact: 0.000000019');
});

const LOOPS = [
  { name: 'tiny amplitudes: every row flagged', c: { fields: TINY }, range: { from: '0.000001', to: '0.00001', step: '0.000001' } },
  { name: 'the default Loop: none', c: {}, range: { from: '0.1', to: '10.0', step: '0.1' } },
];

for (const { name, c, range } of LOOPS) {
  test(`flagged rows of a Loop: ${name}`, async ({ page }) => {
    const rows = jsonRows(c, range);
    const flagged = rows.filter((r) => (r.flagged || []).length > 0);
    await openPage(page);
    await enterCase(page, c);
    await runLoop(page, range);
    const note = page.locator('#sweep-flags');
    if (flagged.length === 0) {
      await expect(note).toHaveText('');
      return;
    }
    await expect(note).toContainText(`${flagged.length} rows differ from the exact values by more than 1e-4`);
    await expect(note).toContainText(`first at Umax/Uy = ${flagged[0].UmaxOverUy} (`);
  });
}

// A fine Loop, 500 rows 0.001 apart: the table writes Umax/Uy with two
// decimals and DE with nine, so curves drawn from its texts were
// staircases. The model's DE, Za and ξeq all grow with the amplitude here.
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
