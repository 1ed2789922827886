import { test } from "node:test";
import assert from "node:assert/strict";
import { ErrorCode as C, Varnel, errorFromReply, hints, translatedHints } from "../index.js";

// A stand-in for Varnel: each route answers from a queue of replies; a reply that is an Error makes
// the fetch fail with it. Every request is kept.
function fakeVarnel(routes) {
  const requests = [];
  const fetch = async (url, init) => {
    const route = new URL(url).pathname;
    const body = init.body ? JSON.parse(init.body) : undefined;
    requests.push({ route, body });
    const queue = routes[route];
    const next = Array.isArray(queue) ? (queue.length > 1 ? queue.shift() : queue[0]) : queue;
    if (next instanceof Error) throw next;
    const [status, envelope] = Array.isArray(next) ? next : [200, next];
    return new Response(JSON.stringify(envelope), { status });
  };
  return { requests, client: new Varnel({ key: "k", fetch, pollMs: 1, retryDelayMs: 1 }) };
}

const lost = () => new TypeError("fetch failed"); // reached Varnel or not: nobody can tell
const refused = () => new TypeError("fetch failed", { cause: Object.assign(new Error("connect"), { code: "ECONNREFUSED" }) });
const untrusted = () =>
  new TypeError("fetch failed", { cause: Object.assign(new Error("tls"), { code: "SELF_SIGNED_CERT_IN_CHAIN" }) });

test("each of Varnel's failures becomes its code, with reasons and the job position where they are", () => {
  const rows = [
    [401, { status: false, error: "Invalid security key" }, C.KEY_REFUSED],
    [404, { status: false, error: "Not found" }, C.NOT_SUPPORTED],
    [403, { status: false, error: "Origin not allowed" }, C.ORIGIN_REFUSED],
    [200, { status: false, error: "Outcome unknown: check the printer" }, C.PRINT_OUTCOME_UNKNOWN],
    [200, { status: false, error: "Printer not ready: out of paper" }, C.PRINTER_NOT_READY, ["out of paper"]],
    [200, { status: false, error: "Printer not ready: cover open" }, C.PRINTER_NOT_READY, ["cover open"]],
    [200, { status: false, error: "Printer offline or in error state" }, C.PRINTER_NOT_READY, ["offline or in error state"]],
    [200, { status: false, error: 'job[14] "qrcode": "size" must be a whole number from 1 to 16, not 20' }, C.INVALID_JOB],
    [200, { status: false, error: "CUPS not answering" }, C.CUPS_NOT_ANSWERING],
    [200, { status: true, data: "VRL1001|M10|TPA already busy" }, C.TERMINAL_BUSY],
    [200, { status: false, error: "VRL1001|M22|TPA offline or in error state" }, C.TERMINAL_OFFLINE],
    [200, { status: false, data: "VRL1001|M99|Operation Timeout" }, C.OUTCOME_UNKNOWN],
    [200, { status: false, error: "requestId already used for a different request" }, C.REQUEST_ID_REUSED],
    [200, { status: false, error: "Journal unavailable" }, C.JOURNAL_UNAVAILABLE],
    [200, { status: false, data: "Error receiving notification" }, C.INVALID_REQUEST],
    [503, null, C.FAILED],
  ];
  for (const [status, envelope, code, reasons = []] of rows) {
    const error = errorFromReply("/x", status, envelope);
    assert.equal(error?.code, code, JSON.stringify(envelope));
    assert.deepEqual(error.reasons, reasons);
    assert.ok(error.hint.length > 20);
  }
  assert.equal(errorFromReply("/sendJob", 200, { status: false, error: 'job[14] "qrcode": x' }).position, 14);
  assert.equal(errorFromReply("/sendJob", 200, { status: true, data: "Job completed successfully", jobId: 3 }), null);
});

test("every code has its hint in Portuguese and Spanish, and the client gives the language asked for", async () => {
  for (const language of ["pt", "es"])
    assert.deepEqual(Object.keys(translatedHints[language]).sort(), Object.keys(hints).sort());
  const fetch = async () => new Response(JSON.stringify({ status: false, error: "Printer not found" }));
  await assert.rejects(new Varnel({ key: "k", fetch, language: "pt" }).printers(), {
    code: C.PRINTER_NOT_FOUND,
    hint: translatedHints.pt[C.PRINTER_NOT_FOUND],
  });
});

