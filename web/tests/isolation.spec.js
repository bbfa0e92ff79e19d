// Isolation on the page against the native quorix-cli isolation design
// --json: every cell of the fixed points' table, the map drawn, the shared
// address, the refusals in the page's words.
const { test, expect, cliOk, openPage } = require('./helpers');

const KEYS = ['D', 'Keff', 'Teff', 'betaEff', 'B', 'Sa', 'F', 'F_bearing', 'Qd', 'Kd', 'Dy', 'slope'];

// Eight bearings of 200 kN at 0.02 m carrying 20000 kN (docs/isolation.md's
// worked example), and a case of the page's own defaults on a table.
const DESIGNS = [
  {
    name: 'S1, ASCE 7',
    fields: { n: '1', gamma: '0.5', alpha: '0.05', fy: '200', uy: '0.02', 'iso-bearings': '8', 'iso-w': '20000',
      'iso-g': '9.81', 'iso-s1': '0.6' },
    sa: 's1', code: 'asce7', args: ['--s1', '0.6'],
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
  return JSON.parse(cliOk(['isolation', 'design', '--json', '--map-points', '201', '--n', f.n, '--gamma', f.gamma,
    '--alpha', f.alpha, '--fy', f.fy, '--uy', f.uy, '--bearings', f['iso-bearings'], '--W', f['iso-w'], '--g', f['iso-g'],
    '--code', d.code, ...d.args]).toString());
}

async function enterDesign(page, d) {
  for (const [id, value] of Object.entries(d.fields)) await page.fill(`#${id}`, value);
  await page.check(d.sa === 'table' ? '#iso-sa-table' : '#iso-sa-s1');
  await page.selectOption('#iso-code', d.code);
}

// The table as shown against the engine's doubles: the columns' heads, and
// each cell's number to the seven digits shown ("none" for no number).
async function tableDifferences(page, expected) {
  const shown = await page.locator('#iso-table').evaluate((table) => ({
    heads: Array.from(table.querySelectorAll('thead tr:last-child th'), (th) => th.textContent).slice(1),
    rows: Object.fromEntries(Array.from(table.querySelectorAll('tbody tr'),
      (tr) => [tr.dataset.key, Array.from(tr.querySelectorAll('td'), (td) => td.textContent)])),
  }));
  const heads = [];
  const problems = [];
  for (const [design, loop] of [[expected, 'model'], [expected.bilinear, 'bilinear loop']]) {
    if (design.points.D.length === 0) heads.push('no fixed point in the range');
    design.points.D.forEach((_, i) => {
      heads.push(`point ${i + 1}` + (i === design.reached ? ' (reached)' : ''));
      for (const key of KEYS) {
        const [text, value] = [shown.rows[key][heads.length - 1], Number(design.points[key][i])];
        const apart = Math.abs(Number(text.split(' ')[0]) - value);
        if (Number.isFinite(value) ? !(apart <= 5e-7 * Math.abs(value) + 1e-300) : text !== 'none') {
          problems.push(`${loop} point ${i + 1} ${key}: ${text} against ${value}`);
        }
      }
    });
  }
  if (JSON.stringify(shown.heads) !== JSON.stringify(heads)) problems.push(`heads ${shown.heads} against ${heads}`);
  return problems;
}

for (const d of DESIGNS) {
  test(`Isolation: ${d.name} as quorix-cli isolation design --json`, async ({ page, context }) => {
    const expected = expectedDesign(d);
    expect(expected.points.D.length, 'the case has a fixed point').toBeGreaterThan(0);
    await openPage(page);
    await enterDesign(page, d);
    await page.click('#iso-design');
    await expect(page.locator('#iso-summary')).toContainText(expected.source);
    await expect(page.locator('#iso-message')).toHaveText('');
    expect(await tableDifferences(page, expected)).toEqual([]);
    // The map drawn is the engine's, point for point (a logarithmic axis
    // shows no next D <= 0), with the line y = D and the fixed points.
    const model = expected.map.D.map((D, i) => [D, Number(expected.map.next[i])]).filter(([, next]) => next > 0);
    const drawn = () => page.evaluate(() => Object.fromEntries(window.echarts.getInstanceByDom(
      document.getElementById('plot-iso')).getOption().series.map((s) => [s.name, s.data])));
    await expect.poll(async () => ((await drawn().catch(() => ({})))['next D, model'] || []).length).toBe(model.length);
    const series = await drawn();
    expect(series['next D, model'].filter(([D, next], i) => !(Math.abs(D - model[i][0]) <= 1e-12 * model[i][0] &&
      Math.abs(next - model[i][1]) <= 1e-9 * model[i][1])), 'points apart from the engine\'s').toEqual([]);
    expect(series['y = D'].map(([x, y]) => x - y)).toEqual([0, 0]);
    expect(series['fixed points, model']).toHaveLength(expected.points.D.length);
    if (d.sa !== 'table') return;
    // Copy link carries the section, and the address designs again; a
    // change of the section then greys what was designed, and says so.
    await context.grantPermissions(['clipboard-read', 'clipboard-write']);
    await page.click('#copy-link');
    const link = new URL(await page.evaluate(() => navigator.clipboard.readText()));
    expect(['iso', 'sa', 'code', 'spectrum'].map((key) => link.searchParams.get(key)))
      .toEqual(['1', 'table', 'en1998', d.fields['iso-spectrum']]);
    const other = await context.newPage();
    await openPage(other, link.search.slice(1));
    for (const [id, value] of Object.entries(d.fields)) await expect(other.locator(`#${id}`), id).toHaveValue(value);
    await expect(other.locator('#iso-code')).toHaveValue('en1998');
    await expect.poll(() => tableDifferences(other, expected).catch((e) => [e.message])).toEqual([]);
    await expect(other.locator('#address-message')).toHaveText('');
    await other.fill('#iso-w', '41');
    await expect(other.locator('#iso-output')).toHaveClass(/\bstale\b/);
    await expect(other.locator('#iso-stale')).toContainText('press Design');
  });
}

// Refused in the page's words: the field marked with its name, the line in
// the page's red, nothing shown (the design before it taken away).
test('Isolation refuses a spectrum in g without g, a table row of three values, a bearing count of 2.5', async ({ page }) => {
  for (const r of [
    { fill: { 'iso-g': '' }, field: 'iso-g', text: /^Nothing computed: g is needed: the spectrum is in g/ },
    { sa: 'table', fill: { 'iso-spectrum': '1 0.8\n2 0.4 9' }, field: 'iso-spectrum',
      text: /^Nothing computed: the spectrum table: line 2 has 3 values/ },
    { fill: { 'iso-bearings': '2.5' }, field: 'iso-bearings',
      text: /^Nothing computed: N \(bearings\): the number of bearings must be a whole number/ },
  ]) {
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
  }
});
