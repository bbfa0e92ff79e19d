// Loop on the page against quorix-cli sweep -o: results.out byte for byte,
// the table's rows, a long sweep's progress and Stop, refusals and the plots.
const fs = require('node:fs');
const {
  test, expect, cli, cliOk, caseArgs, tempFile, openPage, enterCase, download,
} = require('./helpers');

const RANGE_DEFAULTS = { from: '0.1', to: '10.0', step: '0.1' };

function expectedSweep(c, range) {
  const r = { ...RANGE_DEFAULTS, ...range };
  const file = tempFile('results.out');
  cliOk(['sweep', ...caseArgs(c, { amplitude: false }), '--from', r.from, '--to', r.to, '--step', r.step, '--no-progress', '-o', file]);
  return fs.readFileSync(file);
}

// The table's data rows as their cells' texts.
function tableRows(page) {
  return page.locator('#sweep-table tr:has(td)').evaluateAll(
    (rows) => rows.map((r) => Array.from(r.querySelectorAll('td'), (td) => td.textContent.trim())));
}

function fileRows(bytes) {
  return bytes.toString().split('\r\n').slice(1).filter((l) => l !== '').map((l) => l.split('\t'));
}

// Where two files first differ, line by line, for a failure to show; null
// when their bytes are the same.
function firstDifference(actual, expected) {
  if (actual.equals(expected)) return null;
  const a = actual.toString().split('\n');
  const b = expected.toString().split('\n');
  for (let i = 0; i < Math.max(a.length, b.length); ++i) {
    if (a[i] !== b[i]) return { line: i + 1, lines: [a.length, b.length], page: a[i], cli: b[i] };
  }
  return { bytes: [actual.length, expected.length] };
}

// Loop's end: the button usable again and every row of the table there
// (the first rows come at once, the rest after they are painted). Stop is
// shown only for a sweep that runs a tenth of a second or longer.
async function loopDone(page) {
  await expect(page.locator('#loop')).toBeEnabled();
  await expect(page.locator('#stop')).toBeDisabled();
  await expect(page.locator('#sweep-table')).not.toHaveAttribute('aria-busy', 'true');
}

async function enterRange(page, range) {
  for (const [id, value] of Object.entries(range || {})) await page.fill(`#${id}`, value);
}

const SWEEPS = [
  { name: 'the default case and range', c: {} },
  {
    name: 'accurate Direct, through saturation',
    c: { mode: 'direct', accurate: true, fields: { gamma: '0.5', n: '1.5' } },
    range: { from: '0.5', to: '20', step: '0.5' },
  },
  // n = 0 was here: outside the model's domain, now refused (strict.spec.js).
  { name: 'n = 0.5, fine steps', c: { fields: { n: '0.5' } }, range: { from: '0.01', to: '3', step: '0.01' } },
];

for (const { name, c, range } of SWEEPS) {
  test(`Loop: ${name}`, async ({ page }) => {
    const expected = expectedSweep(c, range);
    const rows = fileRows(expected);
    await openPage(page);
    await enterCase(page, c);
    await enterRange(page, range);
    await page.click('#loop');
    await loopDone(page);
    await expect(page.locator('#sweep-table tr:has(td)')).toHaveCount(rows.length);
    expect(await tableRows(page)).toEqual(rows);
    const out = await download(page, '#download');
    expect(out.name).toBe('results.out');
    expect(firstDifference(out.bytes, expected), 'results.out as quorix-cli sweep -o writes it').toBeNull();
    await expect(page.locator('#sweep-message')).toHaveText('');
  });
}

