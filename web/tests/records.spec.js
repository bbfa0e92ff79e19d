// Measured records on the page against quorix-cli cycles, fit and response,
// on records quorix-cli itself makes (a response, closed-form loops).
const fs = require('node:fs');
const {
  test, expect, cli, cliOk, tempFile, openPage, shownResults, expectedSolve, download, plotOf,
} = require('./helpers');

function writeRecord(name, text) {
  const file = tempFile(name);
  fs.writeFileSync(file, text);
  return file;
}

// The first two columns (u, F) of a quorix-cli table.
const twoColumns = (text) => text.toString().split('\n').filter((l) => l !== '')
  .map((l) => l.split('\t').slice(0, 2).join('\t')).join('\n') + '\n';

// Four sine cycles of `perCycle` steps each.
function sineHistory(amplitude, perCycle) {
  const lines = ['u'];
  for (let i = 0; i <= 4 * perCycle; ++i) lines.push(String(amplitude * Math.sin((2 * Math.PI * i) / perCycle)));
  return writeRecord('history.txt', `${lines.join('\n')}\n`);
}

const RECORDS = [
  {
    name: 'the response from rest along four sine cycles',
    make: () => twoColumns(cliOk(['response', '--n', '1.5', '--gamma', '0.7', '--alpha', '0.05', sineHistory(0.3, 200)])),
  },
  {
    // One amplitude leaves γ undetermined: quorix-cli fit refuses it.
    name: 'three closed-form loops end to end (saturated)',
    make() {
      const loop = cliOk(['loop', '--n', '3', '--gamma', '0.6', '--u', '4', '--points', '80']).toString()
        .split('\n').filter((l) => l !== '');
      const body = loop.slice(1);
      return twoColumns([loop[0], ...body, ...body, ...body, body[0]].join('\n'));
    },
  },
];

function cellRows(page, selector) {
  return page.locator(`${selector} tr`).evaluateAll(
    (rows) => rows.map((r) => Array.from(r.querySelectorAll('td, th'), (c) => c.textContent.trim())));
}

function relativeDifference(text, reference) {
  const [a, b] = [Number(text), Number(reference)];
  if (text.trim() === '' || !Number.isFinite(a)) return Infinity;
  return a === b ? 0 : Math.abs(a - b) / Math.max(Math.abs(a), Math.abs(b));
}

// A fit report's parameters (name → text) and its cycles (cycle, d, EDC
// measured, EDC model), as quorix-cli fit prints them.
function fitReport(report) {
  const parameters = {};
  const cycles = [];
  let inCycles = false;
  for (const line of report.toString().split('\n')) {
    const cells = line.split('\t');
    if (['n', 'gamma', 'alpha', 'Fy', 'Uy'].includes(cells[0]) && (cells.length === 3 || cells.length === 4)) {
      parameters[cells[0]] = cells[1];  // value, standard error (or "fixed") and, along the record, the 95 % interval
    }
    if (cells[0] === 'cycle' && cells[1] === 'd') inCycles = true;
    else if (inCycles && cells.length === 4) cycles.push(cells);
    else if (inCycles) inCycles = false;
  }
  return { parameters, cycles };
}

// The fit's last digits hang on every residual's rounding and WebAssembly's
// pow and exp: far closer than a wrong fit, not bit for bit.
const FIT_AGREEMENT = 1e-9;

// A table's cell as the page shows it against quorix-cli's (every digit):
// the same text, or at most eight significant digits rounded from it
// (seven: half a unit in the 7th place, 5e-7 relative at most).
function shownCellDifference(shown, full) {
  if (shown === full) return null;
  const significant = shown.replace(/^[+-]?0*\.?0*/, '').replace(/e.*$/, '').replace('.', '').length;
  if (significant > 8) return `${shown}: ${significant} significant digits`;
  return relativeDifference(shown, full) <= 5e-7 ? null : `${shown} is not ${full} rounded`;
}
const tableDifferencesShown = (shownRows, fullRows) => fullRows.flatMap((row, i) =>
  row.map((cell, j) => shownCellDifference((shownRows[i] || [])[j] ?? '', cell)).filter((d) => d !== null));

