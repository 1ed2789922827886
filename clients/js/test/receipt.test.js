import { test } from "node:test";
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { fileURLToPath } from "node:url";
import { Receipt } from "../index.js";

const schema = fileURLToPath(new URL("../../../docs/print-job.schema.json", import.meta.url));

// Validates with Python's jsonschema, which the project's test machines have; skipped elsewhere.
function schemaErrors(job) {
  const check = spawnSync("python3", ["-c", `
import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
errors = [e.message for e in jsonschema.Draft202012Validator(schema).iter_errors(json.load(sys.stdin))]
print(json.dumps(errors))`, schema], { input: JSON.stringify(job), encoding: "utf8" });
  return check.status === 0 ? JSON.parse(check.stdout) : null;
}

test("a receipt with every command is a valid job, and an image does not lose the style", (t) => {
  const job = new Receipt({ columns: 32 })
    .align("center").bold().size({ width: true, height: true }).line("Café Central")
    .size().bold(false).underline().line("NIF 123456789").underline(false)
    .align("left").pair("2 x Pastel de nata", "2,60 €").rule("=")
    .condensed().line("condensed").condensed(false)
    .align("right").bold().image("data:image/png;base64,iVBORw0KGgo=")
    .qr("A:123456789*B:999999990*C:PT*D:FS*E:N*F:20261207*G:FS A/1*H:0*I1:0*N:0.00*O:1.00*Q:Ab1c*R:1234", {
      profile: "pt-atcud",
    })
    .qr("https://example.com", { size: 4, ecc: "Q", widthMm: 25, mode: "image" })
    .barcode("560123456789", { type: "ean13", height: 60, width: 2, hri: "none" })
    .feed(2).cut({ feed: false }).drawer({ pin: 1, pulse: 100 })
    .toJSON();
  assert.deepEqual(job[0], { op: "settings", data: { normalLineWidth: 32, condensedLineWidth: 43, dotWidth: 384,
    hasCutter: true, hasDrawer: true, replaceAccentedChars: false, alternativeCharset: false } });
  assert.ok(job.some((c) => c.op === "text" && c.data === `2 x Pastel de nata${" ".repeat(8)}2,60 €\n`));
  assert.ok(job.some((c) => c.op === "text" && c.data === `${"=".repeat(32)}\n`));
  const image = job.findIndex((c) => c.op === "image");
  assert.deepEqual(job.slice(image + 1, image + 3),
    [{ op: "alignment", data: 2 }, { op: "style", data: { emphasized: true, underlined: false } }]);
  const errors = schemaErrors(job);
  if (errors === null) t.skip("python3 with jsonschema is not installed");
  else assert.deepEqual(errors, []);
});

test("a wrong argument throws where it is given", () => {
  const receipt = new Receipt();
  assert.throws(() => receipt.align("middle"), RangeError);
  assert.throws(() => receipt.qr("x", { size: 17 }), RangeError);
  assert.throws(() => receipt.qr("x", { profile: "fr-nf525" }), RangeError);
  assert.throws(() => receipt.barcode("123", { type: "qr" }), RangeError);
  assert.throws(() => receipt.drawer({ pulse: 300 }), RangeError);
  assert.throws(() => receipt.text(12), TypeError);
  assert.equal(receipt.toJSON().length, 1);
});
