// Loop on the page against quorix-cli sweep -o: results.out byte for byte,
// the table's rows, the curves, the plots' downloads, a long sweep's
// progress and Stop.
// (Refused ranges: strict.spec.js.)
const fs = require('node:fs');
const { test, expect, cliOk, sweepArgs, expectedSolve, tempFile, openPage, enterCase, loopDone, runLoop, tableRows,
  download, plotOf, shownResults } = require('./helpers');

const RANGE_DEFAULTS = { from: '0.1', to: '10.0', step: '0.1' };

function expectedSweep(c, range) {
  const file = tempFile('results.out');
  cliOk([...sweepArgs(c, { ...RANGE_DEFAULTS, ...range }), '--no-progress', '-o', file]);
  return fs.readFileSync(file);
}

const PNG_SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
const fileRows = (bytes) => bytes.toString().split('\r\n').slice(1).filter((l) => l !== '').map((l) => l.split('\t'));

// The curves are drawn from the engine's doubles (sweep --jsonl), not from
// the table's texts, whose two and nine decimals made staircases of a fine
// Loop's curves; each plot downloads as PNG and SVG.
test('Loop: the table and results.out are quorix-cli sweep -o\'s, the curves its doubles', async ({ page }) => {
  const c = { mode: 'direct', accurate: true, fields: { gamma: '0.5', n: '1.5' } };
  const range = { from: '0.5', to: '20', step: '0.5' };
  const expected = expectedSweep(c, range);
  const rows = cliOk([...sweepArgs(c, range), '--jsonl']).toString().split('\n').filter((l) => l !== '')
    .map((l) => JSON.parse(l));
  await openPage(page);
  await enterCase(page, c);
  await runLoop(page, range);
  expect(await tableRows(page)).toEqual(fileRows(expected));
  const out = await download(page, '#download');
  expect(out.name).toBe('results.out');
  expect(out.bytes.toString('latin1'), 'results.out as quorix-cli sweep -o writes it').toBe(expected.toString('latin1'));
  await expect(page.locator('#sweep-message')).toHaveText('');
  for (const [plot, key] of [['plot-de', 'DE'], ['plot-za', 'Za'], ['plot-xieq', 'XiEq']]) {
    await expect.poll(async () => (await plotOf(page, plot)).data.length, plot).toBe(rows.length);
    const { data, subtext } = await plotOf(page, plot);
    expect(subtext, `${plot} names its case`).toContain('Umax/Uy from 0.5 to 20 step 0.5');
    // The engine's doubles, to the last places WebAssembly's pow may change.
    expect(data.filter(([u, value], i) => u !== rows[i].UmaxOverUy ||
      !(Math.abs(value - rows[i][key]) <= 1e-12 * Math.abs(rows[i][key]))), `${plot}: points off`).toEqual([]);
  }
  for (const id of ['plot-loop', 'plot-de', 'plot-xieq', 'plot-za']) {
    const png = await download(page, `#${id}-png`);
    expect(png.name).toBe(`${id}.png`);
    expect(png.bytes.subarray(0, 8).equals(PNG_SIGNATURE), `${id}.png is a PNG`).toBe(true);
    expect(png.bytes.length, `${id}.png holds a picture`).toBeGreaterThan(2000);
    const svg = await download(page, `#${id}-svg`);
    expect(svg.name).toBe(`${id}.svg`);
    expect(svg.bytes.toString(), `${id}.svg draws a curve`).toMatch(/<svg[^]*<path[^>]* d="M[^"]{40,}/);
  }
});

test('a long sweep shows its progress and Stop ends it with whole rows', async ({ page }) => {
  test.setTimeout(180_000);
  // A million rows, the most the page takes.
  const range = { from: '0.1', to: '1000', step: '0.001' };
  await openPage(page);
  for (const [id, value] of Object.entries(range)) await page.fill(`#${id}`, value);
  await expect(page.locator('#stop')).toBeDisabled();
  await page.click('#loop');
  await expect(page.locator('#stop')).toBeEnabled();
  await expect.poll(() => page.locator('#progress').evaluate((p) => Number(p.value)), { timeout: 60_000 })
    .toBeGreaterThan(0);
  await expect(page.locator('#progress-text')).toHaveText(/^[1-9]\d{0,2}(,\d{3})* of 999,901 rows$/);
  await page.click('#stop');
  await loopDone(page);
  // What Stop did, in the page's ink: no error.
  await expect(page.locator('#sweep-message')).toHaveText(/^Stopped /);
  await expect(page.locator('#sweep-message')).not.toHaveClass(/\berror\b/);
  const table = await tableRows(page);
  for (const row of table) expect(row.filter((cell) => cell !== ''), 'a row\'s cells').toHaveLength(10);
  // The rows written are the start of the whole sweep: quorix-cli up to the
  // last of them (its Umax/Uy counted in thousandths) gives the same bytes.
  const out = await download(page, '#download');
  const written = fileRows(out.bytes).length;
  expect(written, 'Stop ended the sweep early').toBeLessThan(999_901);
  const expected = expectedSweep({}, { ...range, to: String((100 + written - 1) / 1000) });
  expect(out.bytes.toString('latin1'), 'the rows written are quorix-cli sweep\'s first rows').toBe(expected.toString('latin1'));
  // Stop ended the engine's worker: another, started from what was kept, solves.
  await page.fill('#umax', '2');
  await expect.poll(() => shownResults(page)).toEqual(expectedSolve({ fields: { umax: '2' } }).texts);
});
