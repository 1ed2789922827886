// Errors of the Varnel client: every failure carries a stable `code` and a `hint` written for the
// person at the till, so an application can show the hint as it is and branch on the code.

export const ErrorCode = Object.freeze({
  NOT_RUNNING: "not-running",
  CERTIFICATE_NOT_TRUSTED: "certificate-not-trusted",
  UNREACHABLE: "unreachable",
  PERMISSION_DENIED: "permission-denied",
  KEY_REFUSED: "key-refused",
  ORIGIN_REFUSED: "origin-refused",
  TIMEOUT: "timeout",
  NOT_SUPPORTED: "not-supported",
  INVALID_REQUEST: "invalid-request",
  PRINTER_NOT_FOUND: "printer-not-found",
  PRINTER_NOT_READY: "printer-not-ready",
  CUPS_NOT_ANSWERING: "cups-not-answering",
  PRINT_FAILED: "print-failed",
  INVALID_JOB: "invalid-job",
  JOB_NOT_FOUND: "job-not-found",
  JOB_FAILED: "job-failed",
  TERMINAL_NOT_FOUND: "terminal-not-found",
  TERMINAL_OFFLINE: "terminal-offline",
  TERMINAL_BUSY: "terminal-busy",
  OUTCOME_UNKNOWN: "outcome-unknown",
  REQUEST_ID_REUSED: "request-id-reused",
  JOURNAL_UNAVAILABLE: "journal-unavailable",
  FAILED: "failed",
});

const C = ErrorCode;

export const hints = Object.freeze({
  [C.NOT_RUNNING]: "Varnel is not running on this computer. Start Varnel from the applications menu and try again.",
  [C.CERTIFICATE_NOT_TRUSTED]:
    'This browser does not trust Varnel yet. Open Varnel\'s window, click "Trust", then reload the page.',
  [C.UNREACHABLE]:
    'Varnel cannot be reached. Check that Varnel is running; if it is, open its window, click "Trust" and reload the page.',
  [C.PERMISSION_DENIED]:
    "The browser blocks this page from reaching Varnel. Allow local network access for this site in the browser's site settings, then reload the page.",
  [C.KEY_REFUSED]:
    "Varnel refused the security key. Copy the key shown in Varnel's window into the invoicing application's settings.",
  [C.ORIGIN_REFUSED]: "Varnel does not accept requests from this web address. Open the invoicing application from its usual address.",
  [C.TIMEOUT]: "Varnel did not answer in time. Check the printer or the terminal before trying again.",
  [C.NOT_SUPPORTED]: "This version of Varnel cannot do this. Update Varnel.",
  [C.INVALID_REQUEST]: "The invoicing application sent Varnel a request it cannot read. Tell support.",
  [C.PRINTER_NOT_FOUND]: "The printer is not enabled in Varnel. Open Varnel's window and tick the printer in its list.",
  [C.PRINTER_NOT_READY]: "The printer is not ready. Check the paper, the cover and the cable, then print again.",
  [C.CUPS_NOT_ANSWERING]: "The computer's printing system is not answering. Wait a moment and print again.",
  [C.PRINT_FAILED]: "The printing system refused the receipt. Check the printer in the system's settings and print again.",
  [C.INVALID_JOB]: "The receipt cannot be printed as the application wrote it. Tell support.",
  [C.JOB_NOT_FOUND]: "The printing system no longer knows this receipt. Check whether it printed.",
  [C.JOB_FAILED]: "The receipt did not print. Check the printer and print it again.",
  [C.TERMINAL_NOT_FOUND]: "The payment terminal is not enabled in Varnel. Check its cable and enable it in Varnel's window.",
  [C.TERMINAL_OFFLINE]: "The payment terminal is disconnected. Check its cable and power.",
  [C.TERMINAL_BUSY]: "The payment terminal is busy with another operation. Wait until it has finished and try again.",
  [C.OUTCOME_UNKNOWN]:
    "The payment terminal's answer did not arrive. Check the terminal's screen or its last receipt before charging again.",
  [C.REQUEST_ID_REUSED]: "The application reused an operation number for another operation. Tell support.",
  [C.JOURNAL_UNAVAILABLE]:
    "Varnel cannot record operations now (disk full or not writable). Free disk space or restart Varnel before trying again.",
  [C.FAILED]: "Varnel could not do this. Try again; if it keeps failing, tell support.",
});

export class VarnelError extends Error {
  constructor(code, message, details = {}) {
    super(message, details.cause === undefined ? undefined : { cause: details.cause });
    this.name = "VarnelError";
    this.code = code;
    this.hint = details.hint ?? hints[code] ?? hints[C.FAILED];
    this.reasons = details.reasons ?? [];
    this.route = details.route;
    this.reply = details.reply;
    this.texts = details.texts;
    this.position = details.position;
    this.requestId = details.requestId;
  }
}

// A print job that Varnel may or may not have handed to the printer before it stopped.
const printerOutcomeHint = "The receipt may or may not have printed. Look at the printer before printing it again.";

