// Isolation on the page against the native quorix-cli isolation design
// --json: every cell of the fixed points' table, the iteration's point, the
// map drawn with the line y = D, the shared address, the refusals in the
// page's words, the plot's PNG.
const {
  test, expect, cliOk, openPage, download, plotOf,
} = require('./helpers');

const MAP_POINTS = '201';
const KEYS = ['D', 'Keff', 'Teff', 'betaEff', 'B', 'Sa', 'F', 'F_bearing', 'Qd', 'Kd', 'Dy', 'slope'];

// Eight bearings of 200 kN at 0.02 m carrying 20000 kN (docs/isolation.md's
// worked example), and a case of the page's own defaults on a table.
const DESIGNS = [
  {
    name: 'S1, ASCE 7',
    fields: { n: '1', gamma: '0.5', alpha: '0.05', fy: '200', uy: '0.02', 'iso-bearings': '8', 'iso-w': '20000',
      'iso-g': '9.81', 'iso-s1': '0.6' },
    sa: 's1', code: 'asce7',
    args: ['--s1', '0.6'],
  },
  {
    name: 'a pasted table, EN 1998, a range of its own',
    fields: { n: '2', gamma: '0.9', alpha: '0.1', fy: '2.86', uy: '0.111', 'iso-bearings': '4', 'iso-w': '40',
      'iso-g': '9.81', 'iso-spectrum': 'T Sa\n0.1\t1.2\n0.5, 1.0\n1 0.8\n2 0.4\n4 0.15\n8 0.05',
      'iso-dmin': '0.002', 'iso-dmax': '20' },
    sa: 'table', code: 'en1998',
    args: ['--spectrum', '0.1:1.2,0.5:1.0,1:0.8,2:0.4,4:0.15,8:0.05', '--dmin', '0.002', '--dmax', '20'],
  },
];

function expectedDesign(d) {
  const f = d.fields;
  const args = ['isolation', 'design', '--json', '--map-points', MAP_POINTS, '--n', f.n, '--gamma', f.gamma, '--alpha',
    f.alpha, '--fy', f.fy, '--uy', f.uy, '--bearings', f['iso-bearings'], '--W', f['iso-w'], '--g', f['iso-g'],
    '--code', d.code, ...d.args];
  return JSON.parse(cliOk(args).toString());
}

async function enterDesign(page, d) {
  for (const [id, value] of Object.entries(d.fields)) await page.fill(`#${id}`, value);
  await page.check(d.sa === 'table' ? '#iso-sa-table' : '#iso-sa-s1');
  await page.selectOption('#iso-code', d.code);
}

// The table as shown: {heads, rows: {key: [cell texts]}}, the names' column left out.
function shownTable(page) {
  return page.locator('#iso-table').evaluate((table) => {
    const heads = Array.from(table.querySelectorAll('thead tr:last-child th'), (th) => th.textContent).slice(1);
    const rows = {};
    for (const tr of table.querySelectorAll('tbody tr')) {
      rows[tr.dataset.key] = Array.from(tr.querySelectorAll('td'), (td) => td.textContent);
    }
    return { heads, rows };
  });
}

// A cell's number equals the engine's double to the seven digits shown; a
// double that is no number is shown as "none".
function expectCell(text, value, what) {
  const expected = Number(value);
  if (!Number.isFinite(expected)) {
    expect(text, what).toBe('none');
    return;
  }
  const shown = Number(text.split(' ')[0]);
  expect(Math.abs(shown - expected), `${what}: ${text} against ${expected}`)
    .toBeLessThanOrEqual(5e-7 * Math.abs(expected) + 1e-300);
}

function expectTable(shown, expected) {
  let column = 0;
  for (const [design, loop] of [[expected, 'model'], [expected.bilinear, 'bilinear loop']]) {
    const count = design.points.D.length;
    if (count === 0) expect(shown.heads[column++]).toBe('no fixed point in the range');
    for (let i = 0; i < count; ++i, ++column) {
      expect(shown.heads[column], `${loop} point ${i + 1}`).toBe(`point ${i + 1}` + (i === design.reached ? ' (reached)' : ''));
      for (const key of KEYS) expectCell(shown.rows[key][column], design.points[key][i], `${loop} point ${i + 1} ${key}`);
      const beta = Number(design.points.betaEff[i]);
      const percent = Number(/\(([-\d.e]+) %\)$/.exec(shown.rows.betaEff[column])[1]);
      expect(Math.abs(percent - 100 * beta), 'βeff in %').toBeLessThanOrEqual(5e-5 * beta);
      expect(shown.rows.iteration[column]).toBe(i === design.reached ? `reached in ${design.iterations} steps`
        : Math.abs(design.points.slope[i]) < 1 ? 'not reached (attracts)' : 'not reached (repels)');
    }
  }
  expect(shown.heads).toHaveLength(column);
}

