// Types of the Varnel client (index.js). The member names are those of Varnel's API.

export declare const DEFAULT_BASE_URL: "https://localhost:5080";

export declare const ErrorCode: {
  readonly NOT_RUNNING: "not-running";
  readonly CERTIFICATE_NOT_TRUSTED: "certificate-not-trusted";
  readonly UNREACHABLE: "unreachable";
  readonly PERMISSION_DENIED: "permission-denied";
  readonly KEY_REFUSED: "key-refused";
  readonly ORIGIN_REFUSED: "origin-refused";
  readonly TIMEOUT: "timeout";
  readonly NOT_SUPPORTED: "not-supported";
  readonly INVALID_REQUEST: "invalid-request";
  readonly PRINTER_NOT_FOUND: "printer-not-found";
  readonly PRINTER_NOT_READY: "printer-not-ready";
  readonly CUPS_NOT_ANSWERING: "cups-not-answering";
  readonly PRINT_FAILED: "print-failed";
  readonly INVALID_JOB: "invalid-job";
  readonly JOB_NOT_FOUND: "job-not-found";
  readonly JOB_FAILED: "job-failed";
  readonly TERMINAL_NOT_FOUND: "terminal-not-found";
  readonly TERMINAL_OFFLINE: "terminal-offline";
  readonly TERMINAL_BUSY: "terminal-busy";
  readonly OUTCOME_UNKNOWN: "outcome-unknown";
  readonly PRINT_OUTCOME_UNKNOWN: "print-outcome-unknown";
  readonly REQUEST_ID_REUSED: "request-id-reused";
  readonly JOURNAL_UNAVAILABLE: "journal-unavailable";
  readonly FAILED: "failed";
};
export type ErrorCode = (typeof ErrorCode)[keyof typeof ErrorCode];

/** The English hint of each code, for the person at the till. */
export declare const hints: Readonly<Record<ErrorCode, string>>;
/** The hints in European Portuguese and Spanish. */
export declare const translatedHints: Readonly<Record<"pt" | "es", Readonly<Record<ErrorCode, string>>>>;

export interface Envelope {
  status: boolean;
  error?: string;
  data?: unknown;
  [member: string]: unknown;
}

export declare class VarnelError extends Error {
  readonly name: "VarnelError";
  readonly code: ErrorCode;
  /** What to tell the cashier. */
  readonly hint: string;
  /** printer-not-ready: Varnel's reasons ("out of paper", "cover open", "offline"); job-failed: CUPS's. */
  readonly reasons: string[];
  readonly route?: string;
  /** The reply of Varnel, when it answered. */
  readonly reply?: Envelope;
  /** Terminal commands: every transaction text the command produced. */
  readonly texts?: string[];
  /** invalid-job: the position in the job of the command Varnel refused. */
  readonly position?: number;
  readonly requestId?: string;
}

/** The error a Varnel reply stands for, or null for a success. */
export declare function errorFromReply(
  route: string,
  httpStatus: number,
  envelope: Envelope | null,
  hints?: Partial<Record<ErrorCode, string>>,
): VarnelError | null;

export declare function newRequestId(): string;

/** true: the terminal approved; false: it declined; null: its text does not say. */
export declare function approvalOf(text: string): boolean | null;

export interface VarnelOptions {
  /** The security key shown in Varnel's window. */
  key: string;
  /** Default "https://localhost:5080". */
  baseUrl?: string;
  /** Default globalThis.fetch. */
  fetch?: typeof fetch;
  /** The longest one request may take (default 60000). */
  timeoutMs?: number;
  /** Attempts after the first, for failures that a retry cannot turn into a second print or charge (default 2). */
  retries?: number;
  retryDelayMs?: number;
  /** Interval of the job and terminal polls (default 1000). */
  pollMs?: number;
  /** The language of the hints: "en" (default), "pt" or "es". */
  language?: "en" | "pt" | "es";
  /** Replaces the built-in hints of some codes. */
  hints?: Partial<Record<ErrorCode, string>>;
}

export interface Notification {
  request_id: number;
  terminal_id: number;
  status_id: number;
  title: string;
  subtitle: string;
  lastModifiedBy: string;
  date: string;
}

export interface PrinterStatus {
  /** Varnel's `data`: whether the printer is ready. */
  ready: boolean;
  state?: "idle" | "printing" | "stopped";
  accepting?: boolean;
  reasons?: string[];
  queuedJobs?: number;
  version: string;
  device: string;
}

export type JobState = "pending" | "held" | "printing" | "stopped" | "canceled" | "aborted" | "completed";

export interface JobStatus {
  state: JobState;
  reasons: string[];
  printerReasons: string[];
}

export interface Terminal {
  description: string;
  manufacturer: string;
  /** The port to pass to the terminal methods. */
  portName: string;
  productIdentifier: number;
  vendorIdentifier: number;
  /** 1 Ingenico, 2 Newnote. */
  vendorId: 1 | 2;
  state?: "ready" | "busy" | "not answering" | "offline";
}

export interface TerminalStatus {
  ready: boolean;
  text: string | null;
  version?: string;
  device?: string;
}

export interface CommandOptions {
  /** Sent as `requestId`; a new one by default. null sends none (and a command is then never retried). */
  requestId?: string | null;
  /** Called with each transaction text as it arrives. */
  onText?: (text: string) => void;
  /** Default 90000: beyond it the command rejects with outcome-unknown. */
  timeoutMs?: number;
}

