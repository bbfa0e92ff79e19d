// The records section's "Check a program's output" against quorix-cli
// verify run natively on the same record and model: the figures shown
// (rounded to eight significant digits at most), the cycles' energies and
// the verdict.
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { test, expect, cli, cliOk, tempFile, openPage, cellRows, shownTableDifferences, DEFAULT_FIELDS } = require('./helpers');

const MAKE_PROGRAM_RECORD = path.join(__dirname, '..', '..', 'tests', 'verify', 'make_program_record.py');
const OPENSEES_LINE = 'uniaxialMaterial BoucWen 1 0.1 20 2 0.3 0.6 1.5 0 0 0';

// The page's tables against the JSON of quorix-cli verify: every shown
// figure, what is wrong with each that differs.
async function shownAsCli(page, expected) {
  await expect(page.locator('#verify-verdict')).toHaveText(`Verdict: ${expected.verdict_text}`);
  const c = expected.cycles;
  return [
    ...shownTableDifferences(await cellRows(page, '#verify-differences tbody'), ['F', 'z'].filter((q) => expected[q])
      .map((q) => [q, ...['largest', 'sample', 'u', 'rms', 'relative'].map((key) => expected[q][key])])),
    ...shownTableDifferences(await cellRows(page, '#verify-cycles tbody'),
      c.first.map((first, i) => [String(i + 1), `${first}–${c.last[i]}`, c.program_EDC[i], c.model_EDC[i]])),
  ];
}

// A record as a backward-Euler program writes it (u, F, z with a header),
// 24 steps a cycle: beyond a tolerance of 1e-3.
test('check: a coarse program record against its material line, beyond a tolerance', async ({ page }) => {
  const made = spawnSync('/usr/bin/python3', [MAKE_PROGRAM_RECORD, '24']);
  expect(made.status, `make_program_record.py: ${made.stderr}`).toBe(0);
  const file = tempFile('program.txt', made.stdout);
  const run = cli(['verify', '--json', '--material', OPENSEES_LINE, '--tolerance', '1e-3', file]);
  expect(run.status, 'quorix-cli: beyond the tolerance').toBe(1);
  const expected = JSON.parse(run.stdout.toString());
  expect(expected.verdict).toBe('exceeds');

  await openPage(page);
  await page.setInputFiles('#verify-file', file);
  await page.fill('#verify-material', OPENSEES_LINE);
  await page.fill('#verify-tolerance', '1e-3');
  await page.click('#verify');
  expect(await shownAsCli(page, expected)).toEqual([]);
  await expect(page.locator('#verify-verdict')).toHaveClass('verdict-exceeds');
  await expect(page.locator('#verify-message')).toHaveText(expected.report[0]);
});

test('check: a pasted record against the case\'s fields, one force off', async ({ page }) => {
  // The model's own response along three sine cycles: u and F alone.
  const lines = ['u'];
  for (let i = 0; i <= 300; ++i) lines.push(String(0.3 * Math.sin((2 * Math.PI * i) / 100)));
  const history = tempFile('history.txt', `${lines.join('\n')}\n`);
  const fields = { ...DEFAULT_FIELDS, n: '1.5', alpha: '0.05' };
  const model = ['--n', fields.n, '--gamma', fields.gamma, '--alpha', fields.alpha, '--fy', fields.fy, '--uy', fields.uy];
  // Sample 101's force off by 0.01: the page's WebAssembly response may
  // differ from the native one in the last place, which leaves the figures
  // of that difference the same to eight digits.
  const rows = cliOk(['response', ...model, history]).toString().split('\n').filter((l) => l !== '')
    .map((l) => l.split('\t').slice(0, 2));
  rows[101][1] = String(Number(rows[101][1]) + 0.01);
  const response = `${rows.map((r) => r.join('\t')).join('\n')}\n`;
  const file = tempFile('pasted.txt', response);
  const run = cli(['verify', '--json', ...model, file]);
  expect(run.status).toBe(0);
  const expected = JSON.parse(run.stdout.toString());
  expect([expected.verdict, expected.F.sample]).toEqual(['differs', 101]);

  await openPage(page);
  await page.fill('#n', fields.n);
  await page.fill('#alpha', fields.alpha);
  await page.fill('#verify-text', response);
  await page.click('#verify');
  expect(await shownAsCli(page, expected)).toEqual([]);

  // A material line that is no material: refused with quorix-cli's reason,
  // and nothing of the check before is left shown.
  const refused = cli(['verify', '--json', '--material', 'uniaxialMaterial Steel01 1 2 3 4', file]);
  const refusal = JSON.parse(refused.stdout.toString()).refusal;
  expect([refused.status, refusal.option]).toEqual([2, '--material']);
  await page.fill('#verify-material', 'uniaxialMaterial Steel01 1 2 3 4');
  await page.click('#verify');
  await expect(page.locator('#verify-message')).toHaveText(`Nothing checked: the material line: ${refusal.reason}`);
  await expect(page.locator('#verify-verdict')).toHaveText('');
  expect(await cellRows(page, '#verify-differences tbody')).toEqual([]);
});