test('a long sweep shows its progress and Stop ends it with whole rows', async ({ page }) => {
  test.setTimeout(180_000);
  // A million rows, the most the page takes.
  const range = { from: '0.1', to: '1000', step: '0.001' };
  await openPage(page);
  await enterRange(page, range);
  await expect(page.locator('#stop')).toBeDisabled();
  await page.click('#loop');
  await expect(page.locator('#stop')).toBeEnabled();
  await expect.poll(() => page.locator('#progress').evaluate((p) => Number(p.value)), { timeout: 60_000 })
    .toBeGreaterThan(0);
  // The counts grouped as the window writes them; the total is the range's.
  await expect(page.locator('#progress-text')).toHaveText(/^[1-9]\d{0,2}(,\d{3})* of 999,901 rows$/);
  await page.click('#stop');
  await loopDone(page);
  const table = await tableRows(page);
  expect(table.length).toBeGreaterThan(0);
  for (const row of table) {
    expect(row.length, 'cells of a row').toBe(10);
    expect(row.filter((cell) => cell === ''), 'empty cells').toEqual([]);
  }
  // What was written is the start of the whole sweep: quorix-cli up to the
  // last row written gives the same bytes. (That row's Umax/Uy is counted
  // in thousandths: the file writes it with two decimals.)
  const out = await download(page, '#download');
  const written = fileRows(out.bytes);
  expect(written.length).toBeGreaterThan(0);
  expect(written.length, 'Stop ended the sweep early').toBeLessThan(999_901);
  expect(out.bytes.subarray(-2).toString(), 'the file ends with a whole line').toBe('\r\n');
  const expected = expectedSweep({}, { ...range, to: String((100 + written.length - 1) / 1000) });
  expect(firstDifference(out.bytes, expected), 'the rows written are quorix-cli sweep\'s first rows').toBeNull();
});

// Ranges the page refuses, with the message under Loop; the progress keeps
// no count of rows that were never written, and the last table stays. The
// first two quorix-cli sweep refuses too; the third only the page, whose
// limit is a million rows (the command line has none).
const REFUSED = [
  { name: 'a step of 0', range: { step: '0' }, native: true },
  { name: 'To beyond the range of a double', range: { to: '1e400' }, native: true },
  { name: '4,999,901 rows, beyond the page\'s million', range: { to: '5000', step: '0.001' }, native: false,
    message: 'sweep of more than 1000000 rows refused' },
];

for (const { name, range, native, message } of REFUSED) {
  test(`refused sweep: ${name}`, async ({ page }) => {
    const r = { ...RANGE_DEFAULTS, ...range };
    if (native) {
      const run = cli(['sweep', ...caseArgs({}, { amplitude: false }), '--from', r.from, '--to', r.to, '--step', r.step, '-o', tempFile('x')]);
      expect(run.status, `quorix-cli sweep refuses ${JSON.stringify(range)}`).not.toBe(0);
    }
    await openPage(page);
    await page.click('#loop');
    await loopDone(page);
    const before = await tableRows(page);
    expect(before.length, 'the default Loop drew a table').toBe(100);
    await enterRange(page, range);
    await page.click('#loop');
    await expect(page.locator('#sweep-message')).not.toHaveText('');
    await loopDone(page);
    if (message) await expect(page.locator('#sweep-message')).toHaveText(message);
    await expect(page.locator('#progress-text')).toHaveText('');
    expect(await tableRows(page), 'the last table stays').toEqual(before);
  });
}

const PNG_SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

test('each plot downloads as PNG and SVG', async ({ page }) => {
  await openPage(page);
  await page.click('#loop');
  await loopDone(page);
  for (const id of ['plot-loop', 'plot-de', 'plot-xieq', 'plot-za']) {
    const png = await download(page, `#${id}-png`);
    expect(png.name).toBe(`${id}.png`);
    expect(png.bytes.subarray(0, 8).equals(PNG_SIGNATURE), `${id}.png is a PNG`).toBe(true);
    expect(png.bytes.length, `${id}.png holds a picture`).toBeGreaterThan(2000);
    const svg = await download(page, `#${id}-svg`);
    expect(svg.name).toBe(`${id}.svg`);
    const text = svg.bytes.toString();
    expect(text).toContain('<svg');
    expect(text, `${id}.svg draws a curve`).toMatch(/<path[^>]* d="M[^"]{40,}/);
  }
});
