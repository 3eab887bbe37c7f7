// Printing from web pages in Debian's Chromium against the running service and the
// virtual printer: raw fetch and XHR as web developers write them, vembrix.js from
// another origin and from a file, order, parked polls, the errors a page must tell
// apart, and the sample page. What printed is read back from the printer's journal.
import assert from 'node:assert/strict';
import { after, before, beforeEach, describe, test } from 'node:test';
import fs from 'node:fs';
import path from 'node:path';
import { freePort, launchBrowser, receiptLines, sourceDir, startPrinting } from './harness.mjs';

let world;
let chromium;
let browser;

before(async () => {
  world = await startPrinting();
  chromium = await launchBrowser();
  browser = chromium.browser;
});

after(async () => {
  await chromium?.close();
  await world?.stop();
});

beforeEach(() => world.clearJournal());

// A fresh tab on a page of the static server (another origin than the service).
async function pageAt(url = `http://localhost:${world.webPort}/pages/client.html`) {
  const page = await browser.newPage();
  await page.goto(url);
  return page;
}

function receiptJob(text) {
  return JSON.stringify({ id: 7, mode: 0, functions: { func1: { printText: [text, 0, 0, 0, 1, 1, 0, 0] } } });
}

// In the page: posts a job and polls for its result the way a hand-written page does.
async function printByHand(page, { transport, contentType, body }) {
  return page.evaluate(async ({ base, transport, contentType, body }) => {
    const send = (method, url, payload) => {
      if (transport === 'fetch') {
        const headers = contentType ? { 'Content-Type': contentType } : {};
        return fetch(url, { method, headers, body: payload }).then((r) => r.json());
      }
      return new Promise((resolve, reject) => {
        const xhr = new XMLHttpRequest();
        xhr.open(method, url);
        if (contentType) xhr.setRequestHeader('Content-Type', contentType);
        xhr.onload = () => resolve(JSON.parse(xhr.responseText));
        xhr.onerror = () => reject(new Error('XHR failed'));
        xhr.send(payload);
      });
    };
    try {
      const ready = await send('POST', `${base}/Till`, body);
      return (await send('GET', `${base}/Till/${ready.ResponseID}`)).Result;
    } catch (e) {
      return `${e.name}: ${e.message}`;
    }
  }, { base: `http://127.0.0.1:${world.port}/vembrix`, transport, contentType, body });
}

describe('a page written by hand', () => {
  for (const transport of ['fetch', 'xhr']) {
    for (const contentType of [null, 'text/plain', 'application/json']) {
      test(`${transport} with ${contentType ?? 'no'} content type prints`, async () => {
        const page = await pageAt();
        const text = `${transport} ${contentType}\n`;
        assert.equal(await printByHand(page, { transport, contentType, body: receiptJob(text) }), 'success');
        assert.deepEqual(receiptLines(await world.journal()), [text.trim()]);
        await page.close();
      });
    }
  }
});

async function withClient(page, port, script) {
  return page.evaluate(async (port, script) => {
    const { Vembrix } = await import('/web/vembrix.js');
    const vembrix = new Vembrix({ port });
    // eslint-disable-next-line no-new-func
    return new Function('vembrix', `return (async () => { ${script} })();`)(vembrix);
  }, port, script);
}

