// Measured records on the page against quorix-cli cycles and fit. The
// records are made by quorix-cli itself: the model's response along a
// displacement history, and closed-form loops laid end to end.
const fs = require('node:fs');
const {
  test, expect, cli, cliOk, tempFile, openPage, shownResults, expectedSolve,
} = require('./helpers');

function writeRecord(name, text) {
  const file = tempFile(name);
  fs.writeFileSync(file, text);
  return file;
}

// The first two columns (u, F) of a quorix-cli table.
function twoColumns(text) {
  return text.toString().split('\n').filter((l) => l !== '').map((l) => l.split('\t').slice(0, 2).join('\t')).join('\n')
    + '\n';
}

const RECORDS = [
  {
    name: 'the response from rest along four sine cycles',
    make() {
      const lines = ['u'];
      for (let i = 0; i <= 800; ++i) lines.push(String(0.3 * Math.sin((2 * Math.PI * i) / 200)));
      const history = writeRecord('history.txt', `${lines.join('\n')}\n`);
      return twoColumns(cliOk(['response', '--n', '1.5', '--gamma', '0.7', '--alpha', '0.05', history]));
    },
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

// quorix-cli fit's parameters: name → text.
function fitParameters(report) {
  const parameters = {};
  for (const line of report.toString().split('\n')) {
    const [name, value] = line.split('\t');
    if (['n', 'gamma', 'alpha', 'Fy', 'Uy'].includes(name) && value !== undefined) parameters[name] = value;
  }
  return parameters;
}

for (const { name, make } of RECORDS) {
  test(`record: ${name}`, async ({ page }) => {
    const file = writeRecord('record.txt', make());
    const cycles = cliOk(['cycles', file]).toString().split('\n');
    const cycleRows = cycles.filter((l) => /^\d+\t/.test(l)).map((l) => l.split('\t'));
    const meanRow = cycles.find((l) => l.startsWith('mean of '));
    expect(cycleRows.length, 'quorix-cli finds cycles in the record').toBeGreaterThan(1);
    const fitRun = cli(['fit', file]);
    const fit = fitParameters(fitRun.stdout);
    if (fitRun.status === 0) expect(Object.keys(fit)).toHaveLength(5);

    await openPage(page);
    await page.setInputFiles('#record-file', file);
    await expect.poll(async () => (await cellRows(page, '#cycles-table')).filter((r) => /^\d+$/.test(r[0])).length)
      .toBe(cycleRows.length);
    const table = await cellRows(page, '#cycles-table');
    expect(table.filter((r) => /^\d+$/.test(r[0])), 'the cycles as quorix-cli cycles prints them').toEqual(cycleRows);
    if (meanRow) {
      const mean = meanRow.split('\t').filter((cell) => cell !== '');
      expect(table.map((r) => r.filter((cell) => cell !== '')), 'the steady cycles\' mean').toContainEqual(mean);
    }

    await page.click('#fit');
    if (fitRun.status !== 0) {
      // The reason, where the page reports on the record.
      await expect(page.locator('#record-message, #fit-report').filter({ hasText: /\S/ })).not.toHaveCount(0);
      return;
    }
    for (const value of Object.values(fit)) await expect(page.locator('#fit-report')).toContainText(value);

    // The fitted case, copied into the fields and solved.
    await page.click('#use-parameters');
    const fields = { n: fit.n, gamma: fit.gamma, alpha: fit.alpha, fy: fit.Fy, uy: fit.Uy };
    for (const [id, value] of Object.entries(fields)) await expect(page.locator(`#${id}`), id).toHaveValue(value);
    const umax = await page.locator('#umax').inputValue();
    const expected = expectedSolve({ fields: { ...fields, umax } });
    await expect.poll(() => shownResults(page)).toEqual(expected.texts);
  });
}

test('a file that holds no record is refused with a message', async ({ page }) => {
  const file = writeRecord('notes.txt', 'hello\nworld\n');
  expect(cli(['cycles', file]).status, 'quorix-cli cycles refuses it').not.toBe(0);
  await openPage(page);
  await page.setInputFiles('#record-file', file);
  await expect(page.locator('#record-message')).not.toHaveText('');
  expect((await cellRows(page, '#cycles-table')).filter((r) => /^\d+$/.test(r[0]))).toEqual([]);
});
