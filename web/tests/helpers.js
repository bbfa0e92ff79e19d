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

function tempFile(name) {
  return path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'quorix-web-test-')), name);
}

async function openPage(page, query = '') {
  await page.goto(query ? `/?${query}` : '/');
  await expect(page.locator('body')).toHaveAttribute('data-ready', '1', { timeout: 30_000 });
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
  test, expect, cli, cliOk, caseArgs, expectedSolve, tempFile, openPage, enterCase, shownResults, loopDone, runLoop,
  tableRows, download, plotOf, RESULT_IDS, DEFAULT_FIELDS,
};
