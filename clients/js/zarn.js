// Builds zarn print scripts and "zarn://" links, in browsers and Node 18+.
// Nothing is ever changed silently: a value the client would read otherwise
// than it was meant (a "|" or line break in a text, a number that is not whole
// or too large for its field, a marker that switches the whole script) is
// refused with an Error that names the command, the field and the value.

// The client decodes the address once (URI escapes, UTF-8) before it sends
// it, so each query value is escaped twice: by the caller with
// encodeURIComponent, then here with encodeURI, which leaves ASCII only, as
// btoa takes it.
export function link(address) {
  return "zarn://" + btoa(encodeURI(address));
}

// The interpreter's command table (zarn-render --commands): the fields of
// each command in order, [name, type, flags]; "?" marks an optional field.
// Types: text, long (32-bit whole number), short (16-bit whole number), mm
// (millimetres with at most one decimal).
export const COMMANDS = {
  PDFNAME: [["subfolder", "text"], ["name", "text", "?"], ["unused", "text", "?"]],
  QRC: [["text", "text"], ["x", "long"], ["y", "long"], ["width", "long"], ["height", "long"]],
  GF: [["url", "text"], ["file", "text"]],
  MSGBOX: [["title", "text"], ["line1", "text"], ["line2", "text"]],
  PSZ: [["width", "long"], ["height", "long"], ["form", "text"]],
  RPTPSZ: [["width", "long"], ["height", "long"], ["form", "text"]],
  DEV: [["printer", "text"]],
  RPTDEV: [["printer", "text"]],
  MRG: [["top", "long"], ["left", "long"]],
  NP: [],
  SSD: [],
  SD: [["orientation", "text"], ["paper", "text"], ["copies", "long"]],
  ED: [],
  SFX: [["x", "long"]],
  SFY: [["y", "long"]],
  SFXR: [["dx", "long"]],
  SFYR: [["dy", "long"]],
  SF: [["font", "text"], ["size", "long"], ["bold", "long"], ["italic", "long"]],
  MXT: [["x", "long"], ["text", "text"], ["width", "long"], ["height", "long"], ["align", "text"], ["wrap", "long"]],
  SPR: [["text", "text"]],
  PT: [["x", "long"], ["y", "long"], ["text", "text"], ["width", "long"], ["height", "long"], ["align", "text"],
       ["wrap", "long"], ["mode", "text", "?"]],
  DB: [["x", "long"], ["y", "long"], ["width", "long"], ["height", "long"], ["corner", "long"], ["border", "long"],
       ["colour", "text"], ["fill", "short"]],
  DL: [["x1", "long"], ["y1", "long"], ["x2", "long"], ["y2", "long"], ["width", "long"], ["colour", "text"],
       ["style", "long", "?"]],
  SFC: [["colour", "text"]],
  DI: [["file", "text"], ["x", "long"], ["y", "long"], ["width", "long"], ["height", "long"]],
  DG: [["colour1", "text"], ["colour2", "text"], ["direction", "long"], ["x", "long"], ["y", "long"],
       ["width", "long"], ["height", "long"]],
  STATUS: [["address", "text"]],
  PSM: [["width", "mm"], ["height", "mm"], ["form", "text"]],
  RPTPSM: [["width", "mm"], ["height", "mm"], ["form", "text"]],
};

// Values a method fills in for fields left out. The client itself has no
// defaults: every line the builder writes carries every field.
export const DEFAULTS = {
  SD: { orientation: "P", paper: "A4", copies: 1 },
  SF: { bold: 0, italic: 0 },
  MXT: { width: 0, height: 0, align: "L", wrap: 0 },
  PT: { width: 0, height: 0, align: "L", wrap: 0 },
  DB: { corner: 0, border: 10, colour: "#000000", fill: 0 },
  DL: { width: 10, colour: "#000000" },
};

// Twips (1/1440 inch), the unit of every position and size, from millimetres
// and inches, rounded to whole twips.
export const mm = (millimetres) => Math.round((millimetres * 1440) / 25.4);
export const inch = (inches) => Math.round(inches * 1440);

// The service's reply when it cannot make a script: the client shows the
// lines in a message box and prints nothing.
export function error(...lines) {
  for (const line of lines) {
    if (typeof line !== "string" || /[|\r\n]/.test(line)) {
      throw new Error(`error() line ${JSON.stringify(line)}: not a text, or holds "|", CR or LF`);
    }
  }
  return "ERROR|" + lines.join("|");
}

