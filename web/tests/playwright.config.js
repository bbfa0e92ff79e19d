// The page's browser tests: Debian's chromium (Playwright's own browser
// downloads are out of reach), the site that scripts/web.sh assembles and
// serves, and the native quorix-cli (env QUORIX_CLI) as the source of every
// expected value.
const path = require('node:path');
const { defineConfig } = require('@playwright/test');

const repo = path.resolve(__dirname, '..', '..');
const port = Number(process.env.QUORIX_WEB_PORT || 8765);

module.exports = defineConfig({
  testDir: '.',
  testMatch: '*.spec.js',
  // One browser at a time: the machine's two cores are shared, and the
  // engine's sweeps are timed by what a test waits for.
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
      // Without the background-networking flags chromium keeps reaching for
      // Google's services, which a closed network refuses, and logs it.
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync'],
    },
  },
  webServer: {
    // The page as users get it: the script's own server (it builds nothing
    // new when build/web/site is current). The server's line for every
    // request that succeeded is left out of the log; failures stay in it.
    command: `bash scripts/web.sh --port ${port} 2>&1 | grep --line-buffered -v '" [23]0[0-9] -$'`,
    cwd: repo,
    url: `http://127.0.0.1:${port}/`,
    reuseExistingServer: false,
    timeout: 600_000,
    stdout: 'pipe',
    stderr: 'pipe',
  },
});
