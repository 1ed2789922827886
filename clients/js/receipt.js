// A receipt builder: chained calls that produce a Varnel print job (docs/print-jobs.md), a JSON array
// of {op, data} commands valid against docs/print-job.schema.json. It checks its arguments as it goes,
// so a mistake throws where it was made instead of failing the job at the printer.

const alignments = { left: 0, center: 1, centre: 1, right: 2 };
const barcodeTypes = ["code128", "ean13", "ean8", "upca", "code39", "itf"];
const profiles = ["pt-atcud", "es-verifactu"];

function wholeIn(value, low, high, what) {
  if (!Number.isInteger(value) || value < low || value > high)
    throw new RangeError(`${what} must be a whole number from ${low} to ${high}, not ${value}`);
  return value;
}

function oneOf(value, choices, what) {
  if (!choices.includes(value)) throw new RangeError(`${what} must be one of ${choices.join(", ")}, not ${value}`);
  return value;
}

export class Receipt {
  #commands = [];
  #columns;
  #condensedColumns;
  #align = 0;
  #style = { emphasized: false, underlined: false };
  #double = { height: false, width: false };
  #condensed = false;

  // columns: characters a line in the normal font (48 on 80 mm paper, 32 on 58 mm); the condensed
  // width and the dot width follow from it unless given.
  constructor({ columns = 48, condensedColumns, dotWidth, cutter = true, drawer = true, replaceAccentedChars = false,
    alternativeCharset = false } = {}) {
    this.#columns = wholeIn(columns, 1, 1000, "columns");
    this.#condensedColumns = wholeIn(condensedColumns ?? Math.round((columns * 4) / 3), 1, 1000, "condensedColumns");
    const dots = wholeIn(dotWidth ?? (columns <= 32 ? 384 : 576), 1, 65535, "dotWidth");
    this.#push("settings", {
      normalLineWidth: this.#columns,
      condensedLineWidth: this.#condensedColumns,
      dotWidth: dots,
      hasCutter: Boolean(cutter),
      hasDrawer: Boolean(drawer),
      replaceAccentedChars: Boolean(replaceAccentedChars),
      alternativeCharset: Boolean(alternativeCharset),
    });
  }

  #push(op, data) {
    this.#commands.push({ op, data });
    return this;
  }

  // Characters on a line with the current font and width.
  get width() {
    const columns = this.#condensed ? this.#condensedColumns : this.#columns;
    return this.#double.width ? Math.trunc(columns / 2) : columns;
  }

  align(how) {
    const value = typeof how === "number" ? how : alignments[how];
    this.#align = oneOf(value, [0, 1, 2], "align");
    return this.#push("alignment", this.#align);
  }

  bold(on = true) {
    this.#style = { ...this.#style, emphasized: Boolean(on) };
    return this.#push("style", { ...this.#style });
  }

  underline(on = true) {
    this.#style = { ...this.#style, underlined: Boolean(on) };
    return this.#push("style", { ...this.#style });
  }

  // Double width and/or height; size() or size({}) goes back to normal.
  size({ width = false, height = false } = {}) {
    this.#double = { height: Boolean(height), width: Boolean(width) };
    return this.#push("double", { ...this.#double });
  }

  condensed(on = true) {
    this.#condensed = Boolean(on);
    return this.#push("condensed", this.#condensed);
  }

  // Text as it is: end lines with "\n" (line() does).
  text(value) {
    if (typeof value !== "string") throw new TypeError(`text must be a string, not ${typeof value}`);
    return value === "" ? this : this.#push("text", value);
  }

  line(value = "") {
    return this.text(`${value}\n`);
  }

  // Left text and right text on one line, spaces between (the left one cut when both do not fit).
  pair(left, right) {
    const room = Math.max(0, this.width - right.length - 1);
    const head = left.length > room ? left.slice(0, room) : left;
    return this.line(head + " ".repeat(Math.max(1, this.width - head.length - right.length)) + right);
  }

  rule(character = "-") {
    return this.line(character.repeat(this.width));
  }

  feed(lines = 1) {
    return this.text("\n".repeat(wholeIn(lines, 1, 255, "lines")));
  }

  qr(text, { size, ecc, widthMm, mode, profile } = {}) {
    if (typeof text !== "string" || text === "") throw new TypeError("qr text must be a string that is not empty");
    const data = { text };
    if (size !== undefined) data.size = wholeIn(size, 1, 16, "size");
    if (ecc !== undefined) data.ecc = oneOf(ecc, ["L", "M", "Q", "H"], "ecc");
    if (widthMm !== undefined) {
      if (widthMm !== null && !(typeof widthMm === "number" && widthMm > 0))
        throw new RangeError(`widthMm must be a number above 0, not ${widthMm}`);
      data.widthMm = widthMm;
    }
    if (mode !== undefined) data.mode = oneOf(mode, ["native", "image"], "mode");
    if (profile !== undefined) data.profile = oneOf(profile, profiles, "profile");
    return this.#push("qrcode", data);
  }

  barcode(text, { type = "code128", height, width, hri } = {}) {
    if (typeof text !== "string" || text === "") throw new TypeError("barcode text must be a string that is not empty");
    const data = { type: oneOf(type, barcodeTypes, "type"), text };
    if (height !== undefined) data.height = wholeIn(height, 1, 255, "height");
    if (width !== undefined) data.width = wholeIn(width, 2, 6, "width");
    if (hri !== undefined) data.hri = oneOf(hri, ["below", "above", "both", "none"], "hri");
    return this.#push("barcode", data);
  }

  // A URL that starts with "http", or PNG data in Base64 (bare or as a data: URI).
  image(source) {
    if (typeof source !== "string" || source === "") throw new TypeError("image must be a URL or Base64 PNG data");
    this.#push("image", source);
    return this.#restore();
  }

  cut({ feed = true } = {}) {
    return this.#push("cut", feed ? "feed" : "no_feed");
  }

  drawer({ pin = 0, pulse = 50 } = {}) {
    return this.#push("pulse", { drawer: oneOf(pin, [0, 1], "pin"), pulse: wholeIn(pulse, 50, 250, "pulse") });
  }

  // The printer is reset after an image: what the receipt had set is sent again.
  #restore() {
    if (this.#align !== 0) this.#push("alignment", this.#align);
    if (this.#style.emphasized || this.#style.underlined) this.#push("style", { ...this.#style });
    if (this.#double.width || this.#double.height) this.#push("double", { ...this.#double });
    if (this.#condensed) this.#push("condensed", true);
    return this;
  }

  toJSON() {
    return this.#commands.map((command) => ({
      op: command.op,
      data: typeof command.data === "object" ? { ...command.data } : command.data,
    }));
  }
}
