// The fields read as quorix-cli reads its arguments: a text that is no
// complete number, or a value outside the model's domain, is refused beside
// its field and nothing is computed; and no result stays under fields it was
// not computed from (a change solves again, a Loop is greyed).
const {
  test, expect, cli, caseArgs, expectedSolve, openPage, shownResults, plotOf, RESULT_IDS, DEFAULT_FIELDS,
} = require('./helpers');

// The page's names of its fields, as its messages name them.
const LABELS = { gamma: 'γ', n: 'n', alpha: 'α', fy: 'Fy', uy: 'Uy', umax: 'Umax/Uy', from: 'From', to: 'To', step: 'Step' };
const notANumber = (id, text) => `${LABELS[id]}: "${text}" is not a number (the decimal point is '.')`;
const EMPTY = Object.fromEntries(RESULT_IDS.map((id) => [id, '']));

// Nothing computed: no result, no lines, no loop (its plot says why).
async function expectNothingComputed(page, message) {
  await expect.poll(() => shownResults(page)).toEqual(EMPTY);
  await expect(page.locator('#materials')).toHaveText('');
  await expect(page.locator('#copy-materials')).toBeDisabled();
  await expect.poll(async () => (await plotOf(page, 'plot-loop')).title).toBe(`No loop: ${message}`);
  await expect(page.locator('#message')).toHaveText(`Nothing computed: ${message}`);
}

async function expectMarked(page, id, message) {
  await expect(page.locator(`#error-${id}`)).toHaveText(message);
  await expect(page.locator(`#error-${id}`)).toBeVisible();
  await expect(page.locator(`#${id}`)).toHaveAttribute('aria-invalid', 'true');
  // Its message is what a screen reader gives for the field.
  expect(await page.locator(`#${id}`).getAttribute('aria-describedby')).toContain(`error-${id}`);
}

async function expectUnmarked(page, id) {
  await expect(page.locator(`#error-${id}`)).toBeHidden();
  await expect(page.locator(`#${id}`)).not.toHaveAttribute('aria-invalid', 'true');
}

// Texts that the window's lenient reading took for a number (2,5 as 2,
// the rest as 0), each typed into one field.
const MISTYPED = [
  { id: 'umax', text: '2,5' },
  { id: 'gamma', text: '0,5' },
  { id: 'n', text: 'abc' },
  { id: 'alpha', text: '' },
  { id: 'fy', text: '0x10' },
  { id: 'uy', text: 'NaN' },
  { id: 'umax', text: '1e' },
  { id: 'n', text: '2.5.1' },
];

for (const { id, text } of MISTYPED) {
  test(`mistyped ${id} "${text}": marked, nothing computed, unmarked once mended`, async ({ page }) => {
    const run = cli(['solve', ...caseArgs({ fields: { [id]: text } })]);
    expect(run.status, 'quorix-cli refuses it too').toBe(2);
    await openPage(page);
    await expect.poll(() => shownResults(page)).toEqual(expectedSolve({}).texts);
    await page.fill(`#${id}`, text);
    await expectMarked(page, id, notANumber(id, text));
    await expectNothingComputed(page, notANumber(id, text));
    await page.fill(`#${id}`, DEFAULT_FIELDS[id]);
    await expectUnmarked(page, id);
    await expect.poll(() => shownResults(page)).toEqual(expectedSolve({}).texts);
    await expect(page.locator('#message')).toHaveText('');
  });
}

// Values outside the model's domain: n > 0, Fy > 0, Uy > 0, 0 ≤ α < 1,
// γ ≥ 0, Umax/Uy ≥ 0. The reason is quorix-cli's own.
const OUTSIDE = [
  { id: 'n', text: '-1' }, { id: 'n', text: '0' }, { id: 'uy', text: '0' }, { id: 'uy', text: '-0.1' },
  { id: 'alpha', text: '1' }, { id: 'alpha', text: '-0.1' }, { id: 'fy', text: '0' }, { id: 'umax', text: '-1' },
  { id: 'gamma', text: '-0.1' },
];

