#!/usr/bin/python3
"""Exports every table of a fixture database to CSV with all columns named and
compares each value with what the command-line client reads from the server.

The only differences allowed are the intended transformations, listed in
EXPECTED_FORMS below: NULL becomes the template's NullString, BIT values are
unsigned integers, binary values go out as "0x" and upper-case hexadecimal
digits (the default BinaryAs=hex; an empty value as nothing). Everything else must
arrive byte for byte: blanks at both ends, line breaks, CJK text, emoji, zero
dates, numbers beyond what a double carries.

Needs the private test server (VELMORA_TEST_SERVER_DIR/server.env) and the
program (VELMORA_BINARY); run by CTest with the server fixture.
"""
import csv
import os
import subprocess
import sys
import tempfile

FIXTURE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixture.sql")
DATABASE = "velmora_exactness"
NULL_TEXT = "<null>"
TABLES = ["numbers", "texts", "moments", "binaries"]


def server_settings():
    settings = {}
    with open(os.path.join(os.environ["VELMORA_TEST_SERVER_DIR"], "server.env")) as env:
        for line in env:
            key, _, value = line.strip().partition("=")
            settings[key] = value
    return settings


def client(settings, *arguments, stdin=None):
    command = ["mariadb", "--no-defaults", "--default-character-set=utf8mb4",
               "--socket=" + settings["VELMORA_TEST_SOCKET"],
               "--user=" + settings["VELMORA_TEST_USER"],
               "--password=" + settings["VELMORA_TEST_PASSWORD"], *arguments]
    return subprocess.run(command, input=stdin, capture_output=True, check=True).stdout


def unescape_batch(field):
    """The client's batch mode escapes NUL, tab, line feed and backslash."""
    out = bytearray()
    index = 0
    while index < len(field):
        byte = field[index]
        if byte == 0x5C and index + 1 < len(field):
            following = field[index + 1]
            out += {0x30: b"\0", 0x74: b"\t", 0x6E: b"\n", 0x5C: b"\\"}.get(following, bytes([byte, following]))
            index += 2
        else:
            out.append(byte)
            index += 1
    return bytes(out)


def reference_rows(settings, table):
    """Column names and rows as the client reads them; None for NULL, BIT and
    binary columns as hex text ("0x..."). The client shows a binary NULL as "0x"
    too, so the NULLs come from a second query."""
    query = "select * from `%s` order by id" % table
    output = client(settings, "--batch", "--binary-as-hex", DATABASE, "-e", query)
    lines = [line for line in output.split(b"\n") if line]
    names = lines[0].decode().split("\t")
    null_query = "select %s from `%s` order by id" % (
        ", ".join("`%s` is null" % name for name in names), table)
    nulls = client(settings, "--batch", "--skip-column-names", DATABASE, "-e", null_query).split(b"\n")
    rows = []
    for line, null_line in zip(lines[1:], nulls):
        fields = line.split(b"\t")
        flags = null_line.split(b"\t")
        rows.append([None if flag == b"1" else unescape_batch(field) for field, flag in zip(fields, flags)])
    return names, rows


def column_types(settings, table):
    output = client(settings, "--batch", "--skip-column-names", DATABASE, "-e",
                    "select column_name, data_type from information_schema.columns "
                    "where table_schema = '%s' and table_name = '%s'" % (DATABASE, table))
    return dict(line.split("\t") for line in output.decode().splitlines())


def expected_form(value, data_type):
    """The text the CSV export must hold for one value the client read."""
    if value is None:
        return NULL_TEXT.encode()
    if data_type == "bit":
        return str(int(value[2:], 16)).encode()
    if value.startswith(b"0x") and data_type in ("binary", "varbinary", "blob"):
        return b"" if value == b"0x" else b"0x" + value[2:].upper()
    return value


def run_export(settings, directory, stored):
    templates = []
    for table in TABLES:
        names, _ = reference_rows(settings, table)
        template = os.path.join(directory, table + ".ini")
        with open(template, "w") as out:
            out.write("[FORMATS]\nNullString=%s\n" % NULL_TEXT)
            out.write("Date=yyyy-mm-dd\nDateTime=yyyy-mm-dd hh:nn:ss\nTime=hh:nn:ss\n")
            out.write("[FIELDS]\n")
            for index, name in enumerate(names):
                out.write("%d=%s\n" % (index + 1, name))
        templates.append(template)
    parameters = os.path.join(directory, "exactness.cfg")
    with open(parameters, "w") as out:
        out.write("[Connection]\nHost=localhost\nPort=%s\nLogin=%s\nPassword=%s\nDBName=%s\n" % (
            settings["VELMORA_TEST_SOCKET"], settings["VELMORA_TEST_USER"],
            settings["VELMORA_TEST_PASSWORD"], DATABASE))
        if stored:
            out.write("StoreResult=1\n")
        out.write("[Tables]\n" + "".join("%s=%s\n" % (t, t) for t in TABLES))
        out.write("[Files]\n" + "".join("%s=%s.csv\n" % (t, os.path.join(directory, t)) for t in TABLES))
        out.write("[Templates]\n" + "".join("%s=%s\n" % (t, p) for t, p in zip(TABLES, templates)))
    environment = dict(os.environ, LC_ALL="C")
    result = subprocess.run([os.environ["VELMORA_BINARY"], parameters], cwd=directory,
                            capture_output=True, env=environment)
    if result.returncode != 0:
        sys.exit("export failed:\n" + result.stdout.decode(errors="replace") + result.stderr.decode(errors="replace"))


def compare_export(settings, stored):
    """Exports every table (rows streamed, or stored whole) and compares each
    value with the server's; returns the number compared and the failures."""
    failures = []
    compared = 0
    mode = "stored" if stored else "streamed"
    with tempfile.TemporaryDirectory() as directory:
        run_export(settings, directory, stored)
        for table in TABLES:
            names, rows = reference_rows(settings, table)
            types = column_types(settings, table)
            with open(os.path.join(directory, table + ".csv"), newline="", encoding="latin-1") as source:
                records = [[field.encode("latin-1") for field in record] for record in csv.reader(source)]
            if records[0] != [name.encode() for name in names]:
                failures.append("%s, %s: captions %r" % (table, mode, records[0]))
            if len(records) - 1 != len(rows):
                failures.append("%s, %s: %d records, the server has %d" % (table, mode, len(records) - 1, len(rows)))
            for row, record in zip(rows, records[1:]):
                for name, value, exported in zip(names, row, record):
                    compared += 1
                    expected = expected_form(value, types[name])
                    if exported != expected:
                        failures.append("%s.%s (id %s, %s): exported %r, expected %r" % (
                            table, name, row[0].decode(), mode, exported[:80], expected[:80]))
    return compared, failures


def main():
    settings = server_settings()
    client(settings, "-e", "drop database if exists %s; create database %s character set utf8mb4" % (DATABASE, DATABASE))
    with open(FIXTURE, "rb") as fixture:
        client(settings, DATABASE, stdin=fixture.read())
    compared = 0
    failures = []
    for stored in (False, True):
        mode_compared, mode_failures = compare_export(settings, stored)
        compared += mode_compared
        failures += mode_failures
    client(settings, "-e", "drop database %s" % DATABASE)
    for failure in failures:
        print(failure)
    print("exactness: %d passed, %d failed" % (compared - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