export interface TerminalOutcome {
  /** From the terminal's final text: true approved, false declined, null when the text does not say. */
  approved: boolean | null;
  /** The final text. */
  text: string;
  texts: string[];
  requestId?: string;
}

export interface NotificationInput {
  requestId: number;
  terminalId: number;
  statusId: number;
  title: string;
  subtitle: string;
  lastModifiedBy?: string;
  /** A Date, or text as yyyy-MM-ddTHH:mm:ss (default now). */
  date?: Date | string;
}

export type Amount = number | string;

export declare class Varnel {
  constructor(options: VarnelOptions);
  /** "granted", "denied", "prompt", or "unsupported" where the browser does not say. */
  static permission(): Promise<"granted" | "denied" | "prompt" | "unsupported">;
  call(route: string, values?: Record<string, unknown>, options?: { changes?: boolean }): Promise<Envelope>;

  status(options?: { withNotifications?: boolean }): Promise<{ data: "Device online"; notifications?: Notification[] }>;
  printers(): Promise<string[]>;
  printerStatus(printer: string): Promise<PrinterStatus>;
  print(printer: string, job: Job, options?: { requestId?: string | null }): Promise<{ jobId: number; requestId?: string }>;
  preview(job: Job, options?: { printer?: string }): Promise<{ png: string; width: number; height: number; dataUrl: string }>;
  jobStatus(printer: string, jobId: number): Promise<JobStatus>;
  /** Resolves on "completed"; rejects with job-failed on "aborted" or "canceled", with timeout after timeoutMs. */
  waitForJob(printer: string, jobId: number, options?: { timeoutMs?: number; pollMs?: number }): Promise<JobStatus>;

  terminals(): Promise<Terminal[]>;
  terminalStatus(port: string, pointOfSale: string): Promise<TerminalStatus>;
  transactionTexts(port: string, pointOfSale: string): Promise<string[]>;
  clearTransactionTexts(port: string, pointOfSale: string): Promise<string[]>;
  purchase(port: string, pointOfSale: string, amount: Amount, options?: CommandOptions): Promise<TerminalOutcome>;
  refund(
    port: string,
    pointOfSale: string,
    amount: Amount,
    options: CommandOptions & { transactionId: string; dateTime: string },
  ): Promise<TerminalOutcome>;
  openPeriod(port: string, pointOfSale: string, options?: CommandOptions): Promise<TerminalOutcome>;
  closePeriod(port: string, pointOfSale: string, options?: CommandOptions): Promise<TerminalOutcome>;
  openMenu(port: string, pointOfSale: string, options?: CommandOptions & { quietMs?: number }): Promise<TerminalOutcome>;
  reprintLastReceipt(port: string, pointOfSale: string, options?: CommandOptions & { quietMs?: number }): Promise<TerminalOutcome>;
  notify(notification: NotificationInput): Promise<"Notification received">;
  /** /getJournal: the receipts and payments Varnel recorded between from and to. */
  journal(range: { from: Date | string; to: Date | string; kind?: "print" | "payment" }): Promise<Record<string, unknown>[]>;
}

export type Command =
  | { op: "settings"; data: Record<string, boolean | number> }
  | { op: "text" | "image" | "cut"; data: string }
  | { op: "style"; data: { emphasized?: boolean; underlined?: boolean } }
  | { op: "double"; data: { height?: boolean; width?: boolean } }
  | { op: "condensed"; data: boolean }
  | { op: "alignment"; data: 0 | 1 | 2 }
  | { op: "pulse"; data: { drawer?: 0 | 1; pulse?: number } }
  | { op: "qrcode"; data: QrData }
  | { op: "barcode"; data: { type: BarcodeType; text: string; height?: number; width?: number; hri?: Hri } };

export type Job = Command[] | Receipt;
export type BarcodeType = "code128" | "ean13" | "ean8" | "upca" | "code39" | "itf";
export type Hri = "below" | "above" | "both" | "none";
export type QrProfile = "pt-atcud" | "es-verifactu";

export interface QrData {
  text: string;
  size?: number;
  ecc?: "L" | "M" | "Q" | "H";
  widthMm?: number | null;
  mode?: "native" | "image";
  /** A fiscal QR code: Varnel checks the payload and sets the level, version and size the law asks for. */
  profile?: QrProfile;
}

export interface ReceiptOptions {
  /** Characters a line in the normal font: 48 on 80 mm paper (default), 32 on 58 mm. */
  columns?: number;
  condensedColumns?: number;
  /** Printable dots across: 576 for 48 columns, 384 for 32 or fewer. */
  dotWidth?: number;
  cutter?: boolean;
  drawer?: boolean;
  replaceAccentedChars?: boolean;
  alternativeCharset?: boolean;
}

export declare class Receipt {
  constructor(options?: ReceiptOptions);
  /** Characters on a line with the current font and width. */
  readonly width: number;
  align(how: "left" | "center" | "centre" | "right" | 0 | 1 | 2): this;
  bold(on?: boolean): this;
  underline(on?: boolean): this;
  size(double?: { width?: boolean; height?: boolean }): this;
  condensed(on?: boolean): this;
  text(value: string): this;
  line(value?: string): this;
  pair(left: string, right: string): this;
  rule(character?: string): this;
  feed(lines?: number): this;
  qr(text: string, options?: Omit<QrData, "text">): this;
  barcode(text: string, options?: { type?: BarcodeType; height?: number; width?: number; hri?: Hri }): this;
  image(source: string): this;
  cut(options?: { feed?: boolean }): this;
  drawer(options?: { pin?: 0 | 1; pulse?: number }): this;
  toJSON(): Command[];
}
