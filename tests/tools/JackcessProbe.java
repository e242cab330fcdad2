// Jackcess, the one open engine besides Access that also writes Jet files, as a third engine
// for the tests: it reads the files vkdc writes, writes into copies of them, and reports how
// it reads their usage maps. Run as a single source file (Java 11+):
//
//   java -cp CP JackcessProbe.java read FILE... [--every=N] [--no-rows]
//   java -cp CP JackcessProbe.java modify FILE... --table=NAME
//   java -cp CP JackcessProbe.java maps FILE...
//
// CP is jackcess.jar plus commons-lang3.jar and commons-logging.jar. Each FILE gives one JSON
// object on its own line of stdout:
//   read:   {"ok":true,"file":..,"password":..,"tables":[{"name":..,"rowCount":N,
//            "columns":[{"name":..,"type":..}],"every":N,"rows":[[..],..]}]}
//           rows in Jackcess's scan order, every N-th only with --every; values as
//           mdbreader_dump.mjs writes them (null, 0/1, numbers, strings, {"hex":..}).
//   modify: {"ok":true,"file":..,"updated":[i,..],"deleted":[i,..],"appended":N,
//            "keyedRows":N,"index":NAME}. In table NAME it updates two rows so that they
//           outgrow their pages (overflow rows), deletes two others and appends three; it
//           then creates the table Jackcess_Keyed with a primary key and five rows, and adds
//           an index on NAME's first text column.
//   maps:   {"ok":true,"file":..,"globalFree":[[a,b],..],"tables":[{"name":..,"owned":..,
//            "free":..,"longValues":[{"column":..,"owned":..,"free":..}]}]}: page ranges.
// A file that fails gives {"ok":false,"file":..,"error":".."}, and the exit status is 1.
import com.healthmarketscience.jackcess.Column;
import com.healthmarketscience.jackcess.ColumnBuilder;
import com.healthmarketscience.jackcess.Cursor;
import com.healthmarketscience.jackcess.CursorBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.IndexBuilder;
import com.healthmarketscience.jackcess.Row;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.TableBuilder;
import com.healthmarketscience.jackcess.impl.DatabaseImpl;
import com.healthmarketscience.jackcess.impl.TableImpl;
import com.healthmarketscience.jackcess.impl.UsageMap;
import java.io.BufferedOutputStream;
import java.io.File;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.PrintStream;
import java.lang.reflect.Field;
import java.math.BigDecimal;
import java.nio.charset.StandardCharsets;
import java.time.LocalDateTime;
import java.util.ArrayList;
import java.util.Date;
import java.util.List;

public class JackcessProbe {
    static PrintStream out;

    public static void main(String[] args) throws Exception {
        out = new PrintStream(new BufferedOutputStream(new FileOutputStream(FileDescriptor.out), 1 << 16),
                              false, StandardCharsets.UTF_8);
        String mode = args.length > 0 ? args[0] : "";
        List<String> files = new ArrayList<>();
        int every = 1;
        boolean rows = true;
        String table = null;
        for (int i = 1; i < args.length; ++i) {
            String a = args[i];
            if (a.startsWith("--every=")) every = Math.max(1, Integer.parseInt(a.substring(8)));
            else if (a.equals("--no-rows")) rows = false;
            else if (a.startsWith("--table=")) table = a.substring(8);
            else files.add(a);
        }
        boolean failed = false;
        for (String f : files) {
            StringBuilder sb = new StringBuilder();
            try {
                switch (mode) {
                    case "read": read(sb, f, every, rows); break;
                    case "modify": modify(sb, f, table); break;
                    case "maps": maps(sb, f); break;
                    default: throw new IllegalArgumentException("unknown mode " + mode);
                }
            } catch (Throwable e) {
                failed = true;
                sb.setLength(0);
                java.io.StringWriter trace = new java.io.StringWriter();
                e.printStackTrace(new java.io.PrintWriter(trace));
                sb.append("{\"ok\":false,\"file\":").append(str(f)).append(",\"error\":")
                  .append(str(trace.toString())).append('}');
            }
            out.println(sb);
        }
        out.flush();
        System.exit(failed || files.isEmpty() ? 1 : 0);
    }

    static Database open(String file, boolean readOnly) throws Exception {
        return new DatabaseBuilder(new File(file)).setReadOnly(readOnly).setAutoSync(false).open();
    }