// The height in twips that a text wrapped to width takes in a font, as
// zarn-render --measure finds it (Node only; zarn-render from ZARN_RENDER or
// the PATH).
export async function measure({ font, size, bold = 0, italic = 0, width, text }) {
  const { execFileSync } = await import("node:child_process");
  const program = (typeof process !== "undefined" && process.env.ZARN_RENDER) || "zarn-render";
  const out = execFileSync(program, ["--measure", font, String(size), String(bold), String(italic), String(width), text],
                           { env: { QT_QPA_PLATFORM: "offscreen", ...process.env } });
  return Number(String(out).trim());
}

// mm: tenths of a millimetre times 100 is the form size, in 32 bits.
const RANGES = { long: [-2147483648, 2147483647], short: [-32768, 32767], mm: [-2147483.6, 2147483.6] };

// Markers the client looks for anywhere in the script text: inside a value
// they would turn the whole script into a repeat or PDF-only job, or act as a
// data-section marker.
const MARKERS = ["RPTFLD", "PDFONLY", "RPTDT", "RPTED", "RPTDEV", "RPTPSZ", "RPTPSM"];

function refuse(where, field, value, why) {
  return new Error(`${where} field "${field}" ${JSON.stringify(value)}: ${why}`);
}

function checkText(where, field, value) {
  if (typeof value !== "string") throw refuse(where, field, value, "is not a text");
  if (/[|\r\n]/.test(value)) throw refuse(where, field, value, 'holds "|", CR or LF, which would split the line');
  const marker = MARKERS.find((m) => value.includes(m));
  if (marker) throw refuse(where, field, value, `holds the marker ${marker}, which changes how the whole script runs`);
  return value;
}

function checkNumber(where, field, value, type) {
  const [low, high] = RANGES[type];
  if (type === "mm") {
    if (typeof value !== "number" || !Number.isInteger(Math.round(value * 10)) ||
        Math.abs(Math.round(value * 10) - value * 10) > 1e-9) {
      throw refuse(where, field, value, "is not a number of millimetres with at most one decimal");
    }
  } else if (!Number.isInteger(value)) {
    throw refuse(where, field, value, "is not a whole number");
  }
  if (value < low || value > high) throw refuse(where, field, value, `is outside ${low} to ${high}`);
  return String(value);
}

// A repeat field name standing where a record's value goes, in a template
// field of any type: script.sfx({x: field("#X#")}). The records' values for it
// are then checked against that field's type.
export class Field {
  constructor(name) {
    this.name = name;
  }
}
export const field = (name) => new Field(name);

// One script, built line by line. Each command has a method named by its
// keyword in lower case, taking its fields by name: script.pt({x: 100, ...}).
export class Script {
  constructor() {
    this.lines = [];
    this.repeatBlock = null;
    this.reprintMark = false;
    this.uses = [];  // [field name, keyword, field, type] of each placeholder
  }

  // A command line from the table; optional fields may be left out, and
  // fields with a default get it.
  command(keyword, given = {}) {
    const fields = COMMANDS[keyword];
    const args = { ...DEFAULTS[keyword], ...given };
    if (!fields) throw new Error(`${keyword} is no command`);
    if (this.repeatBlock) throw new Error(`${keyword}: no command may follow the repeat block`);
    const known = new Set(fields.map(([name]) => name));
    for (const name of Object.keys(args)) {
      if (!known.has(name)) throw new Error(`${keyword} has no field "${name}"`);
    }
    const out = [keyword];
    const uses = [];
    for (const [name, type, flag] of fields) {
      const value = args[name];
      if (value === undefined) {
        if (flag === "?") break;
        throw new Error(`${keyword} field "${name}" is missing`);
      }
      if (value instanceof Field) {
        uses.push([value.name, keyword, name, type]);
        out.push(checkText(keyword, name, value.name));
      } else {
        out.push(type === "text" ? checkText(keyword, name, value) : checkNumber(keyword, name, value, type));
      }
    }
    this.lines.push(out.join("|"));
    this.uses.push(...uses);
    return this;
  }

  // PDFNAME with a file name and, when given, a sub-folder below the day folder.
  pdfname({ name, subfolder }) {
    checkText("PDFNAME", "name", name);
    if (subfolder === undefined || subfolder === "") return this.command("PDFNAME", { subfolder: name });
    return this.command("PDFNAME", { subfolder, name, unused: "" });
  }

  // The script goes to a PDF file only (and opens in the PDF viewer).
  pdfOnly() {
    this.lines.push("PDFONLY");
    return this;
  }

