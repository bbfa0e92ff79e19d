// The case as analysis programs write it, and read from their lines, on the
// page against quorix-cli solve --as all, --material and --csi-wen.
const {
  test, expect, cli, cliOk, caseArgs, expectedSolve, openPage, enterCase, shownResults,
} = require('./helpers');

// The lines quorix-cli solve --as all prints after the twelve results.
function materialLines(stdout) {
  const lines = stdout.toString().split('\n');
  const at = lines.findLastIndex((l) => l.includes(' : ')) + 1;
  return lines.slice(at).filter((l) => l !== '').join('\n');
}

// γ = β: the Wen link is written too. Each line's Copy puts its bare
// command on the clipboard (no program's name before it), which the page's
// own reader takes back to the same case.
test('the lines written are quorix-cli solve --as all\'s; each Copy copies a command the reader takes', async ({ page, context }) => {
  const c = { accurate: true, fields: { gamma: '0.5', n: '1.5' } };
  const expected = materialLines(cliOk(['solve', ...caseArgs(c), '--as', 'all'])).split('\n');
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
    const command = expected[i].slice(expected[i].indexOf(': ') + 2);
    await buttons.nth(i).click();
    await expect.poll(() => page.evaluate(() => navigator.clipboard.readText()), names[i]).toBe(command);
    // Read back (after the case is set elsewhere): the case of the lines, solved.
    await page.fill('#n', '3');
    await page.fill('#material', await page.evaluate(() => navigator.clipboard.readText()));
    await page.click('#read-material');
    await expect(page.locator('#material-message'), names[i]).toHaveText('');
    for (const id of ['Za', 'DE', 'XiEq']) await expect(page.locator(`#result-${id}`), `${names[i]}: ${id}`).toHaveText(solved[id]);
  }
});

// A line read into the fields (each number the shortest text that reads
// back as the line's double) and solved: the results are quorix-cli's for
// those fields and for the line.
const READ = [
  { name: 'a BoucWen Tcl line', line: 'uniaxialMaterial BoucWen 7 0.05 30 1.5 6.5 11.2 1 0 0 0', option: '--material' },
  { name: "CSI's Wen link", line: 'k=40,yield=3.2,ratio=0.02,exp=2.5', option: '--csi-wen' },
];

for (const { name, line, option } of READ) {
  test(`material read: ${name}`, async ({ page }) => {
    const mapped = JSON.parse(cliOk(['solve', '--json', `${option}=${line}`]).toString()).case;
    const fields = {};
    for (const id of ['n', 'gamma', 'alpha', 'fy', 'uy']) {
      fields[id] = String(mapped[id]);  // the shortest text of the line's double
    }
    await openPage(page);
    await page.fill('#material', line);
    await page.press('#material', 'Enter');
    for (const [id, text] of Object.entries(fields)) await expect(page.locator(`#${id}`), id).toHaveValue(text);
    const expected = expectedSolve({ fields: { ...fields, umax: '1' } });
    await expect.poll(() => shownResults(page)).toEqual(expected.texts);
    await expect(page.locator('#material-message')).toHaveText('');
    // The line itself gives the same texts: the fields hold its very case.
    const direct = cliOk(['solve', `${option}=${line}`]).toString();
    for (const [id, text] of Object.entries(expected.texts)) expect(direct, id).toContain(` : ${text}\n`);
  });
}

// In the page's words: "the material line", not the command line's option.
test('a material line quorix-cli refuses leaves the case and says why', async ({ page }) => {
  const line = 'uniaxialMaterial BoucWen 1 0.1 25.7 2 8.1 73 1 0.1 0 0';
  const refused = cli(['solve', `--material=${line}`]);
  expect(refused.status).not.toBe(0);
  const cliMessage = refused.stderr.split('\n')[0].replace(/^quorix-cli: /, '');
  expect(cliMessage).toMatch(/^--material: /);
  const reason = cliMessage.replace(/^--material: /, 'the material line: ');
  await openPage(page);
  const before = await shownResults(page);
  await page.fill('#material', line);
  await page.click('#read-material');
  await expect(page.locator('#material-message')).toHaveText(`Nothing read: ${reason}`);
  await expect(page.locator('#material-message')).toHaveClass(/\berror\b/);
  await expect(page.locator('#n')).toHaveValue('2.0');
  expect(await shownResults(page)).toEqual(before);
});