    static void read(StringBuilder sb, String file, int every, boolean withRows) throws Exception {
        try (Database db = open(file, true)) {
            sb.append("{\"ok\":true,\"file\":").append(str(file)).append(",\"password\":")
              .append(str(db.getDatabasePassword())).append(",\"tables\":[");
            boolean firstTable = true;
            for (String name : db.getTableNames()) {
                Table t = db.getTable(name);
                sb.append(firstTable ? "" : ",").append("{\"name\":").append(str(name))
                  .append(",\"rowCount\":").append(t.getRowCount()).append(",\"columns\":[");
                firstTable = false;
                List<? extends Column> cols = t.getColumns();
                for (int i = 0; i < cols.size(); ++i) {
                    sb.append(i == 0 ? "" : ",").append("{\"name\":").append(str(cols.get(i).getName()))
                      .append(",\"type\":").append(str(cols.get(i).getType().name())).append('}');
                }
                sb.append("],\"every\":").append(every);
                if (withRows) {
                    sb.append(",\"rows\":[");
                    int n = 0, written = 0;
                    for (Row r : t) {
                        if (n++ % every != 0) continue;
                        sb.append(written++ == 0 ? "[" : ",[");
                        for (int i = 0; i < cols.size(); ++i) {
                            if (i > 0) sb.append(',');
                            value(sb, r.get(cols.get(i).getName()));
                        }
                        sb.append(']');
                    }
                    sb.append(']');
                }
                sb.append('}');
            }
            sb.append("]}");
        }
    }

    static String repeat(String s, int n) {
        StringBuilder b = new StringBuilder();
        while (b.length() < n) b.append(s);
        return b.substring(0, n);
    }

    // A value for a new or updated row: long enough to make a row outgrow its page.
    static Object valueFor(Column c, String tag, int k) {
        switch (c.getType()) {
            case TEXT: return repeat(tag + " " + k + " متن ", Math.min(c.getLengthInUnits(), 200));
            case MEMO: return repeat(tag + " " + k + " یادداشت بلند ", 6000);
            case LONG: return k;
            case INT: return (short) k;
            case BYTE: return (byte) k;
            case DOUBLE: return k + 0.5;
            case BOOLEAN: return Boolean.TRUE;
            default: return null;
        }
    }

    static void modify(StringBuilder sb, String file, String tableName) throws Exception {
        List<Integer> updated = new ArrayList<>(), deleted = new ArrayList<>();
        String indexed = null;
        try (Database db = open(file, false)) {
            Table t = db.getTable(tableName);
            if (t == null) throw new IllegalArgumentException("no table " + tableName);
            List<? extends Column> cols = t.getColumns();
            Cursor cur = CursorBuilder.createCursor(t);
            int i = 0;
            while (cur.moveToNextRow()) {
                if (i == 1 || i == 3) {
                    Row r = cur.getCurrentRow();
                    for (Column c : cols) {
                        Object v = valueFor(c, "jackcess update", i);
                        if (v != null && !c.isAutoNumber()) r.put(c.getName(), v);
                    }
                    cur.updateCurrentRowFromMap(r);
                    updated.add(i);
                } else if (i == 5 || i == 7) {
                    cur.deleteCurrentRow();
                    deleted.add(i);
                }
                ++i;
            }
            for (int k = 0; k < 3; ++k) {
                Object[] row = new Object[cols.size()];
                for (int c = 0; c < cols.size(); ++c)
                    row[c] = cols.get(c).isAutoNumber() ? Column.AUTO_NUMBER : valueFor(cols.get(c), "jackcess append", k);
                t.addRow(row);
            }
            Table keyed = new TableBuilder("Jackcess_Keyed")
                .addColumn(new ColumnBuilder("ID", DataType.LONG).setAutoNumber(true))
                .addColumn(new ColumnBuilder("Title", DataType.TEXT).setLengthInUnits(50))
                .addColumn(new ColumnBuilder("Notes", DataType.MEMO))
                .addIndex(new IndexBuilder(IndexBuilder.PRIMARY_KEY_NAME).addColumns("ID").setPrimaryKey())
                .toTable(db);
            for (int k = 1; k <= 5; ++k)
                keyed.addRow(Column.AUTO_NUMBER, "عنوان " + k, repeat("یادداشت " + k + " ", 100 * k));
            for (Column c : cols) {
                if (c.getType() == DataType.TEXT) {
                    indexed = "ix_jackcess";
                    new IndexBuilder(indexed).addColumns(c.getName()).addToTable(t);
                    break;
                }
            }
            db.flush();
        }
        sb.append("{\"ok\":true,\"file\":").append(str(file)).append(",\"updated\":").append(updated)
          .append(",\"deleted\":").append(deleted).append(",\"appended\":3,\"keyedRows\":5,\"index\":")
          .append(indexed == null ? "null" : str(indexed)).append('}');
    }

