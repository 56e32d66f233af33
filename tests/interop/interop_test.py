"""Tables cross between our engine and independent dBASE implementations:
python3-dbfread, python3-dbf, Perl's XBase and GDAL/OGR.

Usage: interop_test.py DBFTOOL
Ends with the line 'N passed, M failed'.
"""
import datetime
import os
import subprocess
import sys
import tempfile

import dbf
import dbfread

TOOL = sys.argv[1]
results = []


def check(name, expected, actual):
    ok = expected == actual
    results.append(ok)
    print(("ok   " if ok else "FAIL ") + name)
    if not ok:
        print("     expected: %r\n     actual:   %r" % (expected, actual))


def ours_read_by_dbfread(tmp):
    path = os.path.join(tmp, "ours.dbf")
    subprocess.run([TOOL, "sample", path], check=True)
    live = list(dbfread.DBF(path))
    every = list(dbfread.DBF(path, ignore_missing_memofile=True, load=True))
    deleted = dbfread.DBF(path, load=True).deleted
    check("dbfread sees the live records", 2, len(live))
    check("dbfread sees the deleted record", ["Bruno"], [r["NAME"] for r in deleted])
    first, third = live
    check("character field", ("Ada", "Chiara Okafo"), (first["NAME"], third["NAME"]))
    check("numeric field without decimals", (3, 0), (first["QTY"], third["QTY"]))
    check("numeric field with decimals", (12.5, 123456.78), (first["PRICE"], third["PRICE"]))
    check("float field", (0.125, -2.0), (first["RATE"], third["RATE"]))
    check("date field", (datetime.date(1999, 12, 31), datetime.date(2026, 12, 8)),
          (first["BORN"], third["BORN"]))
    check("logical field", (True, True), (first["ACTIVE"], third["ACTIVE"]))
    check("negative numbers", (-40, -7.25), (deleted[0]["QTY"], deleted[0]["PRICE"]))
    check("all records counted", 2, len(every))


def dbf_written_read_by_ours(tmp):
    path = os.path.join(tmp, "theirs.dbf")
    table = dbf.Table(path, "name C(15); qty N(6,0); price N(10,2); born D; ok L",
                      dbf_type="db3", codepage="cp437")
    table.open(dbf.READ_WRITE)
    table.append(("Ada", 42, 3.5, datetime.date(2001, 2, 3), True))
    table.append(("Bruno", -7, -1234.25, datetime.date(1970, 1, 1), False))
    table.append(("Gone", 1, 1, datetime.date(2020, 5, 6), True))
    dbf.delete(table[2])
    table.close()

    out = subprocess.run([TOOL, "dump", path], check=True, capture_output=True, text=True).stdout
    lines = out.splitlines()
    check("our engine opens the table", "records 3 fields 5", lines[0])
    check("field descriptors", ["field NAME C 15 0", "field QTY N 6 0", "field PRICE N 10 2",
                                "field BORN D 8 0", "field OK L 1 0"], lines[1:6])
    check("first record", "1  |Ada            |    42|      3.50|20010203|T|", lines[6])
    check("second record", "2  |Bruno          |    -7|  -1234.25|19700101|F|", lines[7])
    check("deleted record keeps its mark", "3 *|Gone           |     1|      1.00|20200506|T|",
          lines[8])


def theirs(tmp, name):
    """A dbf-written table of three records, the third deleted."""
    path = os.path.join(tmp, name)
    table = dbf.Table(path, "name C(15); qty N(6,0)", dbf_type="db3", codepage="cp1252")
    table.open(dbf.READ_WRITE)
    for row in (("Ada", 42), ("Bruno", -7), ("Gone", 1)):
        table.append(row)
    dbf.delete(table[2])
    table.close()
    return path


def ours(*args):
    subprocess.run([TOOL] + list(args), check=True)


