// The case as analysis programs write it, and read from their lines, on the
// page against quorix-cli solve --as all and --material.
const { test, expect, cli, cliOk, caseArgs, expectedSolve, openPage, enterCase, shownResults } = require('./helpers');

// γ = β: the Wen link is written too. Each line's Copy puts its bare
// command on the clipboard (no program's name before it), which the page's
// own reader (Read, or Enter in its field) takes back to the same case,
// solved, from a case set elsewhere.
test('the lines written are quorix-cli solve --as all\'s; each Copy copies a command the reader takes', async ({ page, context }) => {
  const c = { accurate: true, fields: { gamma: '0.5', n: '1.5' } };
  const out = cliOk(['solve', ...caseArgs(c), '--as', 'all']).toString().split('\n');
  const expected = out.slice(out.findLastIndex((l) => l.includes(' : ')) + 1).filter((l) => l !== '');
  expect(expected.join('\n'), 'quorix-cli writes lines after the results').toContain('uniaxialMaterial BoucWen ');
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  await openPage(page);
  await enterCase(page, c);
  await page.click('#solve');
  await expect.poll(() => page.locator('#materials li').allTextContents())
    .toEqual(expected.map((line) => `${line} Copy`));
  const buttons = page.locator('#materials button');
  await expect(buttons).toHaveCount(expected.length);
  const names = await buttons.evaluateAll((all) => all.map((b) => b.getAttribute('aria-label')));
  expect(new Set(names).size, `one name for each Copy: ${names.join(', ')}`).toBe(expected.length);
  const solved = expectedSolve(c).texts;
  for (let i = 0; i < expected.length; ++i) {
    await buttons.nth(i).click();
    await expect.poll(() => page.evaluate(() => navigator.clipboard.readText()), names[i])
      .toBe(expected[i].slice(expected[i].indexOf(': ') + 2));
    await page.fill('#n', '3');
    await page.fill('#material', await page.evaluate(() => navigator.clipboard.readText()));
    if (i % 2) await page.press('#material', 'Enter');
    else await page.click('#read-material');
    await expect(page.locator('#material-message'), names[i]).toHaveText('');
    await expect(page.locator('#n'), names[i]).toHaveValue('1.5');
    for (const id of ['Za', 'DE', 'XiEq']) await expect(page.locator(`#result-${id}`), `${names[i]}: ${id}`).toHaveText(solved[id]);
  }
  // A line quorix-cli refuses leaves the case and says why, in the page's
  // words: "the material line", not the command line's option.
  const line = 'uniaxialMaterial BoucWen 1 0.1 25.7 2 8.1 73 1 0.1 0 0';
  const refused = cli(['solve', `--material=${line}`]);
  expect(refused.stderr).toMatch(/^quorix-cli: --material: /);
  const before = await shownResults(page);
  await page.fill('#material', line);
  await page.click('#read-material');
  await expect(page.locator('#material-message'))
    .toHaveText(`Nothing read: ${refused.stderr.split('\n')[0].replace(/^quorix-cli: --material: /, 'the material line: ')}`);
  await expect(page.locator('#material-message')).toHaveClass(/\berror\b/);
  await expect(page.locator('#n')).toHaveValue('1.5');
  expect(await shownResults(page)).toEqual(before);
});
