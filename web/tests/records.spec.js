// Measured records on the page against quorix-cli cycles, fit and response,
// on records quorix-cli itself makes (a response) or made here (loops
// without hysteresis).
const { test, expect, cli, cliOk, tempFile, openPage, shownResults, expectedSolve, download, plotOf, cellRows,
  relativeDifference, shownTableDifferences } = require('./helpers');

// The first two columns (u, F) of a quorix-cli table.
const twoColumns = (text) => text.toString().split('\n').filter((l) => l !== '')
  .map((l) => l.split('\t').slice(0, 2).join('\t')).join('\n') + '\n';

// Four sine cycles of `perCycle` steps each.
function sineHistory(amplitude, perCycle) {
  const lines = ['u'];
  for (let i = 0; i <= 4 * perCycle; ++i) lines.push(String(amplitude * Math.sin((2 * Math.PI * i) / perCycle)));
  return tempFile('history.txt', `${lines.join('\n')}\n`);
}

// Two loops of F = 0.2 u along a bilinear loop's path (seven samples a
// straight piece), rest before and after: no hysteresis, so no equivalent
// bilinear loop (its Kd and Dy a dash) and nothing a fit can identify.
function elasticLoops() {
  const u = [10, 7.4, -10, -7.4, 10];
  const lines = ['u [mm];F [kN]', '0;0'];
  for (let i = 0; i < 56; ++i) {
    const [piece, k] = [Math.floor(i / 7) % 4, i % 7];
    const x = u[piece] + (k / 7) * (u[piece + 1] - u[piece]);
    lines.push(`${x};${0.2 * x}`);
  }
  return `${[...lines, '10;2', '0;0'].join('\n')}\n`;
}

// The first record's columns named, with units: the plot's axes.
const RECORDS = [
  {
    name: 'the response from rest along four sine cycles',
    make: () => `disp [mm]\tforce\nmm\tkN\n${twoColumns(cliOk(['response', '--n', '1.5', '--gamma', '0.7', '--alpha',
      '0.05', sineHistory(0.3, 200)])).split('\n').slice(1).join('\n')}`,
    axes: ['disp [mm]', 'force (kN)'],
  },
  { name: 'two elastic loops', make: elasticLoops, note: 'no equivalent bilinear loop (Kd, Dy) for cycles 1-2' },
];

// The fit's last digits hang on every residual's rounding and WebAssembly's
// pow and exp: far closer than a wrong fit, not bit for bit.
const FIT_AGREEMENT = 1e-9;

// A fit report's parameters (name → value) as quorix-cli fit prints them:
// value, standard error (or "fixed") and, along the record, the 95 % interval.
const fitParameters = (report) => Object.fromEntries(report.toString().split('\n').map((l) => l.split('\t'))
  .filter((c) => ['n', 'gamma', 'alpha', 'Fy', 'Uy'].includes(c[0]) && (c.length === 3 || c.length === 4))
  .map((c) => [c[0], c[1]]));

// The fit's report shown (eight digits at most) and downloaded (every one)
// as quorix-cli fit's, its curve drawn, and the fitted case copied into the
// fields (the shortest texts of the fit's doubles) and solved.
async function expectFitted(page, fitRun) {
  const fit = fitParameters(fitRun.stdout);
  await expect(page.locator('#fit-report')).toContainText('EDC measured');
  const shown = fitParameters((await download(page, '#download-fit')).bytes);
  expect(Object.keys(shown).sort()).toEqual(['Fy', 'Uy', 'alpha', 'gamma', 'n']);
  const shownFit = fitParameters(await page.locator('#fit-report').textContent());
  expect(shownTableDifferences([Object.values(shownFit)], [Object.values(shown)]), 'shown as fit.txt').toEqual([]);
  for (const [id, value] of Object.entries(fit)) {
    expect(relativeDifference(shown[id], value), `${id}: ${shown[id]} against ${value}`).toBeLessThan(FIT_AGREEMENT);
  }
  const picture = (await download(page, '#plot-record-svg')).bytes.toString();
  for (const curve of ['Measured', 'Model, the case&#39;s parameters', 'Fitted model']) expect(picture).toContain(curve);
  await page.click('#use-parameters');
  const fitted = { n: fit.n, gamma: fit.gamma, alpha: fit.alpha, fy: fit.Fy, uy: fit.Uy };
  for (const [id, value] of Object.entries(fitted)) {
    await expect.poll(async () => relativeDifference(await page.locator(`#${id}`).inputValue(), value), id)
      .toBeLessThan(FIT_AGREEMENT);
  }
  const fields = {};
  for (const id of [...Object.keys(fitted), 'umax']) fields[id] = await page.locator(`#${id}`).inputValue();
  await expect.poll(() => shownResults(page)).toEqual(expectedSolve({ fields }).texts);
}

