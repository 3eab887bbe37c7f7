// The sample page: a printer from the service's list, a receipt and a label composed in
// the page and printed through vembrix-script.js (the global `vembrix`).
(function () {
  'use strict';
  const { Vembrix } = window.vembrix;
  const $ = (id) => document.getElementById(id);
  const LOGO_WIDTH = 384; // dots: half the paper, sharp on any receipt printer
  const BAND_ROWS = 128; // rows per GS v 0 band

  let client = null;

  function show(element, text, good) {
    element.textContent = text;
    element.className = element.className.replace(/\b(good|bad)\b/g, '').trim() +
      (good === undefined ? '' : good ? ' good' : ' bad');
  }

  function showResult(text, good) {
    show($('result'), text, good);
  }

  function explain(error) {
    if (!(error instanceof window.vembrix.VembrixError)) return `error: ${error.message}`;
    const ids = error.responseId ? ` (ResponseID ${error.responseId})` : '';
    return `${error.code}: ${error.message}${ids}`;
  }

  // Runs one action of the page with its button disabled, and shows what came of it.
  async function act(button, action) {
    button.disabled = true;
    showResult('Working...');
    try {
      showResult(await action(), true);
    } catch (error) {
      showResult(explain(error), false);
    } finally {
      button.disabled = false;
    }
  }

  function selectedPrinter() {
    const name = $('printer').value;
    if (!client || !name) throw new Error('choose a printer first (is the service running?)');
    return client.printer(name);
  }

  async function connect() {
    const port = Number($('port').value);
    localStorage.setItem('vembrix-demo-port', String(port));
    client = new Vembrix({ port, timeout: 30 });
    const state = $('service-state');
    show(state, 'Looking for the service...');
    const select = $('printer');
    select.replaceChildren();
    try {
      const printers = await client.printers();
      for (const printer of printers) {
        const option = document.createElement('option');
        option.value = printer.name;
        option.textContent = `${printer.name} (${printer.port})`;
        select.append(option);
      }
      show(state, printers.length ? `Vembrix on port ${port}: ${printers.length} printer(s)`
        : `Vembrix on port ${port} has no printers: add one first`, printers.length > 0);
    } catch (error) {
      show(state, explain(error), false);
    }
  }

  function succeeded(result) {
    return `success: RequestID ${result.requestId}, ResponseID ${result.responseId}`;
  }

  // A picture the user chose, as raster bands for a receipt printer (GS v 0), dithered
  // by error diffusion and centred.
  async function logoBytes(file) {
    const bitmap = await createImageBitmap(file);
    const width = Math.min(LOGO_WIDTH, bitmap.width);
    const height = Math.max(1, Math.round(bitmap.height * width / bitmap.width));
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    const context = canvas.getContext('2d');
    context.fillStyle = '#fff'; // transparent parts print as paper
    context.fillRect(0, 0, width, height);
    context.drawImage(bitmap, 0, 0, width, height);
    const { data } = context.getImageData(0, 0, width, height);
    const grey = new Float32Array(width * height);
    for (let i = 0; i < grey.length; ++i)
      grey[i] = 0.299 * data[4 * i] + 0.587 * data[4 * i + 1] + 0.114 * data[4 * i + 2];
    const rowBytes = Math.ceil(width / 8);
    const raster = new Uint8Array(rowBytes * height);
    const spread = (x, y, error) => {
      if (x >= 0 && x < width && y < height) grey[y * width + x] += error;
    };
    for (let y = 0; y < height; ++y) {
      for (let x = 0; x < width; ++x) {
        const old = grey[y * width + x];
        const black = old < 128;
        if (black) raster[y * rowBytes + (x >> 3)] |= 0x80 >> (x & 7);
        const error = old - (black ? 0 : 255);
        spread(x + 1, y, error * 7 / 16);
        spread(x - 1, y + 1, error * 3 / 16);
        spread(x, y + 1, error * 5 / 16);
        spread(x + 1, y + 1, error / 16);
      }
    }
    const out = [0x1b, 0x61, 1];
    for (let top = 0; top < height; top += BAND_ROWS) {
      const rows = Math.min(BAND_ROWS, height - top);
      out.push(0x1d, 0x76, 0x30, 0, rowBytes & 0xff, rowBytes >> 8, rows & 0xff, rows >> 8);
      out.push(...raster.subarray(top * rowBytes, (top + rows) * rowBytes));
    }
    out.push(0x1b, 0x61, 0);
    return new Uint8Array(out);
  }

  async function printReceipt() {
    const printer = selectedPrinter();
    const size = Number($('receipt-size').value);
    const alignment = Number($('receipt-align').value);
    const style = $('receipt-bold').checked ? 1 : 0;
    let text = $('receipt-text').value;
    if (!text.endsWith('\n')) text += '\n';
    const job = printer.posJob().printText(text, alignment, 0, style, size, size, size > 1 ? 1 : 0, 0);
    const barcode = $('receipt-barcode').value;
    if (barcode) job.print1DBarcode(barcode, 110, 60, 2, 1, 2);
    const qr = $('receipt-qr').value;
    if (qr) job.printQRCode(qr, 6, 1, 1, 0);
    job.cutPaper(65);
    // The logo is raw printer data, a job of its own; vembrix.js sends a printer's jobs
    // in call order, so it comes out above the receipt.
    const logo = $('receipt-logo').files[0];
    const logoPrinted = logo ? printer.sendRaw(await logoBytes(logo)) : null;
    const result = await job.send();
    if (logoPrinted) await logoPrinted;
    return succeeded(result);
  }

  async function printLabel() {
    const printer = selectedPrinter();
    const copies = Number($('label-copies').value);
    const job = printer.labelJob().ClearBuffer()
      .PrintDeviceFont(40, 40, 4, 2, 2, 0, 0, $('label-title').value || ' ');
    const barcode = $('label-barcode').value;
    if (barcode) job.Print1DBarcode(40, 140, 0, 2, 0, 80, 0, 1, barcode);
    const qr = $('label-qr').value;
    if (qr) job.PrintQRCode(520, 40, 2, 1, 5, 0, qr);
    return succeeded(await job.Prints(copies, 1).send());
  }

  async function receiptPrinterThere() {
    const printer = selectedPrinter();
    await printer.posJob().checkPrinterStatus().send({ timeout: 10 });
    return `success: ${printer.name} takes jobs (a receipt printer reports paper and cover ` +
      'to the service\'s own window)';
  }

  async function labelStatus() {
    const printer = selectedPrinter();
    const status = await printer.readLabelStatus({ timeout: 10 });
    if (status.code !== 0) throw new Error(`${printer.name} reports ${status.text} (${status.code})`);
    return `ready: ${printer.name} reports no fault`;
  }

  function start() {
    const asked = new URLSearchParams(location.search).get('port');
    $('port').value = asked ?? localStorage.getItem('vembrix-demo-port') ?? '8080';
    $('connect').addEventListener('click', connect);
    $('print-receipt').addEventListener('click', (e) => act(e.target, printReceipt));
    $('print-label').addEventListener('click', (e) => act(e.target, printLabel));
    $('receipt-status').addEventListener('click', (e) => act(e.target, receiptPrinterThere));
    $('label-status').addEventListener('click', (e) => act(e.target, labelStatus));
    connect();
  }

  start();
})();