describe('vembrix.js', () => {
  test('from a page of another loopback origin prints a receipt with its text as written', async () => {
    const page = await pageAt();
    const result = await withClient(page, world.port, `
      const till = vembrix.printer('Till');
      return till.posJob().printText('Grüße – 5,00 €\\n', 0, 0, 0, 1, 1, 0, 0).cutPaper(65).send();`);
    assert.equal(result.result, 'success');
    const journal = await world.journal();
    assert.deepEqual(receiptLines(journal), ['Grüße – 5,00 €']);
    assert.ok(journal.some((e) => e.type === 'cut'));
    await page.close();
  });

  test('opened as a file, through the plain script, prints a label', async () => {
    const page = await pageAt(`file://${path.join(sourceDir, 'tests/web/pages/client-script.html')}`);
    const result = await page.evaluate(async (port) => {
      const labels = new window.vembrix.Vembrix({ port }).printer('Labels');
      return labels.labelJob().ClearBuffer().PrintDeviceFont(80, 80, 4, 2, 2, 0, 0, 'From a file')
        .Prints(1, 1).send();
    }, world.port);
    assert.equal(result.result, 'success');
    const fields = (await world.journal()).filter((e) => e.type === 'field');
    assert.deepEqual(fields.map((f) => f.text), ['From a file']);
    await page.close();
  });

  test('twenty jobs fired at once print in call order', async () => {
    const page = await pageAt();
    const results = await withClient(page, world.port, `
      const till = vembrix.printer('Till');
      const jobs = [];
      for (let i = 1; i <= 20; ++i)
        jobs.push(till.posJob().printText('job ' + i + '\\n', 0, 0, 0, 1, 1, 0, 0).send());
      return (await Promise.all(jobs)).map((r) => r.result);`);
    assert.deepEqual(results, Array(20).fill('success'));
    const expected = Array.from({ length: 20 }, (_, i) => `job ${i + 1}`);
    assert.deepEqual(receiptLines(await world.journal()), expected);
    await page.close();
  });

  test('a stale poll in one tab costs another tab nothing', async () => {
    const stale = await pageAt();
    // A ResponseID the service never gave: its poll stays parked for 30 s.
    let parkedEnded = false;
    // Closing the tab at the end ends the poll's evaluation too.
    withClient(stale, world.port, `
      try { await vembrix.printer('Till').result('NoSuchId', 1, { timeout: 30 }); }
      catch (e) { return e.code; }`).catch(() => {}).finally(() => { parkedEnded = true; });
    const other = await pageAt();
    const result = await withClient(other, world.port, `
      return vembrix.printer('Till').posJob().printText('meanwhile\\n', 0, 0, 0, 1, 1, 0, 0).send();`);
    assert.equal(result.result, 'success');
    assert.equal(parkedEnded, false, 'the other tab waited for the stale poll');
    assert.deepEqual(receiptLines(await world.journal()), ['meanwhile']);
    await stale.close();
    await other.close();
  });

  test('service down, printer off, refused job and unknown printer are different errors', async () => {
    const page = await pageAt();
    const codes = await page.evaluate(async (port, downPort) => {
      const { Vembrix } = await import('/web/vembrix.js');
      const vembrix = new Vembrix({ port });
      const codeOf = (promise) => promise.then(() => 'success', (e) => e.code);
      const job = (client, name) => client.printer(name).posJob().printText('x\n', 0, 0, 0, 1, 1, 0, 0);
      return {
        down: await codeOf(job(new Vembrix({ port: downPort }), 'Till').send()),
        off: await codeOf(job(vembrix, 'Off').send()),
        refused: await codeOf(vembrix.printer('Till').submitDocument('{"id":5}')),
        unknown: await codeOf(job(vembrix, 'Nobody').send()),
      };
    }, world.port, await freePort());
    assert.deepEqual(codes, { down: 'unreachable', off: 'failed', refused: 'refused', unknown: 'not-configured' });
    assert.deepEqual(receiptLines(await world.journal()), []);
    await page.close();
  });
});

