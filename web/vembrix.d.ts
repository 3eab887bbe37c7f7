// Types of the Vembrix web client (vembrix.js, and vembrix-script.js's global `vembrix`).
// Function and parameter names are those of docs/pos-functions.md and
// docs/label-functions.md; every builder method checks its arguments (count, type, the
// documented values, noted beside each) and throws a VembrixError with the code
// 'invalid-argument' before anything is sent. true and false are taken as 1 and 0.

export interface VembrixOptions {
  /** The service's address; 127.0.0.1 unless the service runs elsewhere. */
  host?: string;
  /** The service's ListenPort; 8080. */
  port?: number;
  /** Whole seconds a job's result is waited for; 30, at most 300. */
  timeout?: number;
  /** A fetch to use instead of the global one. */
  fetch?: typeof fetch;
}

export interface SendOptions {
  /** Whole seconds this job's result is waited for, at most 300; the client's timeout
   *  by default. */
  timeout?: number;
}

export interface JobOptions {
  /** The job's RequestID, 1 to 2147483647; numbered by the client when left out. */
  id?: number;
}

/** A job the service carried out. */
export interface JobResult {
  requestId: number;
  responseId: string;
  result: 'success';
  /** The status codes a label job's ReadStatus read (see LABEL_STATUS). */
  readStatus?: number[];
}

export interface Accepted {
  requestId: number;
  responseId: string;
}

export interface PrinterEntry {
  /** The logical name jobs use. */
  name: string;
  /** The name the printer reports, where known. */
  printerName: string;
  port: string;
}

export type VembrixErrorCode =
  /** A builder method, option or argument was refused before anything was sent. */
  | 'invalid-argument'
  /** The service does not answer: not running, or the browser keeps the page from it. */
  | 'unreachable'
  /** The service answers, but this request did not reach it or its answer was lost. */
  | 'blocked'
  /** The service refused the job (HTTP 400, or a duplicate). */
  | 'refused'
  /** The service has no printer of that name (or none of a known type). */
  | 'not-configured'
  /** The job ran and failed: printer off or unreachable, out of paper, a function failed,
   *  or the printer refused the job's data. */
  | 'failed'
  /** No final result within the time-out; the job may still print. */
  | 'timeout';

export class VembrixError extends Error {
  readonly name: 'VembrixError';
  readonly code: VembrixErrorCode;
  readonly printer?: string;
  readonly requestId?: number;
  readonly responseId?: string;
  /** The service's result word ("error", "error json data", ...), where there was one. */
  readonly result?: string;
  readonly httpStatus?: number;
  /** The function and parameter an 'invalid-argument' error is about. */
  readonly function?: string;
  readonly parameter?: string;
  readonly readStatus?: number[];
  readonly cause?: unknown;
}

export class Vembrix {
  constructor(options?: VembrixOptions);
  /** http://host:port/vembrix */
  readonly baseUrl: string;
  readonly timeout: number;
  /** The printer of that logical name; the same object for the same name. */
  printer(name: string): Printer;
  /** The configured printers, from the service's device page. */
  printers(): Promise<PrinterEntry[]>;
  /** True when the service answers. */
  isRunning(): Promise<boolean>;
}

/** One printer of the service. Its jobs reach the service in the order they are sent and
 *  run in that order; each job's result is asked for once. */
export class Printer {
  readonly name: string;
  readonly url: string;
  /** A receipt, mobile or gateway printer's job (docs/pos-functions.md). */
  posJob(options?: JobOptions): PosJob;
  /** A label printer's job (docs/label-functions.md). */
  labelJob(options?: JobOptions): LabelJob;
  /** Raw printer data: a string as text (mode 1), bytes as they are (mode 2; a label
   *  printer takes them up to the first zero byte). */
  sendRaw(data: string | Uint8Array | ArrayBuffer, options?: SendOptions & JobOptions): Promise<JobResult>;
  /** A label printer's status (ReadStatus), with its meaning. */
  readLabelStatus(options?: SendOptions & { waitMs?: number }): Promise<{ code: number; text: string }>;
  /** The final result of a job submitted before, by one status query. */
  result(responseId: string, requestId: number, options?: SendOptions): Promise<JobResult>;
  /** Sends a job document as it is (the client numbers nothing); resolves once queued. */
  submitDocument(body: string): Promise<Accepted>;
}

