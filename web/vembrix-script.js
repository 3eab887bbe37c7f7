/*
 * Vembrix web client: prints from a web page through the Vembrix print service on the
 * user's own computer.
 *
 * This file works as a plain script (<script src="vembrix-script.js">, which also serves
 * pages opened as files, where browsers refuse module scripts) and defines the global
 * `vembrix`; vembrix.js is the ES module with the same classes. No dependencies, no
 * build step. The function and parameter names are those of docs/pos-functions.md and
 * docs/label-functions.md.
 */
(function (global) {
  'use strict';

  // Each job function's parameters in job order, as "name:rule". A rule is "text"
  // (any string), "text+" (not empty) or integer ranges such as "0..2|65", "1.." (no
  // upper bound), "int" (any 32-bit integer). A bare name takes the rule its table gives
  // that name.
  const POS_FUNCTIONS = {
    printText: ['text', 'alignment', 'font:0..2', 'style:0..31', 'width:0..8', 'height:0..8',
      'smoothing:0..1', 'spacing:0..255'],
    setTextEncoding: ['codePage:0|437|737|850|852|857|858|860|862|863|865|866|932|936|949|950|' +
      '1250..1257|65001'],
    setCharacterset: ['table:0..255'],
    setInternationalCharacterset: ['country:0..17|66..82'],
    cutPaper: ['mode:0|1|48|49|65|66'],
    openDrawer: ['pin:0..1'],
    setPagemode: ['mode:0..3'],
    setPagemodePrintArea: ['x:0..65535', 'y:0..65535', 'width:1..65535', 'height:1..65535'],
    setPagemodeDirection: ['direction:0..3'],
    setPagemodePosition: ['x:0..65535', 'y:0..65535'],
    printBitmapFile: ['path:text+', 'width:-2..-1|1..', 'alignment', 'brightness:-100..100',
      'rasterMode:0..3', 'dither:0..1'],
    print1DBarcode: ['data', 'symbology:101..108|110', 'height:1..255', 'moduleWidth:1..6',
      'alignment', 'textPosition:0..3'],
    printQRCode: ['data', 'moduleSize:1..16', 'errorLevel:0..3', 'alignment', 'model:0|2'],
    printPDF417: ['data', 'columns:0..30', 'rows:0|3..90', 'moduleWidth:2..8', 'rowHeight:2..8',
      'errorLevel:0..8', 'truncated:0..1', 'alignment'],
    printDataMatrix: ['data', 'moduleSize:2..16', 'alignment'],
    printGS1Databar: ['data', 'type:0..2', 'moduleWidth:2..8', 'alignment'],
    printCompositeBarcode: ['data', 'linearType:0..12', 'moduleWidth:2..8', 'alignment'],
    checkPrinterStatus: [],
    asbEnable: ['enable:int'],
  };
  const POS_RULES = { text: 'text', data: 'text+', alignment: '0..2' };

  // The label functions a job can call; the service takes no signs in their numbers.
  const LABEL_FUNCTIONS = {
    Connect: [],
    Disconnect: [],
    checkStatus: [],
    ReadStatus: ['timeout:0..', 'count:1..10000'],
    ClearBuffer: [],
    Prints: ['quantity:1..99999999', 'copies:1..99999999'],
    SetConfigOfPrinter: ['speed:0..14', 'darkness:0..30', 'printMethod:0..2', 'afterPrint:0..4',
      'orientation:0..2', 'mirror:0..2'],
    SetConfigOfPrinterII: ['labelReverse:0..2', 'reprintAfterError:0..2', 'slewSpeed:0..14',
      'backfeedSpeed:0..14', 'reserved'],
    SetPaper: ['width:0..32000', 'length:0..32000', 'homeX:0..32000', 'homeY:0..32000',
      'mediaSensing:0..3', 'markOffset:0..283', 'maxLength:0..32000'],
    SetPaperII: ['widthMm:0..1000', 'lengthMm:0..1000', 'dotsPerMm:6|8|12|24', 'homeXMm:0..1000',
      'homeYMm:0..1000'],
    PrintDirect: ['data:text+', 'sendNow:0..1'],
    PrintBinaryFile: ['path'],
    PrintDeviceFont: ['x', 'y', 'font:0..7|100', 'hMag', 'vMag', 'rotation', 'reverse', 'text'],
    PrintDeviceFontW: ['x', 'y', 'font:0..7|100', 'hMag', 'vMag', 'rotation', 'reverse',
      'justification', 'text'],
    PrintTrueFont: ['x', 'y', 'faceName', 'height:1..2000', 'width:0..2000', 'rotation', 'bold',
      'italic', 'text', 'justification'],
    PrintTrueFontW: ['x', 'y', 'faceName', 'height:1..2000', 'width:0..2000', 'rotation', 'bold',
      'italic', 'text', 'justification'],
    PrintTrueFontLib: ['x', 'y', 'faceName', 'height:1..2000', 'width:0..2000', 'rotation',
      'bold', 'italic', 'text', 'justification'],
    PrintTrueFontLibW: ['x', 'y', 'faceName', 'height:1..2000', 'width:0..2000', 'rotation',
      'bold', 'italic', 'text', 'justification'],
    PrintVectorFont: ['x', 'y', 'faceName', 'width:0..2000', 'height:1..2000', 'spacing:text',
      'rotation', 'bold', 'italic', 'reverse', 'secondFace:text', 'justification', 'text'],
    PrintVectorFontW: ['x', 'y', 'reserved', 'faceName', 'width:0..2000', 'height:1..2000',
      'spacing:text', 'rotation', 'bold', 'italic', 'reverse', 'secondFace:text',
      'justification', 'text'],
    Print1DBarcode: ['x', 'y', 'type:0..8', 'narrowWidth:1..10', 'ratio:0|20..30',
      'height:1..32000', 'rotation', 'readable:0..2', 'data'],
    PrintPDF417: ['x', 'y', 'moduleWidth:1..10', 'rowHeight:1..255', 'securityLevel:0..8',
      'columns:0..30', 'rows:0|3..90', 'truncate:0..1', 'rotation', 'reserved', 'reserved',
      'data'],
    PrintQRCode: ['x', 'y', 'model:1..2', 'errorCorrection:0..3', 'magnification:1..10',
      'rotation:0', 'data'],
    PrintDataMatrix: ['x', 'y', 'moduleSize:1..100', 'rotation', 'symbolSize:0|10..144', 'data'],
    PrintMaxiCode: ['x', 'y', 'mode:2..6', 'data'],
    PrintImageLib: ['x', 'y', 'path', 'hMag', 'vMag'],
    PrintImageLibW: ['x', 'y', 'rotation', 'path', 'hMag', 'vMag'],
    PrintImageLibWithSize: ['x', 'y', 'width:0..32000', 'height:0..32000', 'path', 'rotation',
      'dithering:0..1'],
    PrintImageLibWWithSize: ['x', 'y', 'width:0..32000', 'height:0..32000', 'rotation', 'path',
      'dithering:0..1', 'reserved'],
    PrintBlock: ['x1:0..32000', 'y1:0..32000', 'x2:0..32000', 'y2:0..32000', 'style:0..4',
      'thickness:0..32000'],
    PrintCircle: ['x', 'y', 'diameter:3..4095', 'thickness:0..4095'],
    RFIDSetup: ['tagType:0..9', 'programPosition:0..999', 'retries:0..10', 'errorHandling:0..3'],
    RFIDCalibration: [],
    RFIDWrite: ['format:0..1', 'memoryBank:0|1|3', 'startBlock:0..65535', 'data'],
    RFIDPassword: ['accessPassword:text', 'killPassword:text', 'lockStyle:text',
      'currentPassword:text'],
    RFIDLock: [],
  };
  const LABEL_RULES = {
    x: '0..32000', y: '0..32000', rotation: '0..3', hMag: '1..10', vMag: '1..10',
    reverse: '0..1', bold: '0..1', italic: '0..1', justification: '0..2', reserved: '0',
    text: 'text', data: 'text+', path: 'text+', faceName: 'text+',
  };

  // What a label printer's status code means (ReadStatus, checkStatus).
  const LABEL_STATUS = {
    0: 'ready', 1: 'paper empty', 2: 'cover open', 3: 'cutter jammed',
    4: 'print head over-temperature', 5: 'media detection error', 6: 'ribbon end',
    7: 'paused', 8: 'no answer within 2 s', 9: 'the answer could not be read',
    100: 'asked, no answer yet', [-1]: 'no printer connected',
  };

  // Data each 1D symbology of print1DBarcode takes (docs/pos-functions.md).
  const POS_BARCODE_DATA = {
    101: [/^\d{11,12}$/, '11 or 12 digits'],
    102: [/^(\d{6,8}|\d{11,12})$/, '6, 7, 8, 11 or 12 digits'],
    103: [/^\d{12,13}$/, '12 or 13 digits'],
    104: [/^\d{7,8}$/, '7 or 8 digits'],
    105: [/^[0-9A-Z $%*+\-./]+$/, '0-9, A-Z, space and $%*+-./'],
    106: [/^(\d\d)+$/, 'an even number of digits'],
    107: [/^[A-D][0-9$+\-./:]*[A-D]$/, '0-9 and $+-./: between start and stop characters A-D'],
    108: [/^[\x00-\x7f]+$/, 'ASCII'],
    110: [/^[\x00-\x7f]+$/, 'ASCII'],
  };
  // Checks of one call beyond its single parameters.
  const POS_CALL_CHECKS = {
    print1DBarcode(args) {
      const [pattern, wanted] = POS_BARCODE_DATA[args[1]];
      if (!pattern.test(args[0])) return `data: symbology ${args[1]} takes ${wanted}`;
      return null;
    },
    printCompositeBarcode(args) {
      if (!/^[\x20-\x7e]*\|[\x20-\x7e]+$/.test(args[0]))
        return 'data: the linear element, "|", then the 2D element, in printable ASCII';
      return null;
    },
  };
  const LABEL_CALL_CHECKS = {
    Prints(args) {
      return args[0] * args[1] > 99999999 ? 'quantity x copies is at most 99,999,999' : null;
    },
  };

  // The longest wait for a result the service grants a status query, in seconds.
  const MAX_TIMEOUT = 300;
  const INT_MIN = -2147483648;
  const INT_MAX = 2147483647;

  class VembrixError extends Error {
    // code: 'invalid-argument' | 'unreachable' | 'blocked' | 'refused' | 'not-configured' |
    // 'failed' | 'timeout'
    constructor(code, message, details) {
      super(message);
      this.name = 'VembrixError';
      this.code = code;
      Object.assign(this, details);
    }
  }

  function parseRule(rule) {
    if (rule === 'text' || rule === 'text+') return { text: true, nonEmpty: rule === 'text+' };
    if (rule === 'int') return { ranges: [[INT_MIN, INT_MAX]] };
    const ranges = rule.split('|').map((part) => {
      const [low, high] = part.split(/(?<=\d)\.\./);
      if (high === undefined) return [Number(low), Number(low)];
      return [Number(low), high === '' ? INT_MAX : Number(high)];
    });
    return { ranges };
  }

  function describeRule(rule) {
    if (rule.text) return rule.nonEmpty ? 'a text that is not empty' : 'a text';
    return rule.ranges.map(([low, high]) =>
      low === high ? `${low}` : high === INT_MAX ? `${low} or more` : `${low} to ${high}`)
      .join(', ');
  }

  function compile(functions, namedRules, defaultRule) {
    const compiled = {};
    for (const [name, params] of Object.entries(functions)) {
      compiled[name] = params.map((param) => {
        const [paramName, rule] = param.split(/:(.*)/s);
        return { name: paramName, rule: parseRule(rule ?? namedRules[paramName] ?? defaultRule) };
      });
    }
    return compiled;
  }

  // A string of whole UTF-16: the printer libraries refuse a lone surrogate.
  function wellFormed(text) {
    return !/[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/.test(text);
  }

  function checkValue(functionName, param, value) {
    const fail = (why) => new VembrixError('invalid-argument',
      `${functionName}: ${param.name} must be ${describeRule(param.rule)} (${why})`,
      { function: functionName, parameter: param.name });
    if (param.rule.text) {
      if (typeof value !== 'string') throw fail(`got ${typeof value}`);
      if (param.rule.nonEmpty && value === '') throw fail('got an empty text');
      if (!wellFormed(value)) throw fail('it holds a lone surrogate');
      return;
    }
    if (typeof value === 'boolean') value = value ? 1 : 0;
    if (!Number.isInteger(value)) throw fail(`got ${JSON.stringify(value) ?? typeof value}`);
    if (!param.rule.ranges.some(([low, high]) => value >= low && value <= high))
      throw fail(`got ${value}`);
  }

  function checkCall(functionName, params, callCheck, args) {
    if (args.length !== params.length) {
      const names = params.map((p) => p.name).join(', ');
      throw new VembrixError('invalid-argument',
        `${functionName}(${names}) takes ${params.length} argument(s), got ${args.length}`,
        { function: functionName });
    }
    params.forEach((param, i) => checkValue(functionName, param, args[i]));
    const wrong = callCheck ? callCheck(args) : null;
    if (wrong) {
      throw new VembrixError('invalid-argument', `${functionName}: ${wrong}`,
        { function: functionName });
    }
  }

  const POS_PARAMS = compile(POS_FUNCTIONS, POS_RULES, 'int');
  const LABEL_PARAMS = compile(LABEL_FUNCTIONS, LABEL_RULES, '0..32000');

  function sentAlready(job) {
    return new VembrixError('invalid-argument', 'this job was sent already',
      { printer: job.printer.name, requestId: job.id });
  }

  // A job under construction: its calls in order, sent once. PosJob and LabelJob have a
  // method for each function their printers take; call() names one by its name.
  class Job {
    #calls = [];
    #sent = false;

    constructor(printer, id) {
      this.printer = printer;
      this.id = id;
    }

    call(name, ...args) {
      if (this.#sent) throw sentAlready(this);
      const { params, check } = this.constructor.functions[name] ?? {};
      if (!params) {
        throw new VembrixError('invalid-argument', `${name} is not a function of this job`,
          { function: name });
      }
      checkCall(name, params, check, args);
      this.#calls.push([name, args.map((value) => typeof value === 'boolean' ? +value : value)]);
      return this;
    }

    get calls() {
      return this.#calls.map(([name, args]) => [name, [...args]]);
    }

    // The job document the service takes.
    toJSON() {
      const functions = {};
      this.#calls.forEach(([name, args], i) => {
        functions[`func${i}`] = { [name]: args };
      });
      return { id: this.id, mode: 0, functions };
    }

    // Hands the job to the service; resolves with {requestId, responseId} once it is
    // queued, before it is printed. Collect its result with printer.result().
    submit() {
      if (this.#sent) throw sentAlready(this);
      this.#sent = true;
      return this.printer.submitDocument(JSON.stringify(this));
    }

    // Sends the job and resolves with its final result; rejects with a VembrixError.
    async send(options) {
      return this.printer.collect(await this.submit(), options);
    }
  }

  class PosJob extends Job {}
  class LabelJob extends Job {}

  function addFunctions(jobClass, paramTable, callChecks) {
    jobClass.functions = {};
    for (const [name, params] of Object.entries(paramTable)) {
      jobClass.functions[name] = { params, check: callChecks[name] };
      Object.defineProperty(jobClass.prototype, name, {
        value: function (...args) {
          return this.call(name, ...args);
        },
        writable: true,
        configurable: true,
      });
    }
  }
  addFunctions(PosJob, POS_PARAMS, POS_CALL_CHECKS);
  addFunctions(LabelJob, LABEL_PARAMS, LABEL_CALL_CHECKS);

  function hexOf(bytes) {
    return Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
  }

  // A fetch that gives up after `ms`; rejects with a TypeError like a failed network.
  async function fetchWithin(fetchFn, url, init, ms) {
    const abort = new AbortController();
    const timer = setTimeout(() => abort.abort(), ms);
    try {
      return await fetchFn(url, { ...init, signal: abort.signal });
    } finally {
      clearTimeout(timer);
    }
  }

  function resultMessage(text) {
    try {
      const message = JSON.parse(text);
      if (message && typeof message.Result === 'string') return message;
    } catch (e) {
      // not a result message
    }
    return null;
  }

  // One configured printer of the service, by its logical name. Its jobs reach the
  // service in the order they were sent, and its results are collected in that order,
  // one poll per job.
  class Printer {
    #client;
    #submissions = Promise.resolve();
    #polls = Promise.resolve();

    constructor(client, name) {
      this.#client = client;
      this.name = name;
    }

    get url() {
      return `${this.#client.baseUrl}/${encodeURIComponent(this.name)}`;
    }

    posJob(options = {}) {
      return new PosJob(this, this.#client.jobId(options.id));
    }

    labelJob(options = {}) {
      return new LabelJob(this, this.#client.jobId(options.id));
    }

    // Raw printer data: a string is sent as text (mode 1), bytes as they are (mode 2; a
    // label printer takes them up to the first zero byte).
    async sendRaw(data, options = {}) {
      let document;
      const id = this.#client.jobId(options.id);
      if (typeof data === 'string') {
        if (data === '' || !wellFormed(data)) {
          throw new VembrixError('invalid-argument', 'sendRaw: the text must be whole and not empty',
            { printer: this.name });
        }
        document = { id, mode: 1, functions: { data } };
      } else if (data instanceof Uint8Array || data instanceof ArrayBuffer) {
        const bytes = data instanceof Uint8Array ? data : new Uint8Array(data);
        if (bytes.length === 0) {
          throw new VembrixError('invalid-argument', 'sendRaw: no bytes', { printer: this.name });
        }
        document = { id, mode: 2, functions: { data: hexOf(bytes) } };
      } else {
        throw new VembrixError('invalid-argument', 'sendRaw takes a string or a Uint8Array',
          { printer: this.name });
      }
      return this.collect(await this.submitDocument(JSON.stringify(document)), options);
    }

    // A label printer's status: {code, text}. A fault is a status too, though the
    // service fails the job that read it.
    async readLabelStatus(options = {}) {
      let statuses;
      try {
        statuses = (await this.labelJob().ReadStatus(options.waitMs ?? 0, 1).send(options)).readStatus;
      } catch (error) {
        if (!(error instanceof VembrixError) || !error.readStatus) throw error;
        statuses = error.readStatus;
      }
      const code = statuses?.[0] ?? 8;
      return { code, text: LABEL_STATUS[code] ?? `status ${code}` };
    }

    // Waits for the result of a job sent before (this page or an earlier one), with one
    // status query; resolves like send().
    async result(responseId, requestId, options = {}) {
      const timeout = this.#client.timeoutOf(options);
      const body = JSON.stringify({ ResponseID: responseId, RequestID: requestId, Timeout: timeout });
      const details = { printer: this.name, requestId, responseId };
      const response = await this.#client.request(`${this.url}/checkStatus.cvn`, body,
        (timeout + this.#client.graceSeconds) * 1000, details);
      const message = resultMessage(await response.text());
      if (response.status !== 200 || !message) {
        throw new VembrixError('refused', `the service refused the status query (${response.status})`,
          { ...details, httpStatus: response.status });
      }
      return outcome(message, { ...details, timeout });
    }

    submitDocument(body) {
      const turn = this.#submissions.then(() => this.#post(body));
      this.#submissions = turn.catch(() => {});
      return turn;
    }

    collect(accepted, options = {}) {
      const turn = this.#polls.then(() =>
        this.result(accepted.responseId, accepted.requestId, options));
      this.#polls = turn.catch(() => {});
      return turn;
    }

    async #post(body) {
      const requestId = JSON.parse(body).id;
      const details = { printer: this.name, requestId };
      const response = await this.#client.request(this.url, body,
        (this.#client.timeout + this.#client.graceSeconds) * 1000, details);
      const text = await response.text();
      if (response.status === 404) {
        throw new VembrixError('not-configured',
          `the service has no printer named "${this.name}"`, { ...details, httpStatus: 404 });
      }
      const message = resultMessage(text);
      if (response.status !== 200 || !message || message.Result !== 'ready') {
        throw new VembrixError('refused',
          `the service refused the job (${response.status}${message ? ', ' + message.Result : ''})`,
          { ...details, httpStatus: response.status, result: message?.Result });
      }
      return { requestId: message.RequestID, responseId: message.ResponseID };
    }
  }

  // The final result of a job from its result message, or the error that tells why not.
  function outcome(message, details) {
    const base = {
      ...details, requestId: message.RequestID || details.requestId,
      responseId: message.ResponseID || details.responseId, result: message.Result,
    };
    const readStatus = Array.isArray(message.ReadStatus) ? message.ReadStatus : undefined;
    switch (message.Result) {
      case 'success':
        return { requestId: base.requestId, responseId: base.responseId, result: 'success',
          ...(readStatus ? { readStatus } : {}) };
      case 'ready':
      case 'progress':
        throw new VembrixError('timeout',
          `the job did not finish within ${details.timeout} s; it may still print`, base);
      case 'not found match device':
        if (message.ResponseID) {
          throw new VembrixError('not-configured',
            `the printer "${details.printer}" is not configured (or of no known type)`, base);
        }
        throw new VembrixError('timeout', `no result within ${details.timeout} s: the job has ` +
          'not started yet, or its result was collected already', base);
      case 'error json data':
        throw new VembrixError('failed', 'the printer refused the job\'s data ' +
          '(a parameter of a function, or a function its printer does not have)',
          { ...base, readStatus });
      default:
        throw new VembrixError('failed', `the job failed (${message.Result}): the printer may ` +
          'be off, unreachable or out of paper, or a function failed; the service\'s trace ' +
          'log names it', { ...base, readStatus });
    }
  }

  let nextClientJobId = 1;

  // A client for the Vembrix service on this computer.
  class Vembrix {
    #fetch;
    #printers = new Map();

    // options: host ('127.0.0.1'), port (8080), timeout (seconds a job's result is
    // waited for, 30), fetch (a fetch function to use instead of the global one).
    constructor(options = {}) {
      const host = options.host ?? '127.0.0.1';
      const port = options.port ?? 8080;
      if (!Number.isInteger(port) || port < 1 || port > 65535)
        throw new VembrixError('invalid-argument', `port must be 1 to 65535 (got ${port})`);
      this.timeout = this.timeoutOf(options, 30);
      this.graceSeconds = 10;
      this.baseUrl = `http://${host.includes(':') ? `[${host}]` : host}:${port}/vembrix`;
      this.#fetch = options.fetch ?? ((...args) => global.fetch(...args));
    }

    printer(name) {
      if (typeof name !== 'string' || name === '')
        throw new VembrixError('invalid-argument', 'a printer is named by its logical name');
      if (!this.#printers.has(name)) this.#printers.set(name, new Printer(this, name));
      return this.#printers.get(name);
    }

    // The configured printers: [{name, printerName, port}], read from the service's
    // device page.
    async printers() {
      const response = await this.#get(`${this.baseUrl}/device`);
      const text = await response.text();
      const rows = [];
      const row = /<tr>\s*<td>([^]*?)<\/td>\s*<td>([^]*?)<\/td>\s*<td>([^]*?)<\/td>/g;
      for (let match; (match = row.exec(text));)
        rows.push({ name: match[1], printerName: match[2], port: match[3] });
      return rows;
    }

    // True when the service answers on its home page.
    async isRunning() {
      try {
        const response = await fetchWithin(this.#fetch, `${this.baseUrl}/`, {}, 5000);
        return response.ok && (await response.text()).includes('Vembrix');
      } catch (e) {
        return false;
      }
    }

    timeoutOf(options, fallback = this.timeout) {
      const timeout = options.timeout ?? fallback;
      if (!Number.isInteger(timeout) || timeout < 0 || timeout > MAX_TIMEOUT) {
        throw new VembrixError('invalid-argument',
          `timeout is whole seconds, 0 to ${MAX_TIMEOUT} (got ${timeout})`);
      }
      return timeout;
    }

    jobId(id) {
      if (id === undefined) {
        const next = nextClientJobId;
        nextClientJobId = next === INT_MAX ? 1 : next + 1;
        return next;
      }
      if (!Number.isInteger(id) || id < 1 || id > INT_MAX)
        throw new VembrixError('invalid-argument', `a job id is 1 to ${INT_MAX} (got ${id})`);
      return id;
    }

    // A POST with a plain-text body: no preflight, so any service version takes it.
    async request(url, body, ms, details) {
      try {
        return await fetchWithin(this.#fetch, url, { method: 'POST', body }, ms);
      } catch (e) {
        throw await this.#networkError(e, details);
      }
    }

    async #get(url) {
      try {
        return await fetchWithin(this.#fetch, url, {}, this.graceSeconds * 1000);
      } catch (e) {
        throw await this.#networkError(e, {});
      }
    }

    async #networkError(cause, details) {
      if (await this.isRunning()) {
        return new VembrixError('blocked', `the Vembrix service at ${this.baseUrl} answers, ` +
          'but this request did not reach it or its answer was lost (the browser may have ' +
          `blocked it: ${cause.message})`, { ...details, cause });
      }
      return new VembrixError('unreachable', `cannot reach the Vembrix service at ` +
        `${this.baseUrl}: it is not running, or the browser does not let this page reach ` +
        'this computer (see "Printing from a web page" in the README)', { ...details, cause });
    }
  }

  // Names and parameter names of the job functions, for tools and tests.
  const functionParameters = (table) => Object.fromEntries(
    Object.entries(table).map(([name, params]) => [name, params.map((p) => p.name)]));

  global.vembrix = {
    Vembrix, Printer, Job, PosJob, LabelJob, VembrixError, LABEL_STATUS,
    POS_PARAMETERS: functionParameters(POS_PARAMS),
    LABEL_PARAMETERS: functionParameters(LABEL_PARAMS),
  };
})(globalThis);
