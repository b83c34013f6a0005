// Dumps every table of a Jet database with the npm package mdb-reader (an independent
// reader), for the Jet driver's tests. usage: node mdb_reader_dump.mjs MDB_READER_DIR FILE
// Output, one record a line, fields separated by TAB (TAB, LF and \ in values escaped as
// \t, \n, \\):  T name rowCount | C name type | R value...  where a value is
// "-" for null, or a letter and the text: s string, n number, b boolean, d date (ISO,
// UTC), x bytes (hex).
import { readFileSync } from "fs";
import { join } from "path";
import { pathToFileURL } from "url";

const [, , libDir, file] = process.argv;
const { default: MDBReader } = await import(
  pathToFileURL(join(libDir, "node_modules/mdb-reader/lib/node/index.js")).href);
const esc = (s) => String(s).replace(/\\/g, "\\\\").replace(/\t/g, "\\t").replace(/\n/g, "\\n");
const value = (v) => {
  if (v === null || v === undefined) return "-";
  if (v instanceof Date) return "d" + v.toISOString();
  if (v instanceof Uint8Array) return "x" + Buffer.from(v).toString("hex");
  if (typeof v === "boolean") return "b" + v;
  if (typeof v === "number") return "n" + String(v);
  return "s" + esc(v);
};
const reader = new MDBReader(readFileSync(file));
const out = [];
for (const name of reader.getTableNames()) {
  const table = reader.getTable(name);
  out.push(["T", esc(name), table.rowCount].join("\t"));
  const cols = table.getColumns();
  for (const c of cols) out.push(["C", esc(c.name), c.type].join("\t"));
  for (const row of table.getData()) out.push(["R", ...cols.map((c) => value(row[c.name]))].join("\t"));
}
process.stdout.write(out.join("\n") + "\n");