const busyTexts = ["VRL1001|M10|TPA already busy", "VRL1001|M10|Já existe um comando a ser processado"];

export function isBusyText(text) {
  return busyTexts.includes(text);
}

// True for the texts that say a terminal command ended without its outcome reaching Varnel.
export function isUnknownOutcomeText(text) {
  return typeof text === "string" && (text.startsWith("VRL1001|M97|") || text.startsWith("VRL1001|M99|"));
}

function codeOf(message) {
  if (/^job\[\d+\] /.test(message)) return C.INVALID_JOB;
  if (message.startsWith("Printer not ready")) return C.PRINTER_NOT_READY;
  if (isUnknownOutcomeText(message)) return C.OUTCOME_UNKNOWN;
  if (message.startsWith("VRL1001|M10|")) return C.TERMINAL_BUSY;
  switch (message) {
    case "Invalid security key":
      return C.KEY_REFUSED;
    case "Origin not allowed":
      return C.ORIGIN_REFUSED;
    case "Outcome unknown: check the printer":
      return C.OUTCOME_UNKNOWN;
    case "Not found":
      return C.NOT_SUPPORTED;
    case "Invalid Json":
    case "Error receiving notification":
    case "requestId must be 1 to 128 printable ASCII characters":
    case "VRL1001|M23|terminal_tpa_id longer than 256 characters":
      return C.INVALID_REQUEST;
    case "Printer not found":
      return C.PRINTER_NOT_FOUND;
    case "Printer offline or in error state":
      return C.PRINTER_NOT_READY;
    case "Job is empty":
    case "Job with incorrect format":
      return C.INVALID_JOB;
    case "CUPS not answering":
      return C.CUPS_NOT_ANSWERING;
    case "Error printing job":
      return C.PRINT_FAILED;
    case "Job not found":
      return C.JOB_NOT_FOUND;
    case "VRL1001|M21|TPA not found":
      return C.TERMINAL_NOT_FOUND;
    case "VRL1001|M22|TPA offline or in error state":
      return C.TERMINAL_OFFLINE;
    case "requestId already used for a different request":
      return C.REQUEST_ID_REUSED;
    case "Journal unavailable":
      return C.JOURNAL_UNAVAILABLE;
    default:
      return C.FAILED;
  }
}

function reasonsOf(message) {
  if (message === "Printer offline or in error state") return ["offline or in error state"];
  const match = /^Printer not ready: (.+)$/.exec(message);
  return match ? match[1].split(", ") : [];
}

// The error a reply stands for: HTTP 401 and 404, `status` false with its `error` (or `data` where
// the route puts its message there), and a busy terminal, which Varnel answers with `status` true.
// Null when the reply is a success.
export function errorFromReply(route, httpStatus, envelope, hintOverrides = {}) {
  let message;
  if (httpStatus === 401) message = "Invalid security key";
  else if (httpStatus === 403) message = "Origin not allowed";
  else if (httpStatus === 404) message = "Not found";
  else if (envelope === null || typeof envelope !== "object") message = `HTTP ${httpStatus}: not a Varnel reply`;
  else if (envelope.status === false) message = String(envelope.error ?? envelope.data ?? "Failed");
  else if (typeof envelope.data === "string" && isBusyText(envelope.data)) message = envelope.data;
  else return null;
  const code = codeOf(message);
  const position = /^job\[(\d+)\] /.exec(message);
  return new VarnelError(code, message, {
    route,
    reply: envelope ?? undefined,
    reasons: reasonsOf(message),
    position: position ? Number(position[1]) : undefined,
    hint: hintOverrides[code] ?? (message.endsWith("check the printer") ? printerOutcomeHint : undefined),
  });
}

const certificateCodes = new Set([
  "UNABLE_TO_VERIFY_LEAF_SIGNATURE",
  "UNABLE_TO_GET_ISSUER_CERT_LOCALLY",
  "SELF_SIGNED_CERT_IN_CHAIN",
  "DEPTH_ZERO_SELF_SIGNED_CERT",
  "CERT_HAS_EXPIRED",
  "CERT_NOT_YET_VALID",
  "ERR_TLS_CERT_ALTNAME_INVALID",
]);

function causeCode(error) {
  for (let cause = error; cause; cause = cause.cause) {
    if (typeof cause.code === "string") return cause.code;
    if (Array.isArray(cause.errors) && cause.errors[0]?.code) return cause.errors[0].code;
  }
  return undefined;
}

// What a failed fetch means where the runtime says (Node names the socket's error): `sent` is false
// only when the request certainly never reached Varnel, so that retrying it cannot do it twice.
export function networkFailure(error) {
  const code = causeCode(error);
  if (code === "ECONNREFUSED") return { code: C.NOT_RUNNING, sent: false };
  if (certificateCodes.has(code)) return { code: C.CERTIFICATE_NOT_TRUSTED, sent: false };
  if (error?.name === "TimeoutError" || error?.name === "AbortError") return { code: C.TIMEOUT, sent: true };
  return { code: C.UNREACHABLE, sent: code === "ENOTFOUND" ? false : undefined };
}
