// Vembrix web client as an ES module: import { Vembrix } from './vembrix.js'.
// The classes live in vembrix-script.js, which also serves plain <script> pages.
import './vembrix-script.js';

export const {
  Vembrix, Printer, Job, PosJob, LabelJob, VembrixError, LABEL_STATUS, POS_PARAMETERS,
  LABEL_PARAMETERS,
} = globalThis.vembrix;
export default Vembrix;