export class Job {
  readonly printer: Printer;
  readonly id: number;
  /** The calls so far: [function name, arguments]. */
  readonly calls: [string, (string | number)[]][];
  /** Adds a call by its function name, checked like the methods. */
  call(name: string, ...args: (string | number | boolean)[]): this;
  /** The job document the service takes. */
  toJSON(): { id: number; mode: 0; functions: Record<string, Record<string, (string | number)[]>> };
  /** Hands the job to the service; resolves once it is queued. A job is sent once. */
  submit(): Promise<Accepted>;
  /** Sends the job and resolves with its final result, or rejects with a VembrixError. */
  send(options?: SendOptions): Promise<JobResult>;
}

/** Functions of receipt, mobile and gateway printers. A text is refused only when it holds
 *  a lone surrogate; bar code data must suit its symbology. */
export class PosJob extends Job {
  /** alignment 0..2; font 0..2; style 0..31; width 0..8; height 0..8; smoothing 0..1; spacing 0..255 */
  printText(text: string, alignment: number, font: number, style: number, width: number, height: number, smoothing: number, spacing: number): this;
  /** codePage 0 | 437 | 737 | 850 | 852 | 857 | 858 | 860 | 862 | 863 | 865 | 866 | 932 | 936 | 949 | 950 | 1250..1257 | 65001 */
  setTextEncoding(codePage: number): this;
  /** table 0..255 */
  setCharacterset(table: number): this;
  /** country 0..17 | 66..82 */
  setInternationalCharacterset(country: number): this;
  /** mode 0 | 1 | 48 | 49 | 65 | 66 */
  cutPaper(mode: number): this;
  /** pin 0..1 */
  openDrawer(pin: number): this;
  /** mode 0..3 */
  setPagemode(mode: number): this;
  /** x 0..65535; y 0..65535; width 1..65535; height 1..65535 */
  setPagemodePrintArea(x: number, y: number, width: number, height: number): this;
  /** direction 0..3 */
  setPagemodeDirection(direction: number): this;
  /** x 0..65535; y 0..65535 */
  setPagemodePosition(x: number, y: number): this;
  /** path not empty; width -2..-1 | 1+; alignment 0..2; brightness -100..100; rasterMode 0..3; dither 0..1 */
  printBitmapFile(path: string, width: number, alignment: number, brightness: number, rasterMode: number, dither: number): this;
  /** data not empty; symbology 101..108 | 110; height 1..255; moduleWidth 1..6; alignment 0..2; textPosition 0..3 */
  print1DBarcode(data: string, symbology: number, height: number, moduleWidth: number, alignment: number, textPosition: number): this;
  /** data not empty; moduleSize 1..16; errorLevel 0..3; alignment 0..2; model 0 | 2 */
  printQRCode(data: string, moduleSize: number, errorLevel: number, alignment: number, model: number): this;
  /** data not empty; columns 0..30; rows 0 | 3..90; moduleWidth 2..8; rowHeight 2..8; errorLevel 0..8; truncated 0..1; alignment 0..2 */
  printPDF417(data: string, columns: number, rows: number, moduleWidth: number, rowHeight: number, errorLevel: number, truncated: number, alignment: number): this;
  /** data not empty; moduleSize 2..16; alignment 0..2 */
  printDataMatrix(data: string, moduleSize: number, alignment: number): this;
  /** data not empty; type 0..2; moduleWidth 2..8; alignment 0..2 */
  printGS1Databar(data: string, type: number, moduleWidth: number, alignment: number): this;
  /** data not empty; linearType 0..12; moduleWidth 2..8; alignment 0..2 */
  printCompositeBarcode(data: string, linearType: number, moduleWidth: number, alignment: number): this;
  /**  */
  checkPrinterStatus(): this;
  /** enable -2147483648+ */
  asbEnable(enable: number): this;
}

/** Functions of label printers, including the job-level Connect, Disconnect, checkStatus
 *  (fails the job on any status but 0) and ReadStatus (timeout in ms, 0 for 5000; count
 *  of reads, which the result's readStatus carries). Numbers are 0 or more. */
