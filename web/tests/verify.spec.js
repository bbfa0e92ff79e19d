// The records section's "Check a program's output" against quorix-cli
// verify run natively on the same record and model: the figures shown
// (rounded to eight significant digits at most), the cycles' energies and
// the verdict.
const fs = require('node:fs');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { test, expect, cli, cliOk, tempFile, openPage, DEFAULT_FIELDS } = require('./helpers');

const MAKE_PROGRAM_RECORD = path.join(__dirname, '..', '..', 'tests', 'verify', 'make_program_record.py');
const OPENSEES_LINE = 'uniaxialMaterial BoucWen 1 0.1 20 2 0.3 0.6 1.5 0 0 0';

// A record as a backward-Euler program writes it (u, F, z with a header),
// `perCycle` steps a cycle.
function programRecord(perCycle) {
  const file = tempFile('program.txt');
  const run = spawnSync('/usr/bin/python3', [MAKE_PROGRAM_RECORD, String(perCycle)]);
  if (run.status !== 0) throw new Error(`make_program_record.py ${perCycle}: ${run.stderr}`);
  fs.writeFileSync(file, run.stdout);
  return file;
}

// A shown number against quorix-cli's JSON number: the same value, or at
// most eight significant digits rounded from it.
function shownDifference(shown, full) {
  const value = Number(shown);
  if (shown.trim() === '' || !Number.isFinite(value)) return `"${shown}" is no number (expected ${full})`;
  const significant = shown.replace(/^[+-]?0*\.?0*/, '').replace(/e.*$/, '').replace('.', '').length;
  if (significant > 8) return `${shown}: ${significant} significant digits`;
  const apart = value === full ? 0 : Math.abs(value - full) / Math.max(Math.abs(value), Math.abs(full));
  return apart <= 5e-7 ? null : `${shown} is not ${full} rounded`;
}

function rowsOf(page, selector) {
  return page.locator(`${selector} tbody tr`).evaluateAll(
    (rows) => rows.map((r) => Array.from(r.querySelectorAll('td, th'), (c) => c.textContent.trim())));
}

// The page's tables against the JSON of quorix-cli verify.
async function expectShownAsCli(page, expected) {
  await expect(page.locator('#verify-verdict')).toHaveText(`Verdict: ${expected.verdict_text}`);
  const differences = await rowsOf(page, '#verify-differences');
  const quantities = expected.z ? ['F', 'z'] : ['F'];
  expect(differences.map((r) => r[0])).toEqual(quantities);
  const problems = [];
  differences.forEach((row, i) => {
    const d = expected[quantities[i]];
    [d.largest, d.sample, d.u, d.rms, d.relative].forEach((value, j) => {
      const problem = shownDifference(row[j + 1], value);
      if (problem) problems.push(`${quantities[i]}, column ${j + 1}: ${problem}`);
    });
  });
  const cycles = await rowsOf(page, '#verify-cycles');
  expect(cycles.length).toBe(expected.cycles.first.length);
  cycles.forEach((row, i) => {
    expect(row[1]).toBe(`${expected.cycles.first[i]}–${expected.cycles.last[i]}`);
    for (const [j, key] of [[2, 'program_EDC'], [3, 'model_EDC']]) {
      const problem = shownDifference(row[j], expected.cycles[key][i]);
      if (problem) problems.push(`cycle ${i + 1}, ${key}: ${problem}`);
    }
  });
  expect(problems).toEqual([]);
}

test('check: a coarse program record against its material line, beyond a tolerance', async ({ page }) => {
  const file = programRecord(24);
  const run = cli(['verify', '--json', '--material', OPENSEES_LINE, '--tolerance', '1e-3', file]);
  expect(run.status, 'quorix-cli: beyond the tolerance').toBe(1);
  const expected = JSON.parse(run.stdout.toString());
  expect(expected.verdict).toBe('exceeds');

  await openPage(page);
  await page.setInputFiles('#verify-file', file);
  await page.fill('#verify-material', OPENSEES_LINE);
  await page.fill('#verify-tolerance', '1e-3');
  await page.click('#verify');
  await expectShownAsCli(page, expected);
  await expect(page.locator('#verify-verdict')).toHaveClass('verdict-exceeds');
  await expect(page.locator('#verify-message')).toHaveText(expected.report[0]);
  await page.locator('#verify-cycles').scrollIntoViewIfNeeded();
  // For a look at the section: QUORIX_SHOT=path.png.
  if (process.env.QUORIX_SHOT) await page.screenshot({ path: process.env.QUORIX_SHOT });
});

test('check: a pasted record against the case\'s fields, one force off', async ({ page }) => {
  // The model's own response along three sine cycles: u and F alone.
  const history = tempFile('history.txt');
  const lines = ['u'];
  for (let i = 0; i <= 300; ++i) lines.push(String(0.3 * Math.sin((2 * Math.PI * i) / 100)));
  fs.writeFileSync(history, `${lines.join('\n')}\n`);
  const fields = { ...DEFAULT_FIELDS, n: '1.5', alpha: '0.05' };
  const model = ['--n', fields.n, '--gamma', fields.gamma, '--alpha', fields.alpha, '--fy', fields.fy, '--uy', fields.uy];
  // Sample 101's force off by 0.01: the page's WebAssembly response may
  // differ from the native one in the last place, which leaves the figures
  // of that difference the same to eight digits.
  const rows = cliOk(['response', ...model, history]).toString().split('\n').filter((l) => l !== '')
    .map((l) => l.split('\t').slice(0, 2));
  rows[101][1] = String(Number(rows[101][1]) + 0.01);
  const response = rows.map((r) => r.join('\t')).join('\n');
  const file = tempFile('pasted.txt');
  fs.writeFileSync(file, `${response}\n`);
  const run = cli(['verify', '--json', ...model, file]);
  expect(run.status).toBe(0);
  const expected = JSON.parse(run.stdout.toString());
  expect(expected.verdict).toBe('differs');
  expect(expected.F.sample).toBe(101);

  await openPage(page);
  await page.fill('#n', fields.n);
  await page.fill('#alpha', fields.alpha);
  await page.fill('#verify-text', `${response}\n`);
  await page.click('#verify');
  await expectShownAsCli(page, expected);

  // A material line that is no material: refused with quorix-cli's reason,
  // and nothing of the check before is left shown.
  const refused = cli(['verify', '--json', '--material', 'uniaxialMaterial Steel01 1 2 3 4', file]);
  expect(refused.status).toBe(2);
  const refusal = JSON.parse(refused.stdout.toString()).refusal;
  expect(refusal.option).toBe('--material');
  await page.fill('#verify-material', 'uniaxialMaterial Steel01 1 2 3 4');
  await page.click('#verify');
  await expect(page.locator('#verify-message')).toHaveText(`Nothing checked: the material line: ${refusal.reason}`);
  await expect(page.locator('#verify-verdict')).toHaveText('');
  expect(await rowsOf(page, '#verify-differences')).toEqual([]);
});
