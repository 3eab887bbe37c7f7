// Round trip of a receipt job from POST to its final result, from a page in Debian's
// Chromium through vembrix.js, beside the same round trip from a raw loopback socket and
// beside vembrix.js against a bare loopback server, all in one run:
//   - bare server: answers every POST at once (the browser's and the client's own cost);
//   - the service with a watched printer (CheckStatus=1, its connection stays open);
//   - the service with a printer opened per job.
// Needs a build (build/bin) and the browser tests' npm packages (./test installs them):
//   node bench/web_bench.mjs [round trips, default 200]
import http from 'node:http';
import net from 'node:net';
import { freePort, launchBrowser, startPrinting } from '../tests/web/harness.mjs';

const count = Number(process.argv[2] ?? 200);

function printLatency(what, samples) {
  if (samples.length === 0) {
    console.log(`${what.padEnd(48)} no samples`);
    return;
  }
  samples.sort((a, b) => a - b);
  const at = (q) => samples[Math.floor(q * (samples.length - 1))];
  console.log(`${what.padEnd(48)} n=${samples.length}  p50 ${at(0.5).toFixed(3)} ms  ` +
    `p99 ${at(0.99).toFixed(3)} ms  max ${samples.at(-1).toFixed(3)} ms`);
}

// One request on its own connection; the whole answer up to the server's close.
function exchange(port, request) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, '127.0.0.1', () => socket.end(request));
    let answer = '';
    socket.on('data', (chunk) => { answer += chunk; });
    socket.on('end', () => resolve(answer));
    socket.on('error', reject);
  });
}

async function socketRoundTrips(port, printer, n) {
  const samples = [];
  for (let i = 0; i < n; ++i) {
    const body = JSON.stringify({ id: i + 1, mode: 0, functions: { func1: { printText: ['bench line\n', 0, 0, 0, 0, 0, 0, 0] } } });
    const start = performance.now();
    const ready = await exchange(port, `POST /vembrix/${printer} HTTP/1.1\r\nHost: 127.0.0.1\r\n` +
      `Content-Length: ${Buffer.byteLength(body)}\r\n\r\n${body}`);
    const id = /"ResponseID":"(\w+)"/.exec(ready)?.[1];
    const result = await exchange(port, `GET /vembrix/${printer}/${id} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n`);
    if (!result.includes('"success"')) {
      console.log(`socket round trip ${i} failed: ${result}`);
      break;
    }
    samples.push(performance.now() - start);
  }
  return samples;
}

// The page's own measurement, so the DevTools link to node costs nothing.
function browserRoundTrips(page, port, printer, n) {
  return page.evaluate(async (port, printer, n) => {
    const { Vembrix } = await import('/web/vembrix.js');
    const till = new Vembrix({ port }).printer(printer);
    const samples = [];
    for (let i = 0; i < n; ++i) {
      const start = performance.now();
      await till.posJob().printText('bench line\n', 0, 0, 0, 0, 0, 0, 0).send();
      samples.push(performance.now() - start);
    }
    return samples;
  }, port, printer, n);
}

// Answers a job with "ready" and a status query with "success", at once.
async function startBareServer() {
  const server = http.createServer((request, response) => {
    let body = '';
    request.on('data', (chunk) => { body += chunk; });
    request.on('end', () => {
      const word = request.url.endsWith('/checkStatus.cvn') ? 'success' : 'ready';
      const id = JSON.parse(body).id ?? 1;
      response.writeHead(200, { 'Access-Control-Allow-Origin': '*', Connection: 'close' });
      response.end(`{"RequestID":${id},"ResponseID":"AbCdEfGh","Result":"${word}"}`);
    });
  });
  const port = await freePort();
  await new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));
  return { server, port };
}

const world = await startPrinting();
const chromium = await launchBrowser();
try {
  const page = await chromium.browser.newPage();
  await page.goto(`http://localhost:${world.webPort}/pages/client.html`);
  const bare = await startBareServer();
  printLatency('bare loopback server, vembrix.js in Chromium', await browserRoundTrips(page, bare.port, 'Till', count));
  bare.server.close();
  printLatency('service, watched printer, raw socket', await socketRoundTrips(world.port, 'Till', count));
  printLatency('service, watched printer, vembrix.js', await browserRoundTrips(page, world.port, 'Till', count));
  const few = Math.max(1, Math.floor(count / 10));
  printLatency('service, printer opened per job, raw socket', await socketRoundTrips(world.port, 'Unwatched', few));
  printLatency('service, printer opened per job, vembrix.js', await browserRoundTrips(page, world.port, 'Unwatched', few));
} finally {
  await chromium.close();
  await world.stop();
}
