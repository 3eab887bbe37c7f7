// The virtual printer's page in a real browser (Debian's Chromium, headless, driven by
// puppeteer-core): it shows a receipt printed after it was opened, without a reload, and
// the journal lines behind it on a click. A screenshot is left for a person to look at.
//   node page_in_browser.mjs VPRINTER NODE_MODULES SCREENSHOT
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

const [vprinterPath, modules, screenshot] = process.argv.slice(2);
const require = createRequire(path.join(path.resolve(modules), 'index.js'));
let puppeteer;
try {
  puppeteer = require('puppeteer-core');
} catch {
  console.log('puppeteer-core is not installed (scripts/setup.sh installs it): skipped');
  process.exit(77);
}

function fail(message) {
  console.error('FAILED: ' + message);
  console.log('0 passed, 1 failed');
  process.exitCode = 1;
}

// Starts vprinter and resolves with its first line's ports.
function startPrinter() {
  const child = spawn(vprinterPath, ['--port', '0:escpos', '--http', '0'], {
    stdio: ['ignore', 'pipe', 'inherit'],
  });
  return new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error('vprinter did not start')), 10000);
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const receipt = /escpos 127\.0\.0\.1:(\d+)/.exec(out);
      const page = /page (http:\/\/127\.0\.0\.1:\d+\/)/.exec(out);
      if (receipt && page) {
        clearTimeout(timer);
        resolve({ child, receiptPort: Number(receipt[1]), pageUrl: page[1] });
      }
    });
    child.on('exit', () => reject(new Error('vprinter ended: ' + out)));
  });
}

function print(port, bytes) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, '127.0.0.1', () => socket.end(bytes, resolve));
    socket.on('error', reject);
  });
}

const profile = mkdtempSync(path.join(os.tmpdir(), 'vprinter-page-'));
let printer;
let browser;
try {
  printer = await startPrinter();
  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run',
           '--user-data-dir=' + profile],
  });
  const page = await browser.newPage();
  await page.setViewport({ width: 1000, height: 800 });
  await page.goto(printer.pageUrl, { waitUntil: 'load' });
  const before = await page.$$('.job');
  if (before.length !== 0) fail('the page shows pictures before anything was printed');
  const loads = [];
  page.on('framenavigated', () => loads.push('navigated'));

  await print(printer.receiptPort,
              Buffer.from('\x1b@\x1ba\x01\x1d!\x11Browser test\n\x1d!\x00Total 12.50\n\x1dV\x01', 'latin1'));
  await page.waitForSelector('.job img', { timeout: 20000 });
  await page.waitForFunction(() => {
    const img = document.querySelector('.job img');
    return img && img.complete && img.naturalWidth > 0;
  }, { timeout: 20000 });
  const width = await page.$eval('.job img', (img) => img.naturalWidth);
  if (width !== 576) fail('the receipt picture is ' + width + ' dots wide, not 576');
  if (loads.length !== 0) fail('the page reloaded to show the picture');
  await page.click('.job summary');
  const journal = await page.$eval('.job pre', (pre) => pre.innerText);
  if (!journal.includes('"text":"Browser test"')) fail('the journal lines are missing: ' + journal);
  await page.screenshot({ path: screenshot });
  if (!process.exitCode) console.log('1 passed, 0 failed');
} catch (error) {
  fail(error.message);
} finally {
  if (browser) await browser.close();
  if (printer) printer.child.kill('SIGTERM');
  rmSync(profile, { recursive: true, force: true });
}
