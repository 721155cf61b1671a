// Made by make-types.mjs from the command table in zarn.js; do not edit.
export type FieldType = "text" | "long" | "short" | "mm";
export declare const COMMANDS: Record<string, Array<[string, FieldType] | [string, FieldType, "?"]>>;
export declare const DEFAULTS: Record<string, Record<string, string | number>>;
export declare class Field { constructor(name: string); readonly name: string; }
export declare function field(name: string): Field;
export declare function link(address: string): string;
/** Twips from millimetres. */ export declare function mm(millimetres: number): number;
/** Twips from inches. */ export declare function inch(inches: number): number;
/** The service's "ERROR|" reply: each line one line of the client's message box. */
export declare function error(...lines: string[]): string;
/** Height in twips of text wrapped to width (runs zarn-render --measure). */
export declare function measure(args: { font: string; size: number; bold?: number; italic?: number; width: number; text: string }): Promise<number>;
export declare class RepeatBlock {
  constructor(names: string[], uses?: unknown[]);
  record(values: Array<string | number> | Record<string, string | number>): this;
  endDoc(): this;
  device(printer: string): this;
  paperSize(args: { width: number; height: number; form: string }): this;
  paperSizeMm(args: { width: number; height: number; form: string }): this;
}
export declare class Script {
  command(keyword: string, args?: Record<string, string | number | Field>): this;
  /** PDFNAME: the file name and, when given, a sub-folder below the day folder. */
  pdfname(args: { name: string; subfolder?: string }): this;
  pdfOnly(): this;
  pdfMerge(): this;
  reprint(): this;
  repeat(names: string[]): RepeatBlock;
  toString(): string;
  /** QRC|text|x|y|width|height */
  qrc(args: { text: string | Field; x: number | Field; y: number | Field; width: number | Field; height: number | Field; }): this;
  /** GF|url|file */
  gf(args: { url: string | Field; file: string | Field; }): this;
  /** MSGBOX|title|line1|line2 */
  msgbox(args: { title: string | Field; line1: string | Field; line2: string | Field; }): this;
  /** PSZ|width|height|form */
  psz(args: { width: number | Field; height: number | Field; form: string | Field; }): this;
  /** RPTPSZ|width|height|form */
  rptpsz(args: { width: number | Field; height: number | Field; form: string | Field; }): this;
  /** DEV|printer */
  dev(args: { printer: string | Field; }): this;
  /** RPTDEV|printer */
  rptdev(args: { printer: string | Field; }): this;
  /** MRG|top|left */
  mrg(args: { top: number | Field; left: number | Field; }): this;
  /** NP */
  np(): this;
  /** SSD */
  ssd(): this;
  /** SD|orientation|paper|copies */
  sd(args?: { orientation?: string | Field; /** default "P" */ paper?: string | Field; /** default "A4" */ copies?: number | Field; /** default 1 */ }): this;
  /** ED */
  ed(): this;
  /** SFX|x */
  sfx(args: { x: number | Field; }): this;
  /** SFY|y */
  sfy(args: { y: number | Field; }): this;
  /** SFXR|dx */
  sfxr(args: { dx: number | Field; }): this;
  /** SFYR|dy */
  sfyr(args: { dy: number | Field; }): this;
  /** SF|font|size|bold|italic */
  sf(args: { font: string | Field; size: number | Field; bold?: number | Field; /** default 0 */ italic?: number | Field; /** default 0 */ }): this;
  /** MXT|x|text|width|height|align|wrap */
  mxt(args: { x: number | Field; text: string | Field; width?: number | Field; /** default 0 */ height?: number | Field; /** default 0 */ align?: string | Field; /** default "L" */ wrap?: number | Field; /** default 0 */ }): this;
  /** SPR|text */
  spr(args: { text: string | Field; }): this;
  /** PT|x|y|text|width|height|align|wrap|mode */
  pt(args: { x: number | Field; y: number | Field; text: string | Field; width?: number | Field; /** default 0 */ height?: number | Field; /** default 0 */ align?: string | Field; /** default "L" */ wrap?: number | Field; /** default 0 */ mode?: string | Field; }): this;
  /** DB|x|y|width|height|corner|border|colour|fill */
  db(args: { x: number | Field; y: number | Field; width: number | Field; height: number | Field; corner?: number | Field; /** default 0 */ border?: number | Field; /** default 10 */ colour?: string | Field; /** default "#000000" */ fill?: number | Field; /** default 0 */ }): this;
  /** DL|x1|y1|x2|y2|width|colour|style */
  dl(args: { x1: number | Field; y1: number | Field; x2: number | Field; y2: number | Field; width?: number | Field; /** default 10 */ colour?: string | Field; /** default "#000000" */ style?: number | Field; }): this;
  /** SFC|colour */
  sfc(args: { colour: string | Field; }): this;
  /** DI|file|x|y|width|height */
  di(args: { file: string | Field; x: number | Field; y: number | Field; width: number | Field; height: number | Field; }): this;
  /** DG|colour1|colour2|direction|x|y|width|height */
  dg(args: { colour1: string | Field; colour2: string | Field; direction: number | Field; x: number | Field; y: number | Field; width: number | Field; height: number | Field; }): this;
  /** STATUS|address */
  status(args: { address: string | Field; }): this;
  /** PSM|width|height|form */
  psm(args: { width: number | Field; height: number | Field; form: string | Field; }): this;
  /** RPTPSM|width|height|form */
  rptpsm(args: { width: number | Field; height: number | Field; form: string | Field; }): this;
}