  // The repeat block's records go to PDF files instead of the printer, each
  // its own file when the template names it with PDFNAME.
  pdfMerge() {
    this.lines.push("PDFMERGE");
    return this;
  }

  // Ends the script with "#REPRINT": no PDF copy of this job.
  reprint() {
    this.reprintMark = true;
    return this;
  }

  // Ends the template: what was added so far prints once per record.
  // names: the field names the template holds where values go.
  repeat(names) {
    if (this.repeatBlock) throw new Error("a script holds one repeat block");
    const unknown = this.uses.find(([name]) => !names.includes(name));
    if (unknown) throw new Error(`${unknown[1]} field "${unknown[2]}" uses ${unknown[0]}, which is no field name`);
    this.repeatBlock = new RepeatBlock(names, this.uses);
    return this.repeatBlock;
  }

  toString() {
    if (this.uses.length && !this.repeatBlock) {
      const [name, keyword] = this.uses[0];
      throw new Error(`${keyword} uses the field ${name}, but the script has no repeat block`);
    }
    const lines = [...this.lines];
    if (this.repeatBlock) lines.push(...this.repeatBlock.lines());
    const text = lines.map((l) => l + "\r\n").join("");
    return this.reprintMark ? text + "#REPRINT" : text;
  }
}

for (const keyword of Object.keys(COMMANDS)) {
  const method = keyword.toLowerCase();
  if (!(method in Script.prototype)) {
    Script.prototype[method] = function (args) {
      return this.command(keyword, args);
    };
  }
}

// The data section of a repeat script. Field and data lines end with "|", so
// the CR of a CR LF line end never sticks to a name or value.
export class RepeatBlock {
  constructor(names, uses = []) {
    if (!Array.isArray(names) || names.length === 0) throw new Error("RPTFLD needs at least one field name");
    names.forEach((n) => {
      checkText("RPTFLD", "name", n);
      if (n === "") throw refuse("RPTFLD", "name", n, "is empty");
    });
    for (const a of names) {
      for (const b of names) {
        if (a !== b && b.includes(a)) throw refuse("RPTFLD", "name", a, `is part of the name ${JSON.stringify(b)}`);
      }
      if (names.indexOf(a) !== names.lastIndexOf(a)) throw refuse("RPTFLD", "name", a, "is named twice");
    }
    this.names = names;
    this.uses = uses;
    this.data = [];
  }

  // One record: an array in field order, or an object keyed by field name.
  record(values) {
    const list = Array.isArray(values) ? values : this.names.map((n) => values[n]);
    if (list.length !== this.names.length) {
      throw new Error(`RPTDT has ${list.length} values for ${this.names.length} field names`);
    }
    const texts = list.map((v, i) => {
      const name = this.names[i];
      for (const [, keyword, fieldName, type] of this.uses.filter(([n, , , t]) => n === name && t !== "text")) {
        checkNumber(`RPTDT (for ${keyword} ${fieldName})`, name, v, type);
      }
      const text = checkText("RPTDT", name, typeof v === "number" ? String(v) : v);
      const other = this.names.find((n) => text.includes(n));
      if (other) throw refuse("RPTDT", name, text, `holds the field name ${other}, which would be replaced too`);
      return text;
    });
    this.data.push("RPTDT|" + texts.join("|") + "|");
    return this;
  }

  // Finishes the document that is open (between records).
  endDoc() {
    this.data.push("RPTED");
    return this;
  }

  // Switches the printer for the records that follow.
  device(printer) {
    this.data.push("RPTDEV|" + checkText("RPTDEV", "printer", printer) + "|");
    return this;
  }

  // A custom paper form in whole centimetres for the records that follow.
  paperSize({ width, height, form }) {
    const w = checkNumber("RPTPSZ", "width", width, "long");
    const h = checkNumber("RPTPSZ", "height", height, "long");
    this.data.push(`RPTPSZ|${w}|${h}|${checkText("RPTPSZ", "form", form)}|`);
    return this;
  }

  // The same in millimetres, one decimal.
  paperSizeMm({ width, height, form }) {
    const w = checkNumber("RPTPSM", "width", width, "mm");
    const h = checkNumber("RPTPSM", "height", height, "mm");
    this.data.push(`RPTPSM|${w}|${h}|${checkText("RPTPSM", "form", form)}|`);
    return this;
  }

  lines() {
    // The line right after the field line is never read by the client.
    return ["RPTFLD|" + this.names.join("|") + "|", "(records)", ...this.data];
  }
}