// The map drawn is the engine's, point for point, with y = D over the range.
async function expectMap(page, expected) {
  await expect.poll(async () => ((await plotOf(page, 'plot-iso')) || { data: [] }).data.length).toBeGreaterThan(100);
  const series = await page.evaluate(() => {
    const option = window.echarts.getInstanceByDom(document.getElementById('plot-iso')).getOption();
    return option.series.map((s) => ({ name: s.name, data: s.data }));
  });
  const model = expected.map.D.map((D, i) => [D, Number(expected.map.next[i])]).filter(([, next]) => next > 0);
  expect(series[0].name).toBe('next D, model');
  expect(series[0].data).toHaveLength(model.length);
  series[0].data.forEach(([D, next], i) => {
    expect(Math.abs(D - model[i][0])).toBeLessThanOrEqual(1e-12 * model[i][0]);
    expect(Math.abs(next - model[i][1])).toBeLessThanOrEqual(1e-9 * model[i][1]);
  });
  const line = series.find((s) => s.name === 'y = D');
  expect(line.data.map(([x, y]) => x - y)).toEqual([0, 0]);
  expect(series.find((s) => s.name === 'fixed points, model').data.map(([D]) => D))
    .toHaveLength(expected.points.D.length);
}

for (const d of DESIGNS) {
  test(`Isolation: ${d.name} as quorix-cli isolation design --json`, async ({ page }) => {
    const expected = expectedDesign(d);
    expect(expected.points.D.length, 'the case has a fixed point').toBeGreaterThan(0);
    await openPage(page);
    await enterDesign(page, d);
    await page.click('#iso-design');
    await expect(page.locator('#iso-summary')).toContainText(expected.source);
    await expect(page.locator('#iso-message')).toHaveText('');
    expectTable(await shownTable(page), expected);
    const reached = expected.reached;
    await expect(page.locator('#iso-summary')).toContainText(reached >= 0
      ? `reaches point ${reached + 1}` : 'settles on no fixed point');
    await expectMap(page, expected);
    const png = await download(page, '#plot-iso-png');
    expect(png.name).toBe('plot-iso.png');
    expect(png.bytes.subarray(0, 8).toString('hex')).toBe('89504e470d0a1a0a');
  });
}

test('Isolation: Copy link carries the section, and the address designs again', async ({ page, context }) => {
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  const d = DESIGNS[1];
  await openPage(page);
  await enterDesign(page, d);
  await page.click('#iso-design');
  await expect(page.locator('#iso-summary')).not.toHaveText('');
  await page.click('#copy-link');
  const link = await page.evaluate(() => navigator.clipboard.readText());
  const params = new URL(link).searchParams;
  expect([params.get('iso'), params.get('sa'), params.get('code'), params.get('spectrum')])
    .toEqual(['1', 'table', 'en1998', d.fields['iso-spectrum']]);
  const other = await context.newPage();
  await openPage(other, new URL(link).search.slice(1));
  for (const [id, value] of Object.entries(d.fields)) await expect(other.locator(`#${id}`), id).toHaveValue(value);
  await expect(other.locator('#iso-code')).toHaveValue('en1998');
  expectTable(await shownTable(other), expectedDesign(d));
  await expect(other.locator('#address-message')).toHaveText('');
  // A change of the section greys what was designed, and says so.
  await other.fill('#iso-w', '41');
  await expect(other.locator('#iso-output')).toHaveClass(/\bstale\b/);
  await expect(other.locator('#iso-stale')).toContainText('press Design');
});

// Refused in the page's words: the field marked with its name, the line in
// the page's red, nothing shown.
const REFUSALS = [
  { name: 'a spectrum in g without g', fill: { 'iso-g': '' }, field: 'iso-g',
    text: /^Nothing computed: g is needed: the spectrum is in g/ },
  { name: 'a table row of three values', sa: 'table', fill: { 'iso-spectrum': '1 0.8\n2 0.4 9' }, field: 'iso-spectrum',
    text: /^Nothing computed: the spectrum table: line 2 has 3 values/ },
  { name: 'a bearing count that is no whole number', fill: { 'iso-bearings': '2.5' }, field: 'iso-bearings',
    text: /^Nothing computed: N \(bearings\): the number of bearings must be a whole number/ },
];

for (const r of REFUSALS) {
  test(`Isolation refuses ${r.name}`, async ({ page }) => {
    await openPage(page);
    await page.click('#iso-design');
    await expect(page.locator('#iso-summary')).not.toHaveText('');
    for (const [id, value] of Object.entries(r.fill)) await page.fill(`#${id}`, value);
    if (r.sa) await page.check('#iso-sa-table');
    await page.click('#iso-design');
    await expect(page.locator('#iso-message')).toHaveText(r.text);
    await expect(page.locator('#iso-message')).toHaveClass(/\berror\b/);
    await expect(page.locator(`#${r.field}`)).toHaveAttribute('aria-invalid', 'true');
    await expect(page.locator(`#error-${r.field}`)).toBeVisible();
    await expect(page.locator('#iso-table tr')).toHaveCount(0);
    await expect(page.locator('#iso-message')).not.toContainText('--');
  });
}