def modified_by_ours_read_by_both(tmp):
    path = theirs(tmp, "modified.dbf")
    header = open(path, "rb").read(32)
    ours("set", path, "2", "NAME", "Bruna")
    ours("append", path, "QTY", "99")
    ours("pack", path)
    rows = [(r["NAME"], r["QTY"]) for r in dbfread.DBF(path)]
    check("dbfread reads our changed, appended and packed table",
          [("Ada", 42), ("Bruna", -7), ("", 99)], rows)
    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    rows = [(r.name.strip(), r.qty) for r in table]
    table.close()
    check("dbf reads it too", [("Ada", 42), ("Bruna", -7), ("", 99)], rows)
    after = open(path, "rb").read(32)
    check("header bytes other than date and count stay as found (codepage included)",
          header[0:1] + header[8:32], after[0:1] + after[8:32])


def patched_read_by_ours(tmp):
    """dbf-written tables patched into other valid dBASE III forms."""
    source = open(theirs(tmp, "plain.dbf"), "rb").read()
    length = source[8] | source[9] << 8
    expected = subprocess.run([TOOL, "dump", os.path.join(tmp, "plain.dbf")], check=True,
                              capture_output=True, text=True).stdout

    def padded(version, pad):
        data = bytearray(source)
        data[0] = version
        data[length:length] = bytes(pad)
        data[8:10] = (length + len(pad)).to_bytes(2, "little")
        return bytes(data)

    forms = [("the older 32n+34 form", padded(0x03, b"\0")),
             ("Visual FoxPro with its backlink", padded(0x30, b"\0" * 263))]
    forms += [("version byte 0x%02X" % v, padded(v, b"")) for v in (0x83, 0x8B, 0x43, 0xCB, 0xF5, 0x31)]
    for what, data in forms:
        path = os.path.join(tmp, "patched.dbf")
        with open(path, "wb") as f:
            f.write(data)
        out = subprocess.run([TOOL, "dump", path], capture_output=True, text=True).stdout
        check("our engine reads %s field for field" % what, expected, out)


def run(*args):
    return subprocess.run(list(args), check=True, capture_output=True, text=True).stdout


PERL_READ = r"""
use XBase;
my $t = XBase->new($ARGV[0]) or die XBase->errstr;
for my $i (0 .. $t->last_record) {
    my @r = $t->get_record($i) or die $t->errstr;
    print join("|", map { defined $_ ? $_ : "<undef>" } @r), "\n";
}
"""


def perl_rows(path):
    """Each record as Perl's XBase reads it: deletion flag, then the fields."""
    return [line.split("|") for line in run("perl", "-e", PERL_READ, path).splitlines()]


def wide_text_fields_with_perl(tmp):
    """Perl's XBase stores C(300) with the width's high byte in the decimal
    count, under version bytes 3 and 4."""
    make = r"""
use XBase;
my $t = XBase->create(name => $ARGV[0], version => $ARGV[1] + 0,
    field_names => ["ID", "NOTE"], field_types => ["N", "C"],
    field_lengths => [4, 300], field_decimals => [0, 0]) or die XBase->errstr;
$t->set_record(0, 1, ("a" x 299) . "Z") or die $t->errstr;
$t->set_record(1, 2, "short") or die $t->errstr;
$t->close;
"""
    for version in (3, 4):
        path = os.path.join(tmp, "wide%d.dbf" % version)
        run("perl", "-e", make, path, str(version))
        lines = run(TOOL, "dump", path).splitlines()
        check("version %d: our engine reports the true width" % version, "field NOTE C 300 0", lines[2])
        check("version %d: our engine reads all 300 bytes" % version,
              "1  |   1|" + "a" * 299 + "Z|", lines[3])
        written = "".join(chr(ord("A") + i % 26) for i in range(300))
        ours("set", path, "2", "NOTE", written)
        ours("append", path, "NOTE", "appended")
        rows = perl_rows(path)
        check("version %d: Perl reads the 300 bytes we wrote" % version, ["0", "2", written], rows[1])
        check("version %d: Perl reads the record we appended" % version, "appended", rows[2][2].rstrip())


