// Prints what mdb-reader (the npm package pinned in tests/package.json) reads from a Jet
// database, as one JSON object on stdout. The tests use it as an independent second reader.
//
//   node mdbreader_dump.mjs FILE [--password=PW] [--table=NAME ...] [--no-rows | --count]
//
// --count reads every row but prints only how many there are ("liveRows"), for files too
// large to print.
//
// Values: null; booleans 0/1; numbers as JSON numbers (non-finite ones as strings);
// currency and decimal as strings; dates as ISO-8601 UTC strings; binary and OLE as
// {"hex": "..."}; text as strings. On failure: {"ok": false, "error": "..."} and exit code 1.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

function encode(v) {
    if (v === null || v === undefined) return null;
    if (typeof v === "boolean") return v ? 1 : 0;
    if (typeof v === "number") return Number.isFinite(v) ? v : String(v);
    if (typeof v === "bigint") return v.toString();
    if (v instanceof Date) return Number.isNaN(v.getTime()) ? "Invalid Date" : v.toISOString();
    if (Buffer.isBuffer(v) || v instanceof Uint8Array) return { hex: Buffer.from(v).toString("hex") };
    return v;
}

const args = process.argv.slice(2);
const file = args.find((a) => !a.startsWith("--"));
const password = args.find((a) => a.startsWith("--password="))?.slice("--password=".length);
const only = args.filter((a) => a.startsWith("--table=")).map((a) => a.slice("--table=".length));
const withRows = !args.includes("--no-rows") && !args.includes("--count");
const countRows = args.includes("--count");

try {
    const reader = new MDBReader(readFileSync(file), { password });
    const names = only.length ? only : reader.getTableNames();
    const out = {
        ok: true,
        file,
        password: reader.getPassword(),
        creationDate: encode(reader.getCreationDate()),
        defaultSortOrder: reader.getDefaultSortOrder(),
        systemTables: reader.getTableNames({ normalTables: false, systemTables: true }),
        tables: [],
    };
    for (const name of names) {
        const table = reader.getTable(name);
        const columns = table.getColumns();
        const entry = {
            name,
            columns: columns.map((c) => ({
                name: c.name,
                type: c.type,
                size: c.size,
                fixedLength: c.fixedLength,
                nullable: c.nullable,
                autoLong: c.autoLong,
                autoUUID: c.autoUUID,
                precision: c.precision,
                scale: c.scale,
            })),
            rowCount: table.rowCount,
        };
        if (countRows) {
            entry.liveRows = table.getData({ columns: columns.slice(0, 1).map((c) => c.name) }).length;
        }
        if (withRows) {
            entry.rows = table.getData().map((row) => columns.map((c) => encode(row[c.name])));
        }
        out.tables.push(entry);
    }
    process.stdout.write(JSON.stringify(out) + "\n");
} catch (e) {
    process.stdout.write(JSON.stringify({ ok: false, error: String(e && e.stack ? e.stack : e) }) + "\n");
    process.exit(1);
}
