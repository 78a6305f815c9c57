// Prints every row of every table (system tables included) of a Jet database
// as read by mdb-reader, one JSON object a line:
//   {"table": NAME, "row": {COLUMN: VALUE, ...}}
// with values in forms the engine's oracle test compares: Date as ISO 8601
// text, Buffer as upper-case hex, bigint as text, everything else as
// mdb-reader returns it. Usage: node dump.mjs FILE [PASSWORD]
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, password] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file), password ? { password } : undefined);

function canonical(value) {
  if (value === null || value === undefined) return null;
  if (value instanceof Date) return value.toISOString();
  if (Buffer.isBuffer(value)) return value.toString("hex").toUpperCase();
  if (typeof value === "bigint") return value.toString();
  return value;
}

for (const table of reader.getTableNames({ normalTables: true, systemTables: true, linkedTables: false })) {
  let rows;
  try {
    rows = reader.getTable(table).getData();
  } catch (error) {
    process.stdout.write(JSON.stringify({ table, error: String(error) }) + "\n");
    continue;
  }
  for (const row of rows) {
    const out = {};
    for (const [key, value] of Object.entries(row)) out[key] = canonical(value);
    process.stdout.write(JSON.stringify({ table, row: out }) + "\n");
  }
}
