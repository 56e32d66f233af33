"""Tables cross between our engine and two independent dBASE libraries.

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


with tempfile.TemporaryDirectory() as tmp:
    ours_read_by_dbfread(tmp)
    dbf_written_read_by_ours(tmp)
    modified_by_ours_read_by_both(tmp)
    patched_read_by_ours(tmp)

failed = results.count(False)
print("%d passed, %d failed" % (len(results) - failed, failed))
sys.exit(1 if failed else 0)