def binary_fields_of_appended_records(tmp):
    """A record we append to a 0x30 table holds binary zeros in its binary
    fields, which every reader takes as zero or empty."""
    path = os.path.join(tmp, "binary.dbf")
    table = dbf.Table(path, "name C(10); num I; cash Y; stamp T; dbl B", dbf_type="vfp")
    table.open(dbf.READ_WRITE)
    table.append(("first", 7, 1.5, datetime.datetime(2026, 12, 9, 3, 15), 2.5))
    table.close()
    ours("append", path, "NAME", "ours")
    raw = open(path, "rb").read()
    header, length = raw[8] | raw[9] << 8, raw[10] | raw[11] << 8
    appended = raw[header + length:header + 2 * length]
    check("the appended record's binary fields are binary zeros", bytes(8 + 8 + 4 + 8),
          appended[11:15] + appended[15:23] + appended[23:31] + appended[31:39])
    row = list(dbfread.DBF(path, ignore_missing_memofile=True))[1]
    check("dbfread reads zero and empty", ("ours", 0, 0, None, 0.0),
          (row["NAME"], row["NUM"], row["CASH"], row["STAMP"], row["DBL"]))
    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    row = table[1]
    check("dbf reads zero and empty", ("ours", 0, 0, None, 0.0),
          (row.name.strip(), row.num, row.cash, row.stamp, row.dbl))
    table.close()
    fields = perl_rows(path)[1]
    check("Perl reads a zero integer", "0", fields[2])


def gdal_both_ways(tmp):
    """GDAL/OGR writes a dBASE III table that we change; GDAL reads our
    changes and our own sample table."""
    source = os.path.join(tmp, "people.csv")
    with open(source, "w") as f:
        f.write("NAME,QTY,BORN\nAda,42,2001/02/03\nBruno,-7,1970/01/01\n")
    with open(source + "t", "w") as f:
        f.write('"String(15)","Integer(6)","Date"\n')
    folder = os.path.join(tmp, "ogr")
    run("ogr2ogr", "-f", "ESRI Shapefile", folder, source)
    path = os.path.join(folder, "people.dbf")
    lines = run(TOOL, "dump", path).splitlines()
    check("our engine reads GDAL's fields", ["records 2 fields 3", "field NAME C 15 0", "field QTY N 6 0",
                                             "field BORN D 8 0"], lines[:4])
    check("our engine reads GDAL's records", ["1  |Ada            |    42|20010203|",
                                              "2  |Bruno          |    -7|19700101|"], lines[4:6])
    ours("set", path, "2", "NAME", "Bruna")
    ours("set", path, "2", "BORN", "19991231")
    ours("append", path, "NAME", "Chiara")
    out = run("ogrinfo", "-ro", "-al", "-q", path)
    # GDAL lists a blank number as (null) and leaves a blank date out.
    values = [line.strip() for line in out.splitlines() if " = " in line]
    check("GDAL reads our changes and our record",
          ["NAME (String) = Ada", "QTY (Integer) = 42", "BORN (Date) = 2001/02/03",
           "NAME (String) = Bruna", "QTY (Integer) = -7", "BORN (Date) = 1999/12/31",
           "NAME (String) = Chiara", "QTY (Integer) = (null)"], values)
    sample = os.path.join(tmp, "sample.dbf")
    ours("sample", sample)
    out = run("ogrinfo", "-ro", "-al", "-q", sample)
    names = [line.strip() for line in out.splitlines() if line.strip().startswith("NAME (")]
    check("GDAL reads our sample table", ["NAME (String) = Ada", "NAME (String) = Chiara Okafo"], names)


with tempfile.TemporaryDirectory() as tmp:
    ours_read_by_dbfread(tmp)
    dbf_written_read_by_ours(tmp)
    modified_by_ours_read_by_both(tmp)
    patched_read_by_ours(tmp)
    wide_text_fields_with_perl(tmp)
    binary_fields_of_appended_records(tmp)
    gdal_both_ways(tmp)

failed = results.count(False)
print("%d passed, %d failed" % (len(results) - failed, failed))
sys.exit(1 if failed else 0)
