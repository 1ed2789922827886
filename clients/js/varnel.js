// The Varnel client: the local API's routes as promises, with Varnel's failures as typed errors.
// Browsers and Node 18+; no dependencies. Every route is called as POST with a JSON body and the key in
// "Authorization: Bearer KEY".

import {
  ErrorCode,
  VarnelError,
  errorFromReply,
  hints,
  isBusyText,
  isUnknownOutcomeText,
  networkFailure,
  translatedHints,
} from "./errors.js";

export const DEFAULT_BASE_URL = "https://localhost:5080";

const C = ErrorCode;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// A request id for the "never twice" contract: random enough that two tills never share one.
export function newRequestId() {
  const crypto = globalThis.crypto;
  if (crypto?.randomUUID) return crypto.randomUUID();
  const bytes = new Uint8Array(16);
  if (crypto?.getRandomValues) crypto.getRandomValues(bytes);
  else for (let i = 0; i < bytes.length; i++) bytes[i] = Math.floor(Math.random() * 256);
  return Array.from(bytes, (byte) => byte.toString(16).padStart(2, "0")).join("");
}

function amountText(amount) {
  if (typeof amount === "number") {
    if (!Number.isFinite(amount) || amount < 0) throw new RangeError(`amount must be a number of 0 or more, not ${amount}`);
    return amount.toFixed(2);
  }
  if (typeof amount !== "string" || !/^\d+([.,]\d{3})*[.,]\d{2}$/.test(amount))
    throw new RangeError(`amount must be a number or a text with two decimals such as "12.50", not ${amount}`);
  return amount;
}

function localDateTime(date) {
  if (!(date instanceof Date)) return date;
  const two = (n) => String(n).padStart(2, "0");
  return `${date.getFullYear()}-${two(date.getMonth() + 1)}-${two(date.getDate())}T${two(date.getHours())}:${two(
    date.getMinutes())}:${two(date.getSeconds())}`;
}

// The terminal's answer to a command, where its text says: the result code after the reply's four
// letters, "00" for approved, for the purchase, refund, open and close replies of both families.
export function approvalOf(text) {
  const match = /^(P[012]51|P155|P[012]61|P001|P042|C00[02]|S00[01])(\d\d)/.exec(text ?? "");
  return match ? match[2] === "00" : null;
}

export class Varnel {
  #key;
  #baseUrl;
  #fetch;
  #options;

  constructor({ key, baseUrl = DEFAULT_BASE_URL, fetch: fetchFunction, timeoutMs = 60000, retries = 2,
    retryDelayMs = 500, pollMs = 1000, language = "en", hints: hintOverrides = {} } = {}) {
    if (typeof key !== "string" || key === "") throw new TypeError("key: the security key shown in Varnel's window");
    this.#key = key;
    this.#baseUrl = baseUrl.replace(/\/+$/, "");
    this.#fetch = fetchFunction ?? globalThis.fetch.bind(globalThis);
    if (language !== "en" && !translatedHints[language]) throw new RangeError(`language: "en", "pt" or "es", not ${language}`);
    this.#options = { timeoutMs, retries, retryDelayMs, pollMs, hints: { ...translatedHints[language], ...hintOverrides } };
  }

  // The browser's answer to "may this page reach the local device": "granted", "denied" or "prompt",
  // or "unsupported" where the browser does not say (Chrome 142+ answers; Node has no such thing).
  static async permission() {
    const permissions = globalThis.navigator?.permissions;
    if (!permissions?.query) return "unsupported";
    for (const name of ["loopback-network", "local-network-access"]) {
      try {
        return (await permissions.query({ name })).state;
      } catch {
        // Not a permission name this browser knows: try the older one.
      }
    }
    return "unsupported";
  }

