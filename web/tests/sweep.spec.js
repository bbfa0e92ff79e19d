// Loop on the page against quorix-cli sweep -o: results.out byte for byte,
// the table's rows, a long sweep's progress and Stop, the plots' downloads.
// (Refused ranges: strict.spec.js.)
const fs = require('node:fs');
const {
  test, expect, cliOk, caseArgs, tempFile, openPage, enterCase, loopDone, runLoop, tableRows, download,
} = require('./helpers');

const RANGE_DEFAULTS = { from: '0.1', to: '10.0', step: '0.1' };

function expectedSweep(c, range) {
  const r = { ...RANGE_DEFAULTS, ...range };
  const file = tempFile('results.out');
  cliOk(['sweep', ...caseArgs(c, { amplitude: false }), '--from', r.from, '--to', r.to, '--step', r.step, '--no-progress',
    '-o', file]);
  return fs.readFileSync(file);
}

const fileRows = (bytes) => bytes.toString().split('\r\n').slice(1).filter((l) => l !== '').map((l) => l.split('\t'));

test('Loop: the table and results.out are quorix-cli sweep -o\'s', async ({ page }) => {
  const c = { mode: 'direct', accurate: true, fields: { gamma: '0.5', n: '1.5' } };
  const range = { from: '0.5', to: '20', step: '0.5' };
  const expected = expectedSweep(c, range);
  await openPage(page);
  await enterCase(page, c);
  await runLoop(page, range);
  expect(await tableRows(page)).toEqual(fileRows(expected));
  const out = await download(page, '#download');
  expect(out.name).toBe('results.out');
  expect(out.bytes.toString('latin1'), 'results.out as quorix-cli sweep -o writes it').toBe(expected.toString('latin1'));
  await expect(page.locator('#sweep-message')).toHaveText('');
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
  expect(table.length).toBeGreaterThan(0);
  for (const row of table) expect(row.filter((cell) => cell !== ''), 'a row\'s cells').toHaveLength(10);
  // The rows written are the start of the whole sweep: quorix-cli up to the
  // last of them (its Umax/Uy counted in thousandths) gives the same bytes.
  const out = await download(page, '#download');
  const written = fileRows(out.bytes).length;
  expect(written).toBeGreaterThan(0);
  expect(written, 'Stop ended the sweep early').toBeLessThan(999_901);
  expect(out.bytes.subarray(-2).toString(), 'the file ends with a whole line').toBe('\r\n');
  const expected = expectedSweep({}, { ...range, to: String((100 + written - 1) / 1000) });
  expect(out.bytes.toString('latin1'), 'the rows written are quorix-cli sweep\'s first rows').toBe(expected.toString('latin1'));
});

const PNG_SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

test('each plot downloads as PNG and SVG', async ({ page }) => {
  await openPage(page);
  await runLoop(page);
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
