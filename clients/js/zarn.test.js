// Run: ZARN_RENDER=build/zarn-render node --test clients/js/zarn.test.js
import assert from "node:assert/strict";
import { execFileSync, spawnSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import { declarations } from "./make-types.mjs";
import { COMMANDS, Script, error, field, inch, link, measure, mm } from "./zarn.js";

const render = process.env.ZARN_RENDER;
const env = { ...process.env, QT_QPA_PLATFORM: "offscreen" };

test("the command list is the interpreter's, field by field", { skip: !render && "ZARN_RENDER not set" }, () => {
  const table = JSON.parse(execFileSync(render, ["--commands"], { env })).commands;
  const theirs = Object.fromEntries(
    table.map((c) => [c.keyword, c.fields.map((f) => [f.name, f.type, ...(f.optional ? ["?"] : [])])]));
  assert.deepEqual(COMMANDS, theirs);
  for (const { keyword } of table) assert.equal(typeof new Script()[keyword.toLowerCase()], "function", keyword);
});

test("a link carries any value to the service unchanged", () => {
  const value = "Müller & Co. #1 + 100% | ü";
  const address = "127.0.0.1:8631/print?job=invoice&customer=" + encodeURIComponent(value);
  const made = link(address);
  assert.match(made, /^zarn:\/\/[A-Za-z0-9+/=]+$/);
  // What the client sends: Base64 to bytes, "+" to blank, %XX to bytes, UTF-8.
  const bytes = Buffer.from(made.slice("zarn://".length), "base64").toString("latin1").replace(/\+/g, " ");
  const sent = Buffer.from(bytes.replace(/%([0-9A-Fa-f]{2})/g, (_, h) => String.fromCharCode(parseInt(h, 16))),
                           "latin1").toString("utf8");
  assert.equal(new URL("http://" + sent).searchParams.get("customer"), value);
});

test("values the client would read otherwise are refused, naming command, field and value", () => {
  const refused = [
    [(s) => s.pt({ x: 0, y: 0, text: "Smith | Jones Ltd", width: 0, height: 0, align: "L", wrap: 0 }),
     /PT field "text" "Smith \| Jones Ltd"/],
    [(s) => s.spr({ text: "two\r\nlines" }), /SPR field "text"/],
    [(s) => s.mrg({ top: 10.5, left: 0 }), /MRG field "top" 10.5: is not a whole number/],
    [(s) => s.sfx({ x: 2 ** 31 }), /SFX field "x" 2147483648: is outside/],
    [(s) => s.db({ x: 0, y: 0, width: 1, height: 1, corner: 0, border: 0, colour: "#000000", fill: 40000 }),
     /DB field "fill" 40000: is outside -32768 to 32767/],
    [(s) => s.mrg({ top: 0 }), /MRG field "left" is missing/],
    [(s) => s.spr({ text: "see PDFONLY" }), /SPR field "text".*PDFONLY/],
    [(s) => s.repeat(["#N#"]).record(["Ann|Bob"]), /RPTDT field "#N#" "Ann\|Bob"/],
    [(s) => s.repeat(["#N#", "#NA"]).record(["x", "y #NA"]), /holds the field name #NA/],
    [(s) => { s.sfx({ x: field("#X#") }); s.repeat(["#X#"]).record(["left"]); }, /for SFX x/],
  ];
  for (const [build, message] of refused) assert.throws(() => build(new Script()), message);
});

test("a built script renders through zarn-render without an error", { skip: !render && "ZARN_RENDER not set" }, () => {
  const s = new Script()
    .pdfname({ subfolder: "letters", name: "letter" })
    .sd({ orientation: "P", paper: "A4", copies: 1 })
    .mrg({ top: 720, left: 720 })
    .sf({ font: "DejaVu Sans", size: 12, bold: 1, italic: 0 })
    .sfy({ y: field("#Y#") })
    .pt({ x: 0, y: 0, text: "Dear #NAME#,", width: 6000, height: 0, align: "L", wrap: 0 })
    .db({ x: 0, y: 400, width: 6000, height: 600, corner: 10, border: 10, colour: "#1F4E79", fill: 0 })
    .dl({ x1: 0, y1: 1200, x2: 6000, y2: 1200, width: 5, colour: "#000000" })
    .ed();
  s.repeat(["#NAME#", "#Y#"]).record(["Muster & Co. #1 + 100%", 0]).record({ "#NAME#": "Anna Müller", "#Y#": 200 });
  const script = s.toString();
  assert.ok(script.includes("RPTDT|Anna Müller|200|\r\n"));
  const folder = mkdtempSync(join(tmpdir(), "zarn-js-"));
  try {
    const check = spawnSync(render, ["--check", "-"], { input: script, env });
    assert.equal(check.status, 0, check.stdout.toString());
    const run = spawnSync(render, ["-", "-o", join(folder, "out.pdf")], { input: script, env });
    assert.equal(run.status, 0, run.stderr.toString());
    assert.doesNotMatch(run.stderr.toString(), /error/);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

test("the TypeScript declarations are the command table's (node make-types.mjs)", () => {
  assert.equal(readFileSync(new URL("./zarn.d.ts", import.meta.url), "utf8"), declarations());
});

test("defaults, units, millimetre paper and the error reply", () => {
  const s = new Script().sd().pt({ x: mm(10), y: inch(1), text: "Hi" }).psm({ width: 62, height: 28.9, form: "Label" });
  assert.equal(s.toString(), "SD|P|A4|1\r\nPT|567|1440|Hi|0|0|L|0\r\nPSM|62|28.9|Label\r\n");
  assert.throws(() => new Script().psm({ width: 62.25, height: 29, form: "L" }), /at most one decimal/);
  assert.equal(error("No such invoice", "Call us"), "ERROR|No such invoice|Call us");
  assert.throws(() => error("a|b"), /holds "\|"/);
});

test("measure asks zarn-render for a wrapped text's height", { skip: !render && "ZARN_RENDER not set" }, async () => {
  const one = await measure({ font: "DejaVu Sans", size: 10, width: 100000, text: "word" });
  const many = await measure({ font: "DejaVu Sans", size: 10, width: 1500, text: "word ".repeat(20).trim() });
  assert.ok(one > 0 && many > 3 * one, `${one} ${many}`);
});
