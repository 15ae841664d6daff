// Browser test of `nusk webserver`: Debian's chromium driven by playwright-core loads the
// search page, types a query, pages through "/query.json", follows a file link and logs
// in through the digest prompt. Screenshots go to the --out folder.
//   node web_browser_test.js --nusk <path of nusk> --out <folder>
// Exit 0: passed; 77: skipped (no playwright-core or no chromium); anything else: failed.
'use strict';
const { spawn, spawnSync } = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');

function arg(name, fallback) {
  const i = process.argv.indexOf(name);
  return i >= 0 ? process.argv[i + 1] : fallback;
}
const nusk = arg('--nusk');
const out = arg('--out', path.join(os.tmpdir(), 'nusk-e2e'));
const chromiumPath = arg('--chromium', '/usr/bin/chromium');

let chromium;
try {
  ({ chromium } = require('playwright-core'));
} catch (e) {
  console.log('SKIP: playwright-core is not installed (npm ci --prefix tests/e2e)');
  process.exit(77);
}
if (!fs.existsSync(chromiumPath)) {
  console.log('SKIP: no browser at ' + chromiumPath);
  process.exit(77);
}

function check(cond, what) {
  if (!cond) throw new Error('check failed: ' + what);
  console.log('ok - ' + what);
}

function freePort() {
  return new Promise((resolve, reject) => {
    const s = net.createServer();
    s.listen(0, '127.0.0.1', () => {
      const port = s.address().port;
      s.close(() => resolve(port));
    });
    s.on('error', reject);
  });
}

