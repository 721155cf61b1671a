// Writes zarn.d.ts from the command table, so editors and TypeScript know every
// method's fields: node make-types.mjs (the tests fail while it is out of date).
import { writeFileSync } from "node:fs";
import { fileURLToPath } from "node:url";
import { COMMANDS, DEFAULTS } from "./zarn.js";

const TS = { text: "string", long: "number", short: "number", mm: "number" };
const SPECIAL = new Set(["PDFNAME"]);  // written by hand below

export function declarations() {
  const out = [
    "// Made by make-types.mjs from the command table in zarn.js; do not edit.",
    "export type FieldType = \"text\" | \"long\" | \"short\" | \"mm\";",
    "export declare const COMMANDS: Record<string, Array<[string, FieldType] | [string, FieldType, \"?\"]>>;",
    "export declare const DEFAULTS: Record<string, Record<string, string | number>>;",
    "export declare class Field { constructor(name: string); readonly name: string; }",
    "export declare function field(name: string): Field;",
    "export declare function link(address: string): string;",
    "/** Twips from millimetres. */ export declare function mm(millimetres: number): number;",
    "/** Twips from inches. */ export declare function inch(inches: number): number;",
    "/** The service's \"ERROR|\" reply: each line one line of the client's message box. */",
    "export declare function error(...lines: string[]): string;",
    "/** Height in twips of text wrapped to width (runs zarn-render --measure). */",
    "export declare function measure(args: { font: string; size: number; bold?: number; italic?: number; width: number; text: string }): Promise<number>;",
    "export declare class RepeatBlock {",
    "  constructor(names: string[], uses?: unknown[]);",
    "  record(values: Array<string | number> | Record<string, string | number>): this;",
    "  endDoc(): this;",
    "  device(printer: string): this;",
    "  paperSize(args: { width: number; height: number; form: string }): this;",
    "  paperSizeMm(args: { width: number; height: number; form: string }): this;",
    "}",
    "export declare class Script {",
    "  command(keyword: string, args?: Record<string, string | number | Field>): this;",
    "  /** PDFNAME: the file name and, when given, a sub-folder below the day folder. */",
    "  pdfname(args: { name: string; subfolder?: string }): this;",
    "  pdfOnly(): this;",
    "  pdfMerge(): this;",
    "  reprint(): this;",
    "  repeat(names: string[]): RepeatBlock;",
    "  toString(): string;",
  ];
  for (const [keyword, fields] of Object.entries(COMMANDS)) {
    if (SPECIAL.has(keyword)) continue;
    const defaults = DEFAULTS[keyword] || {};
    const members = fields.map(([name, type, flag]) => {
      const optional = flag === "?" || name in defaults;
      const shown = name in defaults ? ` /** default ${JSON.stringify(defaults[name])} */` : "";
      return `${name}${optional ? "?" : ""}: ${TS[type]} | Field;${shown}`;
    });
    const allOptional = fields.every(([name, , flag]) => flag === "?" || name in defaults);
    const arg = fields.length === 0 ? "" : `args${allOptional ? "?" : ""}: { ${members.join(" ")} }`;
    out.push(`  /** ${[keyword, ...fields.map(([n]) => n)].join("|")} */`);
    out.push(`  ${keyword.toLowerCase()}(${arg}): this;`);
  }
  out.push("}", "");
  return out.join("\n");
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  writeFileSync(new URL("./zarn.d.ts", import.meta.url), declarations());
}
