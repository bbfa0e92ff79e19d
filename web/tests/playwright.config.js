// The page's browser tests: Debian's chromium, the site scripts/web.sh
// serves, and the native quorix-cli (env QUORIX_CLI) for every expected value.
const path = require('node:path');
const { defineConfig } = require('@playwright/test');

const repo = path.resolve(__dirname, '..', '..');
const port = Number(process.env.QUORIX_WEB_PORT || 8765);

module.exports = defineConfig({
  testDir: '.',
  testMatch: '*.spec.js',
  // One browser at a time: the two cores are shared, and sweeps are timed.
  workers: 1,
  fullyParallel: false,
  forbidOnly: true,
  retries: 0,
  timeout: 60_000,
  expect: { timeout: 15_000 },
  reporter: [['list']],
  outputDir: path.join(repo, 'build', 'web-test', 'results'),
  use: {
    baseURL: `http://127.0.0.1:${port}/`,
    browserName: 'chromium',
    headless: true,
    acceptDownloads: true,
    launchOptions: {
      executablePath: process.env.QUORIX_CHROMIUM || '/usr/bin/chromium',
      // Else chromium keeps reaching for its vendor's services, and logs the refusals.
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync'],
    },
  },
  webServer: {
    // The page as users get it, from the script's own server; its log keeps
    // only the requests that failed.
    command: `bash scripts/web.sh --port ${port} 2>&1 | grep --line-buffered -v '" [23]0[0-9] -$'`,
    cwd: repo,
    url: `http://127.0.0.1:${port}/`,
    reuseExistingServer: false,
    timeout: 600_000,
    stdout: 'pipe',
    stderr: 'pipe',
  },
});
