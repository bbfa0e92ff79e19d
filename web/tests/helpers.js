// What the page's tests share: the native quorix-cli, run at test time for
// every expected value, and the steps every test takes on the page.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { test: base, expect } = require('@playwright/test');

const CLI = process.env.QUORIX_CLI;

// In the order quorix-cli solve prints them.
const RESULT_IDS = ['Za', 'Fha', 'Fela', 'Fa', 'Kcd', 'Kda', 'DEOverFyUy', 'DEOverFhUy', 'DE', 'XiEq', 'Ksec',
  'KsecOverK0'];

// The page's defaults: a case names only what it changes.
const DEFAULT_FIELDS = { n: '2.0', gamma: '0.9', alpha: '0.10', fy: '2.86', uy: '0.111', umax: '1' };
const FIELD_OPTIONS = { n: '--n', gamma: '--gamma', alpha: '--alpha', fy: '--fy', uy: '--uy', umax: '--u' };

function cli(args) {
  if (!CLI) throw new Error('QUORIX_CLI is not set: the path of the native quorix-cli');
  const run = spawnSync(CLI, args, { maxBuffer: 1 << 30 });
  if (run.error) throw run.error;
  return { status: run.status, stdout: run.stdout, stderr: run.stderr.toString() };
}

function cliOk(args) {
  const run = cli(args);
  if (run.status !== 0) throw new Error(`quorix-cli ${args.join(' ')} failed (${run.status}): ${run.stderr}`);
  return run.stdout;
}

// A case: { fields: {gamma: '0.5', ...}, mode: 'direct' | 'complementary', accurate: bool }.
// A sweep takes no amplitude: its range replaces Umax/Uy.
function caseArgs(c, { amplitude = true } = {}) {
  const fields = { ...DEFAULT_FIELDS, ...(c.fields || {}) };
  const args = [];
  for (const [id, option] of Object.entries(FIELD_OPTIONS)) if (amplitude || id !== 'umax') args.push(option, fields[id]);
  args.push(c.mode === 'direct' ? '--direct' : '--complementary');
  if (c.accurate) args.push('--accurate');
  return args;
}

// quorix-cli sweep's arguments for a case and a range {from, to, step}.
const sweepArgs = (c, r) => ['sweep', ...caseArgs(c, { amplitude: false }), '--from', r.from, '--to', r.to, '--step', r.step];

// quorix-cli solve's "caption : text" lines: the texts and captions the page shows.
function expectedSolve(c) {
  const lines = cliOk(['solve', ...caseArgs(c)]).toString().split('\n').filter((l) => l.includes(' : '));
  const texts = {};
  const captions = {};
  RESULT_IDS.forEach((id, i) => {
    const at = lines[i].indexOf(' : ');
    captions[id] = lines[i].slice(0, at + 2).trim();
    texts[id] = lines[i].slice(at + 3);
  });
  return { texts, captions };
}

// How far a number's text lies from a reference, relative; Infinity for no number.
function relativeDifference(text, reference) {
  const [a, b] = [Number(text), Number(reference)];
  if (String(text).trim() === '' || !Number.isFinite(a)) return Infinity;
  return a === b ? 0 : Math.abs(a - b) / Math.max(Math.abs(a), Math.abs(b));
}

// A number as the page's tables show it against quorix-cli's (every
// digit): the same text, or at most eight significant digits rounded from
// it (seven: half a unit in the 7th place, 5e-7 relative at most); null
// when it is, else what is wrong.
function shownDifference(shown = '', full) {
  if (shown === String(full)) return null;
  const significant = shown.replace(/^[+-]?0*\.?0*/, '').replace(/e.*$/, '').replace('.', '').length;
  if (significant > 8) return `${shown}: ${significant} significant digits`;
  return relativeDifference(shown, full) <= 5e-7 ? null : `"${shown}" is not ${full} rounded`;
}