for (const { id, text } of OUTSIDE) {
  test(`outside the domain: ${id} = ${text} refused with its message`, async ({ page }) => {
    const run = cli(['solve', '--json', ...caseArgs({ fields: { [id]: text } })]);
    expect(run.status).toBe(2);
    const { reason } = JSON.parse(run.stdout.toString()).refusal;
    expect(reason).toMatch(/\(outside the model's domain\)$/);
    await openPage(page);
    await page.fill(`#${id}`, text);
    await expectMarked(page, id, `${LABELS[id]}: ${reason}`);
    await expectNothingComputed(page, `${LABELS[id]}: ${reason}`);
  });
}

async function loopDone(page) {
  await expect(page.locator('#loop')).toBeEnabled();
  await expect(page.locator('#stop')).toBeDisabled();
  await expect(page.locator('#sweep-table')).not.toHaveAttribute('aria-busy', 'true');
}

// A Loop's fields, checked when Loop is pressed: the texts quorix-cli
// refuses, and a range whose amplitudes turn negative, which the page
// refuses before any row.
const RANGES = [
  { id: 'from', range: { from: '0,1' }, message: notANumber('from', '0,1') },
  { id: 'to', range: { to: '' }, message: notANumber('to', '') },
  { id: 'step', range: { step: 'abc' }, message: notANumber('step', 'abc') },
  { id: 'from', range: { from: '-1' }, message: "From: Umax/Uy must not be negative: -1 (outside the model's domain)" },
  {
    id: 'to',
    range: { from: '1', to: '-0.4', step: '-0.5' },
    message: "To: the last row's Umax/Uy must not be negative: -0.5 (outside the model's domain)",
  },
];

for (const { id, range, message } of RANGES) {
  test(`refused Loop range ${JSON.stringify(range)}: ${id} marked`, async ({ page }) => {
    await openPage(page);
    await page.click('#loop');
    await loopDone(page);
    await expect(page.locator('#sweep-table tr:has(td)')).toHaveCount(100);
    await expect.poll(async () => (await plotOf(page, 'plot-de')).data.length).toBe(100);
    const curve = await plotOf(page, 'plot-de');
    for (const [field, value] of Object.entries(range)) await page.fill(`#${field}`, value);
    await page.click('#loop');
    await expectMarked(page, id, message);
    await expect(page.locator('#sweep-message')).toHaveText(message);
    await loopDone(page);
    // The last table and curves stay, greyed: its range is no longer the
    // fields'.
    await expect(page.locator('#sweep-table tr:has(td)')).toHaveCount(100);
    // (after the frames in which a Loop's curves are drawn)
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(resolve, 100)))));
    expect(await plotOf(page, 'plot-de'), 'the last curve').toEqual(curve);
    await expect(page.locator('#sweep-output')).toHaveClass(/\bstale\b/);
    await page.fill(`#${id}`, '0.5');
    await expectUnmarked(page, id);
  });
}

// The state of the loop integrals' row in one task of the page: what a
// user sees at that moment.
function kcdRow(page) {
  return page.evaluate(() => ({
    caption: document.getElementById('caption-Kcd').textContent,
    text: document.getElementById('result-Kcd').textContent,
    stale: document.getElementById('results-table').classList.contains('stale'),
  }));
}

test('switching Complementary to Direct solves again; no value stands under the other set\'s caption', async ({ page }) => {
  const complementary = expectedSolve({});
  const direct = expectedSolve({ mode: 'direct' });
  expect(direct.texts.Kcd, 'the two sets differ here').not.toBe(complementary.texts.Kcd);
  await openPage(page);
  await page.click('#loop');
  await loopDone(page);
  await page.check('#mode-direct');
  const at = await kcdRow(page);
  const mislabelled = at.caption === 'Kcd :' && at.text === complementary.texts.Kcd && !at.stale;
  expect(mislabelled, `right after the switch: ${JSON.stringify(at)}`).toBe(false);
  await expect.poll(() => shownResults(page)).toEqual(direct.texts);
  await expect(page.locator('#caption-Kcd')).toHaveText('Kcd :');
  await expect(page.locator('#results-table')).not.toHaveClass(/\bstale\b/);
  // The Loop was made in Complementary: greyed, and says so.
  await expect(page.locator('#sweep-output')).toHaveClass(/\bstale\b/);
  await expect(page.locator('#sweep-stale')).not.toHaveText('');
  await expect(page.locator('#sweep-case')).toContainText('Complementary');
  // Back to the Loop's case: no longer greyed.
  await page.check('#mode-complementary');
  await expect(page.locator('#sweep-output')).not.toHaveClass(/\bstale\b/);
  await expect(page.locator('#sweep-stale')).toHaveText('');
  await expect.poll(() => shownResults(page)).toEqual(complementary.texts);
});

// A field typed into: the results are greyed at once and the case solved
// after the pause; the loop's plot names the amplitude it was drawn for.
const TYPED = [
  { id: 'umax', text: '3' },
  { id: 'gamma', text: '0.4' },
  { id: 'accurate', check: true },
];

for (const { id, text, check } of TYPED) {
  test(`a change of ${id} solves again, greyed until then`, async ({ page }) => {
    const fields = text ? { [id]: text } : {};
    const expected = expectedSolve({ fields, accurate: Boolean(check) });
    await openPage(page);
    const stale = check
      ? await page.evaluate(() => {
        document.getElementById('accurate').click();
        return document.getElementById('results-table').classList.contains('stale');
      })
      : await page.evaluate(([field, value]) => {
        const input = document.getElementById(field);
        input.value = value;
        input.dispatchEvent(new Event('input', { bubbles: true }));
        return document.getElementById('results-table').classList.contains('stale');
      }, [id, text]);
    expect(stale, 'greyed at once').toBe(true);
    await expect.poll(() => shownResults(page)).toEqual(expected.texts);
    await expect(page.locator('#results-table')).not.toHaveClass(/\bstale\b/);
    const umax = fields.umax || DEFAULT_FIELDS.umax;
    await expect.poll(async () => (await plotOf(page, 'plot-loop')).title).toBe(`Hysteresis loop at Umax/Uy = ${umax}`);
    const subtext = (await plotOf(page, 'plot-loop')).subtext;
    expect(subtext).toContain(check ? 'accurate' : 'the specified arithmetic');
    if (id === 'gamma') expect(subtext).toContain('γ 0.4');
  });
}