    static Object field(Object o, String name) throws Exception {
        for (Class<?> c = o.getClass(); c != null; c = c.getSuperclass()) {
            try {
                Field f = c.getDeclaredField(name);
                f.setAccessible(true);
                return f.get(o);
            } catch (NoSuchFieldException e) {
                // look in the superclass
            }
        }
        throw new NoSuchFieldException(name);
    }

    static void ranges(StringBuilder sb, UsageMap m) {
        sb.append('[');
        UsageMap.PageCursor cur = m.cursor();
        int first = -1, last = -1;
        boolean any = false;
        for (int p = cur.getNextPage(); p >= 0; p = cur.getNextPage()) {
            if (first >= 0 && p == last + 1) { last = p; continue; }
            if (first >= 0) { sb.append(any ? "," : "").append('[').append(first).append(',').append(last).append(']'); any = true; }
            first = last = p;
        }
        if (first >= 0) sb.append(any ? "," : "").append('[').append(first).append(',').append(last).append(']');
        sb.append(']');
    }

    static void maps(StringBuilder sb, String file) throws Exception {
        try (Database db = open(file, true)) {
            DatabaseImpl impl = (DatabaseImpl) db;
            sb.append("{\"ok\":true,\"file\":").append(str(file)).append(",\"globalFree\":");
            ranges(sb, (UsageMap) field(impl.getPageChannel(), "_globalUsageMap"));
            sb.append(",\"tables\":[");
            List<String> names = new ArrayList<>(db.getTableNames());
            names.add("MSysObjects");
            for (int n = 0; n < names.size(); ++n) {
                TableImpl t = (TableImpl) (n + 1 == names.size() ? db.getSystemTable(names.get(n)) : db.getTable(names.get(n)));
                sb.append(n == 0 ? "" : ",").append("{\"name\":").append(str(names.get(n))).append(",\"owned\":");
                ranges(sb, (UsageMap) field(t, "_ownedPages"));
                sb.append(",\"free\":");
                ranges(sb, (UsageMap) field(t, "_freeSpacePages"));
                sb.append(",\"longValues\":[");
                boolean first = true;
                for (Column c : t.getColumns()) {
                    if (c.getType() != DataType.MEMO && c.getType() != DataType.OLE) continue;
                    Object holder = field(c, "_lvalBufferH");
                    if (holder == null || !holder.getClass().getSimpleName().equals("UmapLongValueBufferHolder")) continue;
                    sb.append(first ? "" : ",").append("{\"column\":").append(str(c.getName())).append(",\"owned\":");
                    ranges(sb, (UsageMap) field(holder, "_ownedPages"));
                    sb.append(",\"free\":");
                    ranges(sb, (UsageMap) field(holder, "_freeSpacePages"));
                    sb.append('}');
                    first = false;
                }
                sb.append("]}");
            }
            sb.append("]}");
        }
    }

    static void value(StringBuilder sb, Object v) {
        if (v == null) sb.append("null");
        else if (v instanceof Boolean) sb.append((Boolean) v ? 1 : 0);
        else if (v instanceof Double || v instanceof Float) {
            double d = ((Number) v).doubleValue();
            if (Double.isFinite(d)) sb.append(d); else sb.append(str(String.valueOf(d)));
        } else if (v instanceof BigDecimal) sb.append(str(((BigDecimal) v).toPlainString()));
        else if (v instanceof Number) sb.append(v);
        else if (v instanceof byte[]) {
            StringBuilder h = new StringBuilder();
            for (byte b : (byte[]) v) h.append(String.format("%02x", b & 0xFF));
            sb.append("{\"hex\":").append(str(h.toString())).append('}');
        } else if (v instanceof Date) sb.append(str(((Date) v).toInstant().toString()));
        else if (v instanceof LocalDateTime) sb.append(str(v.toString()));
        else sb.append(str(v.toString()));
    }

    static String str(String s) {
        if (s == null) return "null";
        StringBuilder b = new StringBuilder(s.length() + 2).append('"');
        for (int i = 0; i < s.length(); ++i) {
            char c = s.charAt(i);
            if (c == '"' || c == '\\') b.append('\\').append(c);
            else if (c < 0x20 || Character.isSurrogate(c) && !validPair(s, i)) b.append(String.format("\\u%04x", (int) c));
            else b.append(c);
        }
        return b.append('"').toString();
    }

    static boolean validPair(String s, int i) {
        char c = s.charAt(i);
        if (Character.isHighSurrogate(c)) return i + 1 < s.length() && Character.isLowSurrogate(s.charAt(i + 1));
        return i > 0 && Character.isHighSurrogate(s.charAt(i - 1));
    }
}
