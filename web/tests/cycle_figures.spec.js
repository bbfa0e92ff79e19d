// The page's cycles' table with an isolator's figures (D, Qd, Kd, Dy, the
// amplitude group and the ratios to its means) against quorix-cli cycles, on
// bilinear loops whose figures are known: Qd = 1, Kd = 0.1, Dy = 1.3 at D = 10.
const fs = require('node:fs');
const { test, expect, cliOk, tempFile, openPage } = require('./helpers');

const FIGURES = ['D', 'Qd', 'Kd', 'Dy', 'group', 'Keff_ratio', 'EDC_ratio'];

// Two clockwise bilinear loops, seven samples a straight piece, or (elastic)
// F = 0.2 u along the same path; rest before, the last top and rest after.
function loopsFile(name, elastic) {
  const [D, Dy, Qd, Kd] = [10, 1.3, 1, 0.1];
  const Fm = Qd + Kd * D;
  const u = [D, D - 2 * Dy, -D, -D + 2 * Dy, D];
  const F = [Fm, -Qd + Kd * u[1], -Fm, Qd + Kd * u[3], Fm];
  const lines = ['u [mm];F [kN]', '0;0'];
  for (let loop = 0; loop < 2; ++loop) {
    for (let piece = 0; piece < 4; ++piece) {
      for (let k = 0; k < 7; ++k) {
        const x = u[piece] + (k / 7) * (u[piece + 1] - u[piece]);
        lines.push(`${x};${elastic ? 0.2 * x : F[piece] + (k / 7) * (F[piece + 1] - F[piece])}`);
      }
    }
  }
  lines.push(`${D};${elastic ? 0.2 * D : Fm}`, '0;0');
  const file = tempFile(name);
  fs.writeFileSync(file, `${lines.join('\n')}\n`);
  return file;
}

function cellRows(page) {
  return page.locator('#cycles-table tr').evaluateAll(
    (rows) => rows.map((r) => Array.from(r.querySelectorAll('td, th'), (c) => c.textContent.trim())));
}

// A shown cell against quorix-cli's: the same dash, or the same number to the
// page's eight digits.
function agrees(shown, printed) {
  if (printed === '' || printed === '\u2014' || shown === '\u2014') return shown === printed;
  const [a, b] = [Number(shown), Number(printed)];
  return Number.isFinite(a) && Math.abs(a - b) <= 1e-7 * Math.max(Math.abs(b), 1e-300);
}

for (const [name, elastic] of [['lead.txt', false], ['elastic.txt', true]]) {
  test(`cycles' isolator figures: ${name}`, async ({ page }) => {
    const file = loopsFile(name, elastic);
    // The cells as quorix-cli gives them, the steady cycles' mean among them.
    const printed = JSON.parse(cliOk(['cycles', '--json', file]).toString()).table;
    const head = printed[0];
    expect(head.slice(-FIGURES.length)).toEqual(FIGURES);
    await openPage(page);
    await page.setInputFiles('#record-file', file);
    await expect.poll(async () => (await cellRows(page)).length).toBe(printed.length);
    const shown = await cellRows(page);
    expect(shown[0]).toEqual(head);
    const at = head.indexOf('Qd');
    for (let r = 1; r < printed.length; ++r) {
      const pairs = FIGURES.map((f, i) => [f, shown[r][at - 1 + i], printed[r][at - 1 + i]]);
      expect(pairs.filter(([, s, p]) => !agrees(s, p)), `row ${r}`).toEqual([]);
    }
    if (elastic) {
      expect(shown[1][head.indexOf('Kd')]).toBe('\u2014');
      await expect(page.locator('#record-message')).toContainText('no equivalent bilinear loop (Kd, Dy) for cycles 1-2');
    } else {
      expect(Number(shown[1][at])).toBeCloseTo(1, 12);  // Qd
      expect(Number(shown[1][head.indexOf('Dy')])).toBeCloseTo(1.3, 7);
    }
  });
}