// A table's rows as shown against quorix-cli's, by shownDifference: what
// is wrong, a row count that differs among it.
const shownTableDifferences = (shownRows, fullRows) => [
  ...(shownRows.length === fullRows.length ? [] : [`${shownRows.length} rows, not ${fullRows.length}`]),
  ...fullRows.flatMap((row, i) => row.map((cell, j) => shownDifference((shownRows[i] || [])[j], cell)).filter((d) => d))];

// A table's rows (`selector` tr) as their cells' texts, head cells too.
function cellRows(page, selector) {
  return page.locator(`${selector} tr`).evaluateAll(
    (rows) => rows.map((r) => Array.from(r.querySelectorAll('td, th'), (c) => c.textContent.trim())));
}

// A file of a fresh folder, with `text` written in it when given.
function tempFile(name, text) {
  const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'quorix-web-test-')), name);
  if (text !== undefined) fs.writeFileSync(file, text);
  return file;
}

async function openPage(page, query = '') {
  await page.goto(query ? `/?${query}` : '/');
  await expect(page.locator('body')).toHaveAttribute('data-ready', '1', { timeout: 30_000 });
  await expect(page.locator('#serve-note')).toBeHidden();
}

async function enterCase(page, c) {
  for (const [id, value] of Object.entries(c.fields || {})) await page.fill(`#${id}`, value);
  await page.check(c.mode === 'direct' ? '#mode-direct' : '#mode-complementary');
  await page.setChecked('#accurate', Boolean(c.accurate));
}

async function shownResults(page) {
  const texts = {};
  for (const id of RESULT_IDS) texts[id] = await page.locator(`#result-${id}`).textContent();
  return texts;
}

// Loop's end: the button usable again, Stop not, and every row of the table there.
async function loopDone(page) {
  await expect(page.locator('#loop')).toBeEnabled();
  await expect(page.locator('#stop')).toBeDisabled();
  await expect(page.locator('#sweep-table')).not.toHaveAttribute('aria-busy', 'true');
}

async function runLoop(page, range = {}) {
  for (const [id, value] of Object.entries(range)) await page.fill(`#${id}`, value);
  await page.click('#loop');
  await loopDone(page);
}

// The Loop table's data rows as their cells' texts.
function tableRows(page) {
  return page.locator('#sweep-table tr:has(td)').evaluateAll(
    (rows) => rows.map((r) => Array.from(r.querySelectorAll('td'), (td) => td.textContent.trim())));
}

// What clicking `selector` downloads: {name, bytes}.
async function download(page, selector) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.click(selector)]);
  return { name: file.suggestedFilename(), bytes: fs.readFileSync(await file.path()) };
}

// A plot as its chart holds it: its title, subtext, first series' points and
// its axes' names;
// null before the chart library has drawn it.
function plotOf(page, id) {
  return page.evaluate((plotId) => {
    const chart = window.echarts && window.echarts.getInstanceByDom(document.getElementById(plotId));
    if (!chart) return null;
    const option = chart.getOption();
    const [title] = option.title || [{}];
    const axis = (a) => (a && a.length ? a[0].name : '');
    return { title: title.text || '', subtext: title.subtext || '', data: option.series && option.series.length ? option.series[0].data : [],
      axes: [axis(option.xAxis), axis(option.yAxis)] };
  }, id);
}

// Every test fails on an error the page logs or throws, whatever it checks.
const test = base.extend({
  page: async ({ page }, use) => {
    const errors = [];
    page.on('console', (m) => {
      if (m.type() === 'error') errors.push(`console: ${m.text()} (${m.location().url || 'no address'})`);
    });
    page.on('pageerror', (e) => errors.push(`page error: ${e.message}`));
    page.on('crash', () => errors.push('page crashed'));
    await use(page);
    expect(errors, 'errors on the page').toEqual([]);
  },
});

module.exports = {
  test, expect, cli, cliOk, caseArgs, sweepArgs, expectedSolve, tempFile, openPage, enterCase, shownResults, loopDone, runLoop,
  tableRows, download, plotOf, relativeDifference, shownDifference, shownTableDifferences, cellRows, RESULT_IDS, DEFAULT_FIELDS,
};