test('the README\'s example prints pasted into a fresh page', async () => {
  const readme = fs.readFileSync(path.join(sourceDir, 'README.md'), 'utf8');
  const example = /## Printing from a web page[^]*?```html\n([^]*?)```/.exec(readme)[1];
  for (const file of ['vembrix.js', 'vembrix-script.js'])
    fs.copyFileSync(path.join(sourceDir, 'web', file), path.join(world.scratchDir, file));
  fs.writeFileSync(path.join(world.scratchDir, 'readme.html'),
    `<!doctype html><meta charset="utf-8">\n${example.replace('port: 8080', `port: ${world.port}`)}`);
  const page = await browser.newPage();
  const alerts = [];
  page.on('dialog', async (dialog) => {
    alerts.push(dialog.message());
    await dialog.dismiss();
  });
  await page.goto(`http://localhost:${world.webPort}/scratch/readme.html`);
  let journal = [];
  for (let tries = 0; tries < 100 && alerts.length === 0 && !journal.some((e) => e.type === 'cut'); ++tries) {
    await new Promise((resolve) => setTimeout(resolve, 100));
    journal = await world.journal();
  }
  assert.deepEqual(alerts, []);
  assert.deepEqual(receiptLines(journal), ['Grüße – 5,00 €']);
  assert.ok(journal.some((e) => e.type === 'barcode' && e.data === '1234567890'));
  await page.close();
});

test('a label printer\'s status reaches the page, a fault as well', async () => {
  const page = await pageAt();
  const read = () => withClient(page, world.port, `return vembrix.printer('Labels').readLabelStatus();`);
  assert.deepEqual(await read(), { code: 0, text: 'ready' });
  await world.control('paper out');
  try {
    assert.deepEqual(await read(), { code: 1, text: 'paper empty' });
  } finally {
    await world.control('paper ok');
  }
  await page.close();
});

describe('the sample page', () => {
  async function demoPage(url) {
    const page = await pageAt(url);
    await page.waitForFunction(() => document.querySelector('#printer option[value="Till"]'));
    return page;
  }

  async function printAndWait(page, button) {
    await page.click(button);
    await page.waitForFunction(() => /success|failed|error/i.test(document.querySelector('#result').textContent));
    return page.$eval('#result', (e) => e.textContent);
  }

  test('prints a receipt and a label from a web server and lists the printers', async () => {
    const page = await demoPage(`http://localhost:${world.webPort}/web/demo/index.html?port=${world.port}`);
    const printers = await page.$$eval('#printer option', (options) => options.map((o) => o.value));
    assert.deepEqual(printers.sort(), ['Labels', 'Off', 'Till', 'Unwatched']);

    await page.select('#printer', 'Till');
    await page.$eval('#receipt-text', (e) => { e.value = 'Grüße – 5,00 €'; });
    await (await page.$('#receipt-logo')).uploadFile(path.join(sourceDir, 'assets/logo.bmp'));
    assert.match(await printAndWait(page, '#print-receipt'), /success/);
    const journal = await world.journal();
    const printed = journal.filter((e) => ['image', 'text', '2d', 'cut'].includes(e.type)).map((e) => e.type);
    assert.equal(printed[0], 'image', 'the logo comes out above the receipt');
    assert.ok(receiptLines(journal).includes('Grüße – 5,00 €'), JSON.stringify(receiptLines(journal)));
    assert.ok(journal.some((e) => e.type === '2d' && e.symbology === 'QR'));
    assert.ok(journal.some((e) => e.type === 'cut'));

    await world.clearJournal();
    await page.select('#printer', 'Labels');
    assert.match(await printAndWait(page, '#print-label'), /success/);
    const label = await world.journal();
    assert.ok(label.some((e) => e.type === 'label_end'));
    assert.ok(label.some((e) => e.type === 'barcode'));

    const shot = path.join(process.env.VEMBRIX_SCREENSHOTS ?? fs.mkdtempSync('/tmp/vembrix-shot-'), 'demo.png');
    await page.screenshot({ path: shot, fullPage: true });
    assert.ok(fs.statSync(shot).size > 10000, 'the screenshot shows the page');
    await page.close();
  });

  test('opened as a file it prints a receipt', async () => {
    const page = await demoPage(`file://${path.join(sourceDir, 'web/demo/index.html')}?port=${world.port}`);
    await page.select('#printer', 'Till');
    assert.match(await printAndWait(page, '#print-receipt'), /success/);
    assert.ok(receiptLines(await world.journal()).length > 0);
    await page.close();
  });
});