export class LabelJob extends Job {
  /**  */
  Connect(): this;
  /**  */
  Disconnect(): this;
  /**  */
  checkStatus(): this;
  /** timeout 0+; count 1..10000 */
  ReadStatus(timeout: number, count: number): this;
  /**  */
  ClearBuffer(): this;
  /** quantity 1..99999999; copies 1..99999999 */
  Prints(quantity: number, copies: number): this;
  /** speed 0..14; darkness 0..30; printMethod 0..2; afterPrint 0..4; orientation 0..2; mirror 0..2 */
  SetConfigOfPrinter(speed: number, darkness: number, printMethod: number, afterPrint: number, orientation: number, mirror: number): this;
  /** labelReverse 0..2; reprintAfterError 0..2; slewSpeed 0..14; backfeedSpeed 0..14; reserved 0 */
  SetConfigOfPrinterII(labelReverse: number, reprintAfterError: number, slewSpeed: number, backfeedSpeed: number, reserved: number): this;
  /** width 0..32000; length 0..32000; homeX 0..32000; homeY 0..32000; mediaSensing 0..3; markOffset 0..283; maxLength 0..32000 */
  SetPaper(width: number, length: number, homeX: number, homeY: number, mediaSensing: number, markOffset: number, maxLength: number): this;
  /** widthMm 0..1000; lengthMm 0..1000; dotsPerMm 6 | 8 | 12 | 24; homeXMm 0..1000; homeYMm 0..1000 */
  SetPaperII(widthMm: number, lengthMm: number, dotsPerMm: number, homeXMm: number, homeYMm: number): this;
  /** data not empty; sendNow 0..1 */
  PrintDirect(data: string, sendNow: number): this;
  /** path not empty */
  PrintBinaryFile(path: string): this;
  /** x 0..32000; y 0..32000; font 0..7 | 100; hMag 1..10; vMag 1..10; rotation 0..3; reverse 0..1 */
  PrintDeviceFont(x: number, y: number, font: number, hMag: number, vMag: number, rotation: number, reverse: number, text: string): this;
  /** x 0..32000; y 0..32000; font 0..7 | 100; hMag 1..10; vMag 1..10; rotation 0..3; reverse 0..1; justification 0..2 */
  PrintDeviceFontW(x: number, y: number, font: number, hMag: number, vMag: number, rotation: number, reverse: number, justification: number, text: string): this;
  /** x 0..32000; y 0..32000; faceName not empty; height 1..2000; width 0..2000; rotation 0..3; bold 0..1; italic 0..1; justification 0..2 */
  PrintTrueFont(x: number, y: number, faceName: string, height: number, width: number, rotation: number, bold: number, italic: number, text: string, justification: number): this;
  /** x 0..32000; y 0..32000; faceName not empty; height 1..2000; width 0..2000; rotation 0..3; bold 0..1; italic 0..1; justification 0..2 */
  PrintTrueFontW(x: number, y: number, faceName: string, height: number, width: number, rotation: number, bold: number, italic: number, text: string, justification: number): this;
  /** x 0..32000; y 0..32000; faceName not empty; height 1..2000; width 0..2000; rotation 0..3; bold 0..1; italic 0..1; justification 0..2 */
  PrintTrueFontLib(x: number, y: number, faceName: string, height: number, width: number, rotation: number, bold: number, italic: number, text: string, justification: number): this;
  /** x 0..32000; y 0..32000; faceName not empty; height 1..2000; width 0..2000; rotation 0..3; bold 0..1; italic 0..1; justification 0..2 */
  PrintTrueFontLibW(x: number, y: number, faceName: string, height: number, width: number, rotation: number, bold: number, italic: number, text: string, justification: number): this;
  /** x 0..32000; y 0..32000; faceName not empty; width 0..2000; height 1..2000; rotation 0..3; bold 0..1; italic 0..1; reverse 0..1; justification 0..2 */
  PrintVectorFont(x: number, y: number, faceName: string, width: number, height: number, spacing: string, rotation: number, bold: number, italic: number, reverse: number, secondFace: string, justification: number, text: string): this;
  /** x 0..32000; y 0..32000; reserved 0; faceName not empty; width 0..2000; height 1..2000; rotation 0..3; bold 0..1; italic 0..1; reverse 0..1; justification 0..2 */
  PrintVectorFontW(x: number, y: number, reserved: number, faceName: string, width: number, height: number, spacing: string, rotation: number, bold: number, italic: number, reverse: number, secondFace: string, justification: number, text: string): this;
  /** x 0..32000; y 0..32000; type 0..8; narrowWidth 1..10; ratio 0 | 20..30; height 1..32000; rotation 0..3; readable 0..2; data not empty */
  Print1DBarcode(x: number, y: number, type: number, narrowWidth: number, ratio: number, height: number, rotation: number, readable: number, data: string): this;
  /** x 0..32000; y 0..32000; moduleWidth 1..10; rowHeight 1..255; securityLevel 0..8; columns 0..30; rows 0 | 3..90; truncate 0..1; rotation 0..3; reserved 0; reserved 0; data not empty */
  PrintPDF417(x: number, y: number, moduleWidth: number, rowHeight: number, securityLevel: number, columns: number, rows: number, truncate: number, rotation: number, reserved: number, reserved2: number, data: string): this;
  /** x 0..32000; y 0..32000; model 1..2; errorCorrection 0..3; magnification 1..10; rotation 0; data not empty */
  PrintQRCode(x: number, y: number, model: number, errorCorrection: number, magnification: number, rotation: number, data: string): this;
  /** x 0..32000; y 0..32000; moduleSize 1..100; rotation 0..3; symbolSize 0 | 10..144; data not empty */
  PrintDataMatrix(x: number, y: number, moduleSize: number, rotation: number, symbolSize: number, data: string): this;
  /** x 0..32000; y 0..32000; mode 2..6; data not empty */
  PrintMaxiCode(x: number, y: number, mode: number, data: string): this;
  /** x 0..32000; y 0..32000; path not empty; hMag 1..10; vMag 1..10 */
  PrintImageLib(x: number, y: number, path: string, hMag: number, vMag: number): this;
  /** x 0..32000; y 0..32000; rotation 0..3; path not empty; hMag 1..10; vMag 1..10 */
  PrintImageLibW(x: number, y: number, rotation: number, path: string, hMag: number, vMag: number): this;
  /** x 0..32000; y 0..32000; width 0..32000; height 0..32000; path not empty; rotation 0..3; dithering 0..1 */
  PrintImageLibWithSize(x: number, y: number, width: number, height: number, path: string, rotation: number, dithering: number): this;
  /** x 0..32000; y 0..32000; width 0..32000; height 0..32000; rotation 0..3; path not empty; dithering 0..1; reserved 0 */
  PrintImageLibWWithSize(x: number, y: number, width: number, height: number, rotation: number, path: string, dithering: number, reserved: number): this;
  /** x1 0..32000; y1 0..32000; x2 0..32000; y2 0..32000; style 0..4; thickness 0..32000 */
  PrintBlock(x1: number, y1: number, x2: number, y2: number, style: number, thickness: number): this;
  /** x 0..32000; y 0..32000; diameter 3..4095; thickness 0..4095 */
  PrintCircle(x: number, y: number, diameter: number, thickness: number): this;
  /** tagType 0..9; programPosition 0..999; retries 0..10; errorHandling 0..3 */
  RFIDSetup(tagType: number, programPosition: number, retries: number, errorHandling: number): this;
  /**  */
  RFIDCalibration(): this;
  /** format 0..1; memoryBank 0 | 1 | 3; startBlock 0..65535; data not empty */
  RFIDWrite(format: number, memoryBank: number, startBlock: number, data: string): this;
  /**  */
  RFIDPassword(accessPassword: string, killPassword: string, lockStyle: string, currentPassword: string): this;
  /**  */
  RFIDLock(): this;
}

/** What a label printer's status code means. */
export const LABEL_STATUS: Readonly<Record<number, string>>;
/** Every job function's parameter names, in job order. */
export const POS_PARAMETERS: Readonly<Record<string, readonly string[]>>;
export const LABEL_PARAMETERS: Readonly<Record<string, readonly string[]>>;

export default Vembrix;