for (const { name, make } of RECORDS) {
  test(`record: ${name}`, async ({ page }) => {
    const file = writeRecord('record.txt', make());
    const cycles = cliOk(['cycles', file]).toString().split('\n');
    const cycleRows = cycles.filter((l) => /^\d+\t/.test(l)).map((l) => l.split('\t'));
    const meanRow = cycles.find((l) => l.startsWith('mean of '));
    expect(cycleRows.length, 'quorix-cli finds cycles in the record').toBeGreaterThan(1);
    const fitRun = cli(['fit', file]);
    const { parameters: fit, cycles: fitCycles } = fitReport(fitRun.stdout);

    await openPage(page);
    await page.setInputFiles('#record-file', file);
    await expect.poll(async () => (await cellRows(page, '#cycles-table')).filter((r) => /^\d+$/.test(r[0])).length)
      .toBe(cycleRows.length);
    const table = await cellRows(page, '#cycles-table');
    expect(tableDifferencesShown(table.filter((r) => /^\d+$/.test(r[0])), cycleRows),
      'the cycles as quorix-cli cycles prints them, rounded for the page').toEqual([]);
    if (meanRow) {
      const mean = meanRow.split('\t').filter((cell) => cell !== '');
      const shownMean = table.map((r) => r.filter((cell) => cell !== '')).find((r) => r[0] === mean[0]);
      expect(tableDifferencesShown([shownMean], [mean]), 'the steady cycles\' mean').toEqual([]);
    }

    await page.click('#fit');
    if (fitRun.status !== 0) {
      // The reason, where the page reports on the record.
      await expect(page.locator('#record-message, #fit-report').filter({ hasText: /\S/ })).not.toHaveCount(0);
      return;
    }
    await expect(page.locator('#fit-report')).toContainText('EDC measured');
    // Shown with eight digits at most; fit.txt keeps every one.
    const shownFit = fitReport(await page.locator('#fit-report').textContent());
    const shown = fitReport((await download(page, '#download-fit')).bytes);
    expect(Object.entries(shownFit.parameters).map(([id, text]) => shownCellDifference(text, shown.parameters[id]))
      .filter((d) => d !== null)).toEqual([]);
    expect(tableDifferencesShown(shownFit.cycles, shown.cycles)).toEqual([]);
    expect(Object.keys(shown.parameters).sort()).toEqual(['Fy', 'Uy', 'alpha', 'gamma', 'n']);
    for (const [id, value] of Object.entries(fit)) {
      expect(relativeDifference(shown.parameters[id], value), `${id}: ${shown.parameters[id]} against ${value}`)
        .toBeLessThan(FIT_AGREEMENT);
    }
    // The measured side is the record's own arithmetic: the same texts.
    expect(shown.cycles.map((c) => c.slice(0, 3))).toEqual(fitCycles.map((c) => c.slice(0, 3)));
    shown.cycles.forEach((c, i) => expect(relativeDifference(c[3], fitCycles[i][3]), `EDC model of cycle ${c[0]}`)
      .toBeLessThan(FIT_AGREEMENT));
    const picture = (await download(page, '#plot-record-svg')).bytes.toString();
    for (const curve of ['Measured', 'Model, the case&#39;s parameters', 'Fitted model']) expect(picture).toContain(curve);

    // The fitted case copied into the fields (the shortest texts of the
    // fit's doubles) and solved: quorix-cli's results for those texts.
    await page.click('#use-parameters');
    const fitted = { n: fit.n, gamma: fit.gamma, alpha: fit.alpha, fy: fit.Fy, uy: fit.Uy };
    for (const [id, value] of Object.entries(fitted)) {
      await expect.poll(async () => relativeDifference(await page.locator(`#${id}`).inputValue(), value), id)
        .toBeLessThan(FIT_AGREEMENT);
    }
    const fields = {};
    for (const id of [...Object.keys(fitted), 'umax']) fields[id] = await page.locator(`#${id}`).inputValue();
    await expect.poll(() => shownResults(page)).toEqual(expectedSolve({ fields }).texts);
  });
}

// The cells of two tables that differ beyond WebAssembly's last places of
// pow and exp; the header and every text that is no number the same bytes.
function tableDifferences(got, expected) {
  const rows = (bytes) => bytes.toString().split('\n').map((line) => line.split('\t'));
  const [a, b] = [rows(got), rows(expected)];
  const differences = a.length === b.length ? [] : [`${a.length} lines, not ${b.length}`];
  for (let i = 0; i < Math.min(a.length, b.length); ++i) {
    const same = a[i].length === b[i].length && a[i].every((cell, j) => cell === b[i][j] ||
      (i > 0 && relativeDifference(cell, b[i][j]) < 1e-12));
    if (!same) differences.push(`line ${i + 1}: ${a[i].join(' ')} against ${b[i].join(' ')}`);
  }
  return differences.slice(0, 5);
}

