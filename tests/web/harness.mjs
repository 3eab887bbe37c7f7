// What the browser tests and the web bench run against: the virtual printer (receipt,
// label and control ports), the service in a temporary home with printers on it, a
// static web server for the pages on another loopback port, and Debian's Chromium.
import { spawn, execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const sourceDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const bin = process.env.VEMBRIX_BIN ?? path.join(sourceDir, 'build/bin');
const nodeModules = process.env.VEMBRIX_NODE_MODULES ?? path.join(sourceDir, 'build/web-test/node_modules');
const chromium = process.env.VEMBRIX_CHROMIUM ?? '/usr/bin/chromium';

// The browser's flags: nothing may reach beyond this machine, no state survives a run.
const browserFlags = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--no-first-run'];

export function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Resolves with the first line of the child's stdout that matches; rejects when it ends.
function lineOf(child, pattern, what) {
  return new Promise((resolve, reject) => {
    let seen = '';
    const timer = setTimeout(() => reject(new Error(`${what} did not start: ${seen}`)), 20000);
    child.stdout.on('data', (chunk) => {
      seen += chunk;
      const line = seen.split('\n').find((l) => pattern.test(l));
      if (line) {
        clearTimeout(timer);
        resolve(line);
      }
    });
    child.on('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`${what} ended (${code}): ${seen}`));
    });
  });
}

function stopChild(child) {
  if (!child || child.exitCode !== null || child.signalCode !== null) return Promise.resolve();
  return new Promise((resolve) => {
    child.once('exit', resolve);
    child.kill('SIGTERM');
  });
}

// One line to the virtual printer's control port; its answer lines up to `ok`, an error
// or, for `journal`, `end`.
function control(port, line) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, '127.0.0.1');
    let text = '';
    socket.setTimeout(10000, () => socket.destroy(new Error(`no answer to ${line}`)));
    socket.on('connect', () => socket.write(`${line}\n`));
    socket.on('data', (chunk) => {
      text += chunk;
      const lines = text.split(/\r?\n/);
      if (lines.some((l) => l === 'end' || l === 'ok' || l.startsWith('error'))) {
        socket.end();
        resolve(lines.slice(0, lines.findIndex((l) => l === 'end' || l === 'ok' || l.startsWith('error'))));
      }
    });
    socket.on('error', reject);
  });
}

// Serves the source tree's web/ at /web/, the test pages at /pages/ and a folder the
// tests write pages into at /scratch/.
function startWebServer(port, scratchDir) {
  const roots = { '/web/': path.join(sourceDir, 'web'), '/pages/': path.join(sourceDir, 'tests/web/pages'),
    '/scratch/': scratchDir };
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.png': 'image/png',
    '.bmp': 'image/bmp' };
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://localhost');
    const prefix = Object.keys(roots).find((p) => url.pathname.startsWith(p));
    const file = prefix && path.join(roots[prefix], path.normalize(decodeURIComponent(url.pathname.slice(prefix.length))));
    if (!file || !file.startsWith(roots[prefix]) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] ?? 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
}

// Starts everything. Printers: Till (receipt, watched: CheckStatus=1), Unwatched (a
// receipt printer on a port of its own, opened per job: a shared port would stay open
// for Till), Labels (label), Off (receipt on a port nobody listens on: a printer that
// is switched off).
export async function startPrinting() {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'vembrix-web-'));
  const env = { ...process.env, VEMBRIX_HOME: home };
  const printer = spawn(path.join(bin, 'vprinter'),
    ['--port', '0:escpos', '--port', '0:escpos', '--port', '0:zpl', '--control'],
    { env, stdio: ['ignore', 'pipe', 'inherit'] });
  const world = { home, processes: [printer], servers: [] };
  try {
    const line = await lineOf(printer, /^vprinter /, 'vprinter');
    const portsOf = (kind) => [...line.matchAll(new RegExp(`${kind} 127\\.0\\.0\\.1:(\\d+)`, 'g'))]
      .map((match) => Number(match[1]));
    const [tillPort, unwatchedPort] = portsOf('escpos');
    const portOf = (kind) => portsOf(kind)[0];
    world.controlPort = portOf('control');
    world.port = await freePort();
    const vembrix = path.join(bin, 'vembrix');
    const run = (...args) => execFileSync(vembrix, args, { env, stdio: 'pipe' });
    run('settings', 'set', `ListenPort=${world.port}`);
    for (const [name, port, watched] of [['Till', tillPort, 1], ['Unwatched', unwatchedPort, 0]]) {
      run('printer', 'add', name, 'PrinterType=POSPrinter', 'PortType=2', 'PortName=127.0.0.1',
        `BaudRate=${port}`, `CheckStatus=${watched}`);
    }
    run('printer', 'add', 'Labels', 'PrinterType=LabelPrinter', 'PortType=2', 'PortName=127.0.0.1',
      `BaudRate=${portOf('zpl')}`);
    run('printer', 'add', 'Off', 'PrinterType=POSPrinter', 'PortType=2', 'PortName=127.0.0.1',
      `BaudRate=${await freePort()}`);
    const service = spawn(vembrix, ['--headless'], { env, stdio: ['ignore', 'pipe', 'pipe'] });
    world.processes.push(service);
    await lineOf(service, /serving on port/, 'vembrix');
    world.webPort = await freePort();
    world.scratchDir = fs.mkdtempSync(path.join(home, 'scratch-'));
    world.servers.push(await startWebServer(world.webPort, world.scratchDir));
  } catch (error) {
    await stopPrinting(world);
    throw error;
  }
  world.journal = async () => (await control(world.controlPort, 'journal')).map((l) => JSON.parse(l));
  world.clearJournal = () => control(world.controlPort, 'clear');
  world.control = (line) => control(world.controlPort, line);
  world.stop = () => stopPrinting(world);
  return world;
}

async function stopPrinting(world) {
  for (const server of world.servers) {
    server.closeAllConnections();
    await new Promise((resolve) => server.close(resolve));
  }
  for (const child of world.processes.reverse()) await stopChild(child);
  fs.rmSync(world.home, { recursive: true, force: true });
}

// Debian's Chromium through puppeteer-core, with a profile of its own that close()
// removes.
export async function launchBrowser() {
  const require = createRequire(path.join(nodeModules, 'noop.js'));
  const puppeteer = require('puppeteer-core');
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vembrix-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: false, // the flags below say it
    args: [...browserFlags, `--user-data-dir=${profile}`],
  });
  return {
    browser,
    close: async () => {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
    },
  };
}

// The lines of the receipt in the journal, in print order: the texts up to each line
// feed, whatever commands fell between them.
export function receiptLines(journal) {
  const lines = [];
  let line = null;
  for (const element of journal.filter((e) => e.type === 'text')) {
    line = (line ?? '') + element.text;
    if (element.newline) {
      lines.push(line);
      line = null;
    }
  }
  if (line !== null) lines.push(line);
  return lines;
}
