// Where the page cannot run it says so, and how to serve it: opened from a
// file, without JavaScript, or served without its engine. These pages log
// the browser's refusals: Playwright's own test, not helpers.js's.
const path = require('node:path');
const { test, expect } = require('@playwright/test');

const SITE = path.join(__dirname, '..', '..', 'build', 'web', 'site');
const HOW = /python3 -m http\.server.*http:\/\/localhost:8000\//s;

test('opened from a file, the page says how to serve it', async ({ page }) => {
  await page.goto('file://' + path.join(SITE, 'index.html'));
  const note = page.locator('#serve-note');
  await expect(note).toBeVisible();
  await expect(note).toHaveText(HOW);
  await expect(note.locator('a')).toHaveAttribute('href', 'http://localhost:8000/');
});

test.describe('without JavaScript', () => {
  test.use({ javaScriptEnabled: false });
  test('the page says it needs JavaScript', async ({ page }) => {
    await page.goto('/');
    // (Playwright's text search leaves noscript out: the block itself.)
    const note = page.locator('noscript p');
    await expect(note).toBeVisible();
    await expect(note).toContainText('This page computes with JavaScript, which is off in this browser');
    await expect(page.locator('#serve-note')).toBeHidden();
  });
});

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

test('served over http, the page has no such note', async ({ page }) => {
  await page.goto('/');
  await expect(page.locator('body')).toHaveAttribute('data-ready', '1', { timeout: 30_000 });
  await expect(page.locator('#serve-note')).toBeHidden();
});
