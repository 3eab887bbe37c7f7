// vembrix.js on its own: its functions and parameters against the references and its
// typings, the checks before sending, and what each answer of the service becomes (over
// a fetch in memory).
import assert from 'node:assert/strict';
import { test } from 'node:test';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { LABEL_PARAMETERS, POS_PARAMETERS, Vembrix } from '../../web/vembrix.js';

const sourceDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const read = (file) => fs.readFileSync(path.join(sourceDir, file), 'utf8');

// "a, b (c, d), e 1–2" -> ['a', 'b', 'e']: the first word of each parameter.
function parameterNames(text) {
  const names = [];
  let depth = 0;
  let current = '';
  for (const c of `${text},`) {
    if (c === '(' || c === '[') depth++;
    if (c === ')' || c === ']') depth--;
    if (c === ',' && depth === 0) {
      const name = current.trim().split(/[\s(]/)[0];
      if (name && name !== '–') names.push(name);
      current = '';
    } else {
      current += c;
    }
  }
  return names;
}

function posReference() {
  const functions = {};
  for (const [, name, params] of read('docs/pos-functions.md')
    .matchAll(/^(?:### |\| )(\w+)\(([^)]*)\)/gm)) {
    functions[name] = parameterNames(params);
  }
  return functions;
}

function labelReference() {
  const doc = read('docs/label-functions.md');
  const functions = {};
  for (const [, name, params] of doc.matchAll(/^\| `(\w+)` \| ([^|]*) \|/gm)) {
    const same = /^as `(\w+)`/.exec(params);
    functions[name] = same ? functions[same[1]] : parameterNames(params);
  }
  functions.Print1DBarcode = parameterNames(/`Print1DBarcode` (.*?) — sends/s.exec(doc)[1]);
  functions.ReadStatus = parameterNames(/`ReadStatus` \[(.*?)\]/.exec(doc)[1]);
  functions.Connect = [];
  functions.Disconnect = [];
  return functions;
}

test('every job function has the names and parameter order of its reference', () => {
  assert.deepEqual(POS_PARAMETERS, posReference());
  const reference = labelReference();
  // The reference's functions that only programs loading the library can call.
  for (const name of ['ConnectPrinter', 'ConnectPrinterWithName', 'DisconnectPrinter', 'GetPrinterName'])
    delete reference[name];
  assert.deepEqual(LABEL_PARAMETERS, reference);
});

test('the typings declare every job function with its parameter names', () => {
  const typings = read('web/vembrix.d.ts');
  for (const [job, functions] of [['PosJob', POS_PARAMETERS], ['LabelJob', LABEL_PARAMETERS]]) {
    const body = new RegExp(`class ${job} extends Job \\{([^]*?)\\n\\}`).exec(typings)[1];
    const declared = {};
    for (const [, name, params] of body.matchAll(/^ {2}(\w+)\(([^)]*)\): this;/gm))
      declared[name] = params ? params.split(', ').map((p) => p.split(':')[0].replace(/^reserved\d$/, 'reserved')) : [];
    assert.deepEqual(declared, functions, job);
  }
});

test('arguments are checked before anything is sent', () => {
  const till = new Vembrix().printer('Till');
  const refused = [
    [() => till.posJob().printText('x', 3, 0, 0, 0, 0, 0, 0), /alignment must be 0 to 2 \(got 3\)/],
    [() => till.posJob().printText('x', 0, 0, 0, 0, 0, 0), /takes 8 argument/],
    [() => till.posJob().printText(5, 0, 0, 0, 0, 0, 0, 0), /text must be a text/],
    [() => till.posJob().printText('\ud83d', 0, 0, 0, 0, 0, 0, 0), /lone surrogate/],
    [() => till.posJob().printText('x', 0.5, 0, 0, 0, 0, 0, 0), /got 0.5/],
    [() => till.posJob().setTextEncoding(1234), /codePage/],
    [() => till.posJob().print1DBarcode('4006381', 103, 50, 2, 0, 0), /12 or 13 digits/],
    [() => till.posJob().print1DBarcode('', 110, 50, 2, 0, 0), /not empty/],
    [() => till.posJob().printBitmapFile('logo.bmp', 0, 0, 0, 0, 0), /width/],
    [() => till.posJob().printCompositeBarcode('490123456789', 1, 2, 1), /"\|"/],
    [() => till.labelJob().PrintBlock(-1, 0, 10, 10, 0, 1), /x1/],
    [() => till.labelJob().Prints(100000, 1000), /99,999,999/],
    [() => till.posJob().call('Prints', 1, 1), /is not a function of this job/],
    [() => till.posJob({ id: 0 }), /job id/],
    [() => new Vembrix({ port: 70000 }), /port/],
    [() => new Vembrix({ timeout: 301 }), /0 to 300/],
  ];
  for (const [call, message] of refused)
    assert.throws(call, (e) => e.code === 'invalid-argument' && message.test(e.message), String(call));

  const job = till.posJob({ id: 9 }).setTextEncoding(0).printText('Grüße\n', 1, 0, true, 2, 2, 1, 0)
    .printBitmapFile('logo.bmp', -2, 1, -100, 0, 1).asbEnable(-5).cutPaper(65);
  assert.deepEqual(job.toJSON(), {
    id: 9,
    mode: 0,
    functions: {
      func0: { setTextEncoding: [0] },
      func1: { printText: ['Grüße\n', 1, 0, 1, 2, 2, 1, 0] },
      func2: { printBitmapFile: ['logo.bmp', -2, 1, -100, 0, 1] },
      func3: { asbEnable: [-5] },
      func4: { cutPaper: [65] },
    },
  });
});

// A service in memory: answers each request with the next of `answers` ([status, body],
// or an Error to throw), and keeps the requests it got.
function fakeService(answers) {
  const requests = [];
  const fetch = async (url, init = {}) => {
    requests.push({ url, method: init.method ?? 'GET', body: init.body });
    const answer = answers.shift();
    if (answer instanceof Error) throw answer;
    if (typeof answer === 'function') return answer();
    const [status, body] = answer;
    return { status, ok: status === 200, text: async () => body };
  };
  return { requests, client: new Vembrix({ port: 9999, fetch }) };
}

const ready = [200, '{"RequestID":1,"ResponseID":"AbCdEfGh","Result":"ready"}'];
const final = (word, id = 'AbCdEfGh') => [200, `{"RequestID":1,"ResponseID":"${id}","Result":"${word}"}`];
const home = [200, '<html><h1>CORVANE Vembrix</h1></html>'];

test('each answer of the service becomes the result or the error a page can tell apart', async () => {
  const cases = [
    ['success', [ready, final('success')], 'success'],
    ['printer off or a failed function', [ready, final('error')], 'failed'],
    ['data the printer refused', [ready, final('error json data')], 'failed'],
    ['printer removed since', [ready, final('not found match device')], 'not-configured'],
    ['still running at the time-out', [ready, final('ready')], 'timeout'],
    ['not started at the time-out', [ready, final('not found match device', '')], 'timeout'],
    ['no such printer', [[404, '']], 'not-configured'],
    ['job refused', [[400, '']], 'refused'],
    ['service down', [new TypeError('Failed to fetch'), new TypeError('Failed to fetch')], 'unreachable'],
    ['request blocked, service up', [new TypeError('Failed to fetch'), home], 'blocked'],
    ['another program on the port', [[200, '<html>not us</html>']], 'refused'],
  ];
  for (const [name, answers, expected] of cases) {
    const { client, requests } = fakeService(answers);
    const outcome = await client.printer('Till').posJob().cutPaper(65).send()
      .then((r) => r.result, (e) => e.code);
    assert.equal(outcome, expected, name);
    assert.equal(requests[0].method, 'POST', name);
    assert.equal(requests[0].url, 'http://127.0.0.1:9999/vembrix/Till', name);
  }
});

test('one printer\'s jobs are posted in call order, each polled once, as plain text', async () => {
  let releaseFirst;
  const requests = [];
  const answer = (body) => ({ status: 200, ok: true, text: async () => body });
  const fetch = async (url, init) => {
    const body = JSON.parse(init.body);
    requests.push([url.replace(/.*vembrix/, ''), typeof init.body, body.id ?? body.RequestID]);
    const id = body.id ?? body.RequestID;
    const message = `{"RequestID":${id},"ResponseID":"Job${id}","Result":"${body.id ? 'ready' : 'success'}"}`;
    if (id === 1 && body.id) return new Promise((resolve) => { releaseFirst = () => resolve(answer(message)); });
    return answer(message);
  };
  const till = new Vembrix({ port: 9999, fetch }).printer('Till');
  const first = till.posJob({ id: 1 }).cutPaper(0).send();
  const second = till.posJob({ id: 2 }).cutPaper(1).send({ timeout: 5 });
  await new Promise((resolve) => setTimeout(resolve, 20));
  assert.equal(requests.length, 1, 'the second job waits until the first is queued');
  releaseFirst();
  assert.deepEqual((await Promise.all([first, second])).map((r) => r.responseId), ['Job1', 'Job2']);
  const posts = requests.filter(([url]) => url === '/Till');
  const polls = requests.filter(([url]) => url === '/Till/checkStatus.cvn');
  assert.deepEqual(posts, [['/Till', 'string', 1], ['/Till', 'string', 2]]);
  assert.deepEqual(polls, [['/Till/checkStatus.cvn', 'string', 1], ['/Till/checkStatus.cvn', 'string', 2]]);
});