  // One route. Reads are retried after any network failure; a request that changes something only
  // when it carries a requestId (Varnel then answers a repeat with the first reply), or when the
  // runtime says it never reached Varnel.
  async call(route, values = {}, { changes = false } = {}) {
    const { retries, retryDelayMs } = this.#options;
    for (let attempt = 0; ; attempt++) {
      let response;
      try {
        response = await this.#send(route, values);
      } catch (error) {
        const failure = await this.#networkError(route, error, values.requestId);
        const safe = !changes || values.requestId !== undefined || failure.sent === false;
        const transient = [C.NOT_RUNNING, C.UNREACHABLE, C.TIMEOUT].includes(failure.error.code);
        if (attempt < retries && safe && transient) {
          await sleep(retryDelayMs * (attempt + 1));
          continue;
        }
        throw failure.error;
      }
      // Too many connections: Varnel answered before reading the request.
      if (response.status === 503 && attempt < retries) {
        await sleep(retryDelayMs * (attempt + 1));
        continue;
      }
      let envelope = null;
      try {
        envelope = await response.json();
      } catch {
        // Not JSON: errorFromReply says so.
      }
      const error = errorFromReply(route, response.status, envelope, this.#options.hints);
      if (error) {
        error.requestId = values.requestId;
        throw error;
      }
      return envelope;
    }
  }

  async #send(route, values) {
    const controller = new AbortController();
    const timer = setTimeout(() => controller.abort(), this.#options.timeoutMs);
    try {
      return await this.#fetch(this.#baseUrl + route, {
        method: "POST",
        headers: { Authorization: `Bearer ${this.#key}`, "Content-Type": "application/json" },
        body: JSON.stringify(values),
        signal: controller.signal,
        cache: "no-store",
      });
    } finally {
      clearTimeout(timer);
    }
  }

  async #networkError(route, error, requestId) {
    let { code, sent } = networkFailure(error);
    if (code === C.UNREACHABLE && globalThis.document !== undefined) {
      // A browser says only "Failed to fetch": ask it about the permission, then ask Varnel for its
      // start page without CORS; when that arrives, Varnel runs and is trusted, so the origin was refused.
      if ((await Varnel.permission()) === "denied") code = C.PERMISSION_DENIED;
      else {
        try {
          await this.#fetch(`${this.#baseUrl}/`, { mode: "no-cors", cache: "no-store" });
          code = C.ORIGIN_REFUSED;
        } catch {
          // Not running, or its certificate not trusted: the browser cannot tell which.
        }
      }
    }
    const message = `${route}: ${code}${error?.message ? ` (${error.message})` : ""}`;
    const hint = this.#options.hints[code] ?? hints[code];
    return { sent, error: new VarnelError(code, message, { route, cause: error, hint, requestId }) };
  }

  async status({ withNotifications = false } = {}) {
    const reply = await this.call("/getStatus", withNotifications ? { with_notifications: 1 } : {});
    return { data: reply.data, notifications: reply.notifications };
  }

  async printers() {
    return (await this.call("/getPrinters")).data;
  }

  async printerStatus(printer) {
    const { data, state, accepting, reasons, queuedJobs, version, device } = await this.call("/getPrinterStatus", {
      printer,
    });
    return { ready: data, state, accepting, reasons, queuedJobs, version, device };
  }

  // Hands the job to the printing system; resolves with CUPS's job id (waitForJob follows it).
  async print(printer, job, { requestId = newRequestId() } = {}) {
    const values = { printer, job: toJob(job) };
    if (requestId !== null) values.requestId = requestId;
    const reply = await this.call("/sendJob", values, { changes: true });
    return { jobId: reply.jobId, requestId: values.requestId };
  }

  async preview(job, { printer } = {}) {
    const values = { job: toJob(job) };
    if (printer !== undefined) values.printer = printer;
    const { data, width, height } = await this.call("/previewJob", values);
    return { png: data, width, height, dataUrl: `data:image/png;base64,${data}` };
  }

  async jobStatus(printer, jobId) {
    const { data, reasons, printerReasons } = await this.call("/getJobStatus", { printer, jobId });
    return { state: data, reasons, printerReasons };
  }

  // Resolves when the job is "completed"; rejects when it is "aborted" or "canceled" (with CUPS's
  // reasons), or when it has not completed within timeoutMs.
  async waitForJob(printer, jobId, { timeoutMs = 60000, pollMs = this.#options.pollMs } = {}) {
    const deadline = Date.now() + timeoutMs;
    for (;;) {
      const status = await this.jobStatus(printer, jobId);
      if (status.state === "completed") return status;
      if (status.state === "aborted" || status.state === "canceled") {
        const reasons = [...(status.reasons ?? []), ...(status.printerReasons ?? [])];
        throw new VarnelError(C.JOB_FAILED, `job ${jobId} on ${printer}: ${status.state}`, {
          route: "/getJobStatus",
          reasons,
          reply: status,
          hint: this.#options.hints[C.JOB_FAILED],
        });
      }
      if (Date.now() + pollMs > deadline)
        throw new VarnelError(C.TIMEOUT, `job ${jobId} on ${printer}: still ${status.state}`, {
          route: "/getJobStatus",
          reasons: status.printerReasons ?? [],
          reply: status,
          hint: this.#options.hints[C.TIMEOUT],
        });
      await sleep(pollMs);
    }
  }

  async terminals() {
    return (await this.call("/getTpas")).data;
  }

  // The terminal's last status text for this point of sale; ready is false while it works for another
  // one, before its first answer, and after a status time-out.
  async terminalStatus(port, pointOfSale) {
    try {
      const reply = await this.call("/getTpaStatus", { tpa_port: port, terminal_tpa_id: pointOfSale });
      return { ready: true, text: reply.data, version: reply.version, device: reply.device };
    } catch (error) {
      const reply = error.reply;
      if (error.code === C.TERMINAL_BUSY || reply?.data !== undefined || reply?.error === "VRL1001|M98|TPA status not found")
        return { ready: false, text: reply?.data ?? null, version: reply?.version, device: reply?.device };
      throw error;
    }
  }

  // Once a command has ended, the read that returns its texts also removes them: a read lost on the
  // way back is not retried, as its retry would find nothing.
  async transactionTexts(port, pointOfSale) {
    const values = { tpa_port: port, terminal_tpa_id: pointOfSale };
    return (await this.call("/getTpaTransactionStatus", values, { changes: true })).data;
  }

  async clearTransactionTexts(port, pointOfSale) {
    const values = { tpa_port: port, terminal_tpa_id: pointOfSale };
    return (await this.call("/clearTpaTransactionStatus", values, { changes: true })).data;
  }

  purchase(port, pointOfSale, amount, options = {}) {
    return this.#command("/sendTpaPurchase", port, pointOfSale, { amount: amountText(amount) }, options);
  }

  refund(port, pointOfSale, amount, { transactionId, dateTime, ...options } = {}) {
    const values = { amount: amountText(amount), tpa_id: String(transactionId ?? ""), datetime: String(dateTime ?? "") };
    return this.#command("/sendTpaRefund", port, pointOfSale, values, options);
  }

  openPeriod(port, pointOfSale, options = {}) {
    return this.#command("/sendTpaOpen", port, pointOfSale, {}, options);
  }

  closePeriod(port, pointOfSale, options = {}) {
    return this.#command("/sendTpaClose", port, pointOfSale, {}, options);
  }

  // A Newnote terminal has no menu or reprint command: after quietMs without a text these resolve.
  openMenu(port, pointOfSale, options = {}) {
    return this.#command("/sendTpaOpenMenu", port, pointOfSale, {}, { quietMs: 5000, ...options });
  }

  reprintLastReceipt(port, pointOfSale, options = {}) {
    return this.#command("/sendTpaReprintLastReceipt", port, pointOfSale, {}, { quietMs: 5000, ...options });
  }

  async notify({ requestId, terminalId, statusId, title, subtitle, lastModifiedBy = "", date = new Date() }) {
    const reply = await this.call("/setNotificationOrder", {
      request_id: requestId,
      terminal_id: terminalId,
      status_id: statusId,
      title,
      subtitle,
      lastModifiedBy,
      date: localDateTime(date),
    });
    return reply.data;
  }

  // Receipts and payments Varnel recorded between two times (Dates, or text as yyyy-MM-ddTHH:mm:ss),
  // optionally of one kind: "print" or "payment".
  async journal({ from, to, kind } = {}) {
    const values = { from: localDateTime(from), to: localDateTime(to) };
    if (kind !== undefined) values.kind = kind;
    return (await this.call("/getJournal", values)).data;
  }

  // Sends a terminal command, then reads the point of sale's transaction texts until the command has
  // ended. While it runs Varnel returns the texts without consuming them, so the list only grows;
  // the read after the end returns them and empties the list, so the next read comes back empty.
  async #command(route, port, pointOfSale, values, { requestId = newRequestId(), onText, timeoutMs = 90000, quietMs } = {}) {
    const request = { tpa_port: port, terminal_tpa_id: pointOfSale, ...values };
    if (requestId !== null) request.requestId = requestId;
    const sent = await this.call(route, request, { changes: true });
    const deadline = Date.now() + timeoutMs;
    const started = Date.now();
    const texts = [];
    let current = [];
    let lostRead = false;
    const fail = (code, message) =>
      new VarnelError(code, message, { route, texts, requestId: request.requestId, hint: this.#options.hints[code] });
    for (;;) {
      await sleep(this.#options.pollMs);
      let read;
      try {
        read = await this.transactionTexts(port, pointOfSale);
      } catch (error) {
        if (![C.NOT_RUNNING, C.UNREACHABLE, C.TIMEOUT].includes(error.code)) throw error;
        // A read that may have arrived may have consumed the texts with it.
        if (error.code !== C.NOT_RUNNING) lostRead = true;
        read = null;
      }
      if (read !== null) {
        if (read.length === 0 && current.length > 0) {
          if (lostRead) throw fail(C.OUTCOME_UNKNOWN, `${route}: the terminal's texts were read by a request that got lost`);
          break;
        }
        const fresh = read.length >= current.length && current.every((text, i) => text === read[i])
          ? read.slice(current.length)
          : read.filter((text) => !current.includes(text));
        current = read;
        for (const text of fresh) {
          texts.push(text);
          onText?.(text);
          if (text === "VRL1001|M10|Já existe um comando a ser processado") throw fail(C.TERMINAL_BUSY, text);
        }
        if (quietMs !== undefined && texts.length === 0 && Date.now() - started >= quietMs) break;
      }
      if (Date.now() > deadline) throw fail(C.OUTCOME_UNKNOWN, `${route}: no outcome within ${timeoutMs} ms`);
    }
    const text = texts.length ? texts[texts.length - 1] : sent.data;
    if (isUnknownOutcomeText(text)) throw fail(C.OUTCOME_UNKNOWN, text);
    if (isBusyText(text)) throw fail(C.TERMINAL_BUSY, text);
    return { approved: approvalOf(text), text, texts, requestId: request.requestId };
  }
}

function toJob(job) {
  const commands = typeof job?.toJSON === "function" ? job.toJSON() : job;
  if (!Array.isArray(commands)) throw new TypeError("job must be a Receipt or an array of commands");
  return commands;
}