// The record drawn on axes named after its columns, its cycles' table
// (isolator figures and the steady cycles' mean among them) and notes as
// quorix-cli cycles gives them, the fit or its refusal. Then a file that
// cannot be read as a record (quorix-cli cycles refuses it) clears what the
// record before it drew: its plot and name, cycles, response.
for (const { name, make, note, axes } of RECORDS) {
  test(`record: ${name}`, async ({ page }) => {
    const file = tempFile('record.txt', make());
    const cycles = JSON.parse(cliOk(['cycles', '--json', file]).toString()).table;
    expect(cycles.at(-1)[0], 'quorix-cli finds steady cycles in the record').toMatch(/^mean of /);
    const fitRun = cli(['fit', file]);
    const bad = tempFile('second.txt', 'hello\nworld\n');
    expect(cli(['cycles', bad]).status, 'quorix-cli cycles refuses it').not.toBe(0);

    await openPage(page);
    await page.setInputFiles('#record-file', file);
    await expect.poll(async () => (await cellRows(page, '#cycles-table')).length).toBe(cycles.length);
    expect(shownTableDifferences(await cellRows(page, '#cycles-table'), cycles),
      'the cycles as quorix-cli cycles gives them, rounded for the page').toEqual([]);
    await expect.poll(() => plotOf(page, 'plot-record')).toMatchObject({ title: 'record.txt', ...(axes ? { axes } : {}) });
    // The record's notes are no error.
    await expect(page.locator('#record-message')).toContainText(note || 'kN');
    await expect(page.locator('#record-message')).not.toHaveClass(/\berror\b/);

    await page.click('#fit');
    if (fitRun.status === 0) {
      await expectFitted(page, fitRun);
    } else {
      // quorix-cli's reason, its figures left out (the last places of WebAssembly's arithmetic).
      const reason = fitRun.stderr.split('\n')[0].replace(/^quorix-cli: /, '').split(' (')[0];
      await expect(page.locator('#record-message')).toContainText(`No fit: ${reason}`);
      await expect(page.locator('#record-message')).toHaveClass(/\berror\b/);
      await expect(page.locator('#use-parameters')).toBeDisabled();
    }

    await page.setInputFiles('#record-file', bad);
    await expect.poll(async () => (await plotOf(page, 'plot-record')).title).toBe('Nothing of second.txt can be drawn.');
    await expect(page.locator('#record-message')).not.toHaveText('');
    expect((await plotOf(page, 'plot-record')).data, 'no curve left').toEqual([]);
    await expect(page.locator('#cycles-table tr')).toHaveCount(0);
    await expect(page.locator('#download-response')).toHaveAttribute('aria-disabled', 'true');
    await expect(page.locator('#fit')).toBeDisabled();
  });
}

// The lines of two tables that differ beyond WebAssembly's last places of
// pow and exp; the header and every text that is no number the same bytes.
function tableDifferences(got, expected) {
  const [a, b] = [got, expected].map((bytes) => bytes.toString().split('\n').map((line) => line.split('\t')));
  return [...(a.length === b.length ? [] : [`${a.length} lines, not ${b.length}`]), ...a.filter((row, i) => !(b[i] &&
    row.length === b[i].length && row.every((c, j) => c === b[i][j] || (i > 0 && relativeDifference(c, b[i][j]) < 1e-12))))]
    .slice(0, 5);
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

// A long fit says what it does and can be stopped; meanwhile Solve, Loop and
// Read are disabled, and a Solve asked for by typing says that it waits,
// then runs once the fit is stopped.
test('a fit of 80,000 samples: "Fitting…", the commands waiting, Stop', async ({ page }) => {
  const lines = ['u'];
  for (let i = 0; i < 80_000; ++i) lines.push(String(0.3 * (1 + i / 20_000) * Math.sin((2 * Math.PI * i) / 400)));
  const history = tempFile('long-history.txt', `${lines.join('\n')}\n`);
  const file = tempFile('long.txt', twoColumns(cliOk(['response', '--n', '1.5', '--gamma', '0.7', history])));
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