// quorix-cli response's table for the fields' case; a refused case takes it
// away, curve and download; mended, the same response again.
test('response: the fields\' case along a history; refused, then mended', async ({ page }) => {
  const file = sineHistory(0.25, 100);
  const fields = { n: '1.5', gamma: '0.7', alpha: '0.05', fy: '3', uy: '0.09' };
  const expected = cliOk(['response', ...Object.entries(fields).flatMap(([id, v]) => [`--${id}`, v]), file]);
  await openPage(page);
  for (const [id, value] of Object.entries(fields)) await page.fill(`#${id}`, value);
  await page.setInputFiles('#record-file', file);
  await expect(page.locator('#download-response')).not.toHaveAttribute('aria-disabled', 'true');
  const before = (await download(page, '#download-response')).bytes;
  expect(tableDifferences(before, expected), 'response.txt against quorix-cli').toEqual([]);
  await expect(page.locator('#record-message')).toContainText('No cycles: ');
  const picture = (await download(page, '#plot-record-svg')).bytes.toString();
  expect(picture).toContain('Model, the case&#39;s parameters');  // as SVG writes the apostrophe
  expect(picture, 'no measured force drawn').not.toContain('>Measured<');
  await page.fill('#n', '-1');
  await expect(page.locator('#response-message'))
    .toHaveText("No response: n: n must be positive: -1 (outside the model's domain)");
  await expect(page.locator('#download-response')).toHaveAttribute('aria-disabled', 'true');
  await expect.poll(async () => (await plotOf(page, 'plot-record')).title).toBe('Nothing of history.txt can be drawn.');
  await page.fill('#n', fields.n);
  await expect(page.locator('#download-response')).not.toHaveAttribute('aria-disabled', 'true');
  await expect(page.locator('#response-message')).toHaveText('');
  expect((await download(page, '#download-response')).bytes.equals(before), 'the same response again').toBe(true);
});

// The record's plot names its axes after the record's columns, with their
// units. A file that cannot be read as a record (quorix-cli cycles refuses
// it) clears what the record before it drew: its plot and name, cycles,
// response.
test('a record\'s axes are its columns; one that cannot be read clears the last record\'s plot and table', async ({ page }) => {
  const [, ...body] = RECORDS[0].make().split('\n');
  const good = writeRecord('first.txt', ['disp [mm]\tforce', 'mm\tkN', ...body].join('\n'));
  const bad = writeRecord('second.txt', 'hello\nworld\n');
  expect(cli(['cycles', bad]).status, 'quorix-cli cycles refuses it').not.toBe(0);
  await openPage(page);
  await page.setInputFiles('#record-file', good);
  await expect.poll(async () => (await plotOf(page, 'plot-record')).title).toBe('first.txt');
  expect((await plotOf(page, 'plot-record')).axes).toEqual(['disp [mm]', 'force (kN)']);
  // The record's notes are no error.
  await expect(page.locator('#record-message')).toContainText('kN');
  await expect(page.locator('#record-message')).not.toHaveClass(/\berror\b/);
  await expect(page.locator('#cycles-table tr')).not.toHaveCount(0);
  await page.setInputFiles('#record-file', bad);
  await expect(page.locator('#record-message')).not.toHaveText('');
  await expect.poll(async () => (await plotOf(page, 'plot-record')).title).toBe('Nothing of second.txt can be drawn.');
  expect((await plotOf(page, 'plot-record')).data, 'no curve left').toEqual([]);
  await expect(page.locator('#cycles-table tr')).toHaveCount(0);
  await expect(page.locator('#download-response')).toHaveAttribute('aria-disabled', 'true');
  await expect(page.locator('#fit')).toBeDisabled();
});

// A long fit says what it does and can be stopped; meanwhile Solve, Loop and
// Read are disabled, and a Solve asked for by typing says that it waits,
// then runs once the fit is stopped.
test('a fit of 80,000 samples: "Fitting…", the commands waiting, Stop', async ({ page }) => {
  const lines = ['u'];
  for (let i = 0; i < 80_000; ++i) lines.push(String(0.3 * (1 + i / 20_000) * Math.sin((2 * Math.PI * i) / 400)));
  const history = writeRecord('long-history.txt', `${lines.join('\n')}\n`);
  const file = writeRecord('long.txt', twoColumns(cliOk(['response', '--n', '1.5', '--gamma', '0.7', history])));
  await openPage(page);
  await page.setInputFiles('#record-file', file);
  await expect(page.locator('#fit')).toBeEnabled();
  await page.click('#fit');
  await expect(page.locator('#record-message')).toHaveText('Fitting 80,000 samples…');
  await expect(page.locator('#record-message')).not.toHaveClass(/\berror\b/);
  for (const id of ['#solve', '#loop', '#read-material', '#fit']) await expect(page.locator(id), id).toBeDisabled();
  await page.fill('#umax', '2');
  await expect(page.locator('#message')).toHaveText('The Solve waits for the fit to end (or its Stop).');
  await page.click('#stop-fit');
  await expect(page.locator('#record-message')).toHaveText('Fit stopped: nothing fitted.');
  await expect(page.locator('#fit-report')).toHaveText('');
  await expect.poll(() => shownResults(page)).toEqual(expectedSolve({ fields: { umax: '2' } }).texts);
  await expect(page.locator('#message')).toHaveText('');
  for (const id of ['#solve', '#loop', '#fit']) await expect(page.locator(id), id).toBeEnabled();
  await expect(page.locator('#stop-fit')).toBeDisabled();
});