test("reads are retried after any network failure, and a certificate error never", async () => {
  const { client, requests } = fakeVarnel({ "/getPrinters": [lost(), refused(), { status: true, data: ["Receipt"] }] });
  assert.deepEqual(await client.printers(), ["Receipt"]);
  assert.equal(requests.length, 3);
  const bad = fakeVarnel({ "/getPrinters": [untrusted(), { status: true, data: [] }] });
  await assert.rejects(bad.client.printers(), { code: C.CERTIFICATE_NOT_TRUSTED });
  assert.equal(bad.requests.length, 1);
});

test("a print is retried with the same requestId, and without one only when it never reached Varnel", async () => {
  const done = { status: true, data: "Job completed successfully", jobId: 7 };
  const retried = fakeVarnel({ "/sendJob": [lost(), done] });
  assert.equal((await retried.client.print("Receipt", [])).jobId, 7);
  assert.equal(retried.requests.length, 2);
  assert.ok(retried.requests[0].body.requestId);
  assert.equal(retried.requests[1].body.requestId, retried.requests[0].body.requestId);

  const once = fakeVarnel({ "/sendJob": [lost(), done] });
  await assert.rejects(once.client.print("Receipt", [], { requestId: null }), { code: C.UNREACHABLE });
  assert.equal(once.requests.length, 1);
  const notSent = fakeVarnel({ "/sendJob": [refused(), done] });
  assert.equal((await notSent.client.print("Receipt", [], { requestId: null })).jobId, 7);
});

const sent = { status: true, data: "VRL0000|M00|TPA purchase command sent" };
const added = "VRL0000|M00|Comando adicionado com sucesso";
const texts = (...list) => ({ status: true, data: list });

test("a purchase follows the texts until Varnel hands them over, and reads the terminal's verdict", async () => {
  const approval = "P05100000012500000123";
  const { client, requests } = fakeVarnel({
    "/sendTpaPurchase": sent,
    "/getTpaTransactionStatus": [texts(), texts(added), texts(added), texts(added, approval), texts()],
  });
  const seen = [];
  const outcome = await client.purchase("/dev/ttyUSB0", "A", 12.5, { requestId: "sale-1", onText: (t) => seen.push(t) });
  assert.deepEqual(outcome, { approved: true, text: approval, texts: [added, approval], requestId: "sale-1" });
  assert.deepEqual(seen, [added, approval]);
  assert.deepEqual(requests[0].body, { tpa_port: "/dev/ttyUSB0", terminal_tpa_id: "A", amount: "12.50", requestId: "sale-1" });
  const declined = fakeVarnel({ "/sendTpaPurchase": sent, "/getTpaTransactionStatus": [texts(added, "C0000500001250"), texts()] });
  assert.equal((await declined.client.purchase("p", "A", "12.50")).approved, false);
});

test("a purchase whose outcome did not arrive, or whose texts a lost read took, is never an approval", async () => {
  for (const [name, reads] of [
    ["time-out", [texts(added), texts(added, "VRL1001|M99|Operation Timeout"), texts()]],
    ["cut by a restart", [texts(added, "VRL1001|M97|Outcome unknown: check the terminal"), texts()]],
    ["lost read", [texts(added), lost(), texts()]],
  ]) {
    const { client } = fakeVarnel({ "/sendTpaPurchase": sent, "/getTpaTransactionStatus": reads });
    await assert.rejects(client.purchase("p", "A", 1), { code: C.OUTCOME_UNKNOWN }, name);
  }
  const busy = fakeVarnel({ "/sendTpaPurchase": { status: true, data: "VRL1001|M10|TPA already busy" } });
  await assert.rejects(busy.client.purchase("p", "A", 1), { code: C.TERMINAL_BUSY });
});

test("waitForJob resolves on completed and rejects on aborted with CUPS's reasons", async () => {
  const state = (data, reasons = []) => ({ status: true, data, reasons, printerReasons: ["media-empty-error"] });
  const ok = fakeVarnel({ "/getJobStatus": [state("pending"), state("printing"), state("completed")] });
  assert.equal((await ok.client.waitForJob("Receipt", 3)).state, "completed");
  const aborted = fakeVarnel({ "/getJobStatus": [state("aborted", ["job-canceled-at-device"])] });
  await assert.rejects(aborted.client.waitForJob("Receipt", 3), {
    code: C.JOB_FAILED,
    reasons: ["job-canceled-at-device", "media-empty-error"],
  });
});
