// Where the page cannot run it says so, and how to serve it: served without
// its engine (served as it should be, it has no such note: helpers.js's
// openPage). These pages log the browser's refusals: Playwright's own test,
// not helpers.js's.
const { test, expect } = require('@playwright/test');

const HOW = /python3 -m http\.server.*http:\/\/localhost:8000\//s;

// The engine's loader or its WebAssembly missing: the page says so instead of waiting.
for (const missing of ['quorix-web.js', 'quorix-web.wasm']) {
  test(`served without ${missing}, the page says its engine did not start`, async ({ page }) => {
    await page.route(`**/${missing}`, (route) => route.fulfill({ status: 404, body: 'not here' }));
    await page.goto('/');
    await expect(page.locator('#serve-note')).toBeVisible({ timeout: 30_000 });
    await expect(page.locator('#serve-reason')).toContainText('Its engine did not start');
    await expect(page.locator('#serve-note')).toHaveText(HOW);
    await expect(page.locator('#message')).toContainText('Nothing computed');
  });
}