async function waitForPort(port, child) {
  for (let i = 0; i < 200; i++) {
    if (child.exitCode !== null) throw new Error('webserver ended early');
    const ok = await new Promise((resolve) => {
      const c = net.connect(port, '127.0.0.1', () => { c.end(); resolve(true); });
      c.on('error', () => resolve(false));
    });
    if (ok) return;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error('webserver never answered on port ' + port);
}

async function startServer(home, extra) {
  const port = await freePort();
  const child = spawn(nusk, ['--dbdir', home, 'webserver', '--ip', '127.0.0.1', '--port', String(port), ...extra],
                      { stdio: ['ignore', 'pipe', 'pipe'] });
  child.output = '';
  child.stdout.on('data', (d) => { child.output += d; });
  child.stderr.on('data', (d) => { child.output += d; });
  await waitForPort(port, child);
  return { child, base: 'http://127.0.0.1:' + port };
}

function stopServer(server) {
  return new Promise((resolve) => {
    if (server.child.exitCode !== null) return resolve();
    server.child.on('exit', () => resolve());
    server.child.kill('SIGTERM');
  });
}

async function main() {
  fs.mkdirSync(out, { recursive: true });
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'nusk-e2e-'));
  const tree = path.join(work, 'tree');
  const home = path.join(work, 'home');
  fs.mkdirSync(path.join(tree, 'docs'), { recursive: true });
  fs.mkdirSync(path.join(tree, 'many'), { recursive: true });
  fs.mkdirSync(home);
  fs.writeFileSync(path.join(tree, 'docs', 'hello world.txt'), 'Hello from the browser test\n');
  for (let i = 0; i < 120; i++) {
    fs.writeFileSync(path.join(tree, 'many', 'item_' + String(i).padStart(3, '0') + '.dat'), 'x'.repeat(i));
  }
  fs.writeFileSync(path.join(home, 'nusk.ini'), '[Drives]\r\nC=' + tree + '\r\n');
  const build = spawnSync(nusk, ['--dbdir', home, 'build'], { encoding: 'utf8' });
  check(build.status === 0, 'nusk build of the fixture tree');

  const servers = [];
  const browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    // launch() gives the browser a fresh temporary --user-data-dir of its own each run.
  });
  try {
    // ---- Open service: search, page, follow a link ----
    const open = await startServer(home, []);
    servers.push(open);
    const page = await browser.newPage();
    await page.goto(open.base + '/');
    check((await page.title()) === 'Nusk file search', 'the search page loads');
    await page.fill('#txt', 'hello');
    await Promise.all([page.waitForNavigation(), page.press('#txt', 'Enter')]);
    const firstHits = await page.$$eval('#ol li a', (as) => as.map((a) => a.textContent));
    check(firstHits.length === 1 && firstHits[0] === path.join(tree, 'docs', 'hello world.txt'),
          'typing a query shows its result, as a path of this system');
    await page.screenshot({ path: path.join(out, 'web-search.png'), fullPage: true });

    await page.goto(open.base + '/?q=item_');
    check((await page.$$('#ol li')).length === 50, 'the first page shows 50 of 120 results');
    check((await page.textContent('#lblShowingCount')) === '50', 'the shown count is 50');
    await page.click('#showMore');
    await page.waitForFunction(() => document.querySelectorAll('#ol li').length === 100);
    check(true, '"Show more" appends the next 50 from /query.json');
    await page.click('#showMore');
    await page.waitForFunction(() => document.querySelectorAll('#ol li').length === 120);
    check(await page.$eval('#more', (e) => e.style.display === 'none'), '"Show more" hides when all 120 are shown');
    const names = await page.$$eval('#ol li a', (as) => as.map((a) => a.textContent.split('/').pop()));
    check(new Set(names).size === 120, 'no result is repeated or lost while paging');
    await page.screenshot({ path: path.join(out, 'web-paged.png'), fullPage: true });

    await page.goto(open.base + '/?q=hello');
    const href = await page.getAttribute('#ol li a', 'href');
    const resp = await page.goto(open.base + href);
    check(resp.status() === 200, 'a file link answers 200');
    check((await page.textContent('body')).includes('Hello from the browser test'), 'a file link shows the file');
    await page.screenshot({ path: path.join(out, 'web-file.png') });

    await page.goto(open.base + '/?q=docs');
    await Promise.all([page.waitForNavigation(), page.click('#ol li a')]);
    check(decodeURIComponent(page.url()).includes('q=') &&
          (await page.$$eval('#ol li a', (as) => as.some((a) => a.textContent.endsWith('hello world.txt')))),
          'a folder link searches inside the folder');

    // ---- Protected service: the digest prompt ----
    const locked = await startServer(home, ['--username', 'joe', '--password', 'open sesame']);
    servers.push(locked);
    const anonymous = await browser.newContext();
    const denied = await anonymous.request.get(locked.base + '/?q=hello');
    check(denied.status() === 401 && /^Digest qop="auth", realm="Nusk", nonce="\d+"$/.test(denied.headers()['www-authenticate']),
          'without credentials the service answers 401 with a digest challenge');
    await anonymous.close();
    const wrong = await browser.newContext({ httpCredentials: { username: 'joe', password: 'guess' } });
    // The browser gives up with an authentication error (or shows the 401) after its retry.
    const refused = await (await wrong.newPage()).goto(locked.base + '/?q=hello').then(
        (r) => r.status(), (e) => /AUTH|RESPONSE_CODE/.test(String(e.message)) ? 401 : e.message);
    check(refused === 401, 'a wrong password is refused (' + refused + ')');
    await wrong.close();
    const ctx = await browser.newContext({ httpCredentials: { username: 'joe', password: 'open sesame' } });
    const authed = await ctx.newPage();
    const ok = await authed.goto(locked.base + '/?q=item_');
    check(ok.status() === 200, 'the digest login is accepted');
    await authed.click('#showMore');
    await authed.waitForFunction(() => document.querySelectorAll('#ol li').length === 100);
    check(true, '"Show more" works after the login');
    await authed.screenshot({ path: path.join(out, 'web-digest.png'), fullPage: true });
    await ctx.close();
  } finally {
    await browser.close();
    for (const s of servers) await stopServer(s);
    fs.rmSync(work, { recursive: true, force: true });
  }
  console.log('screenshots in ' + out);
}

main().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
