# Drives LibreOffice for the program's workbook conversions, through its
# UNO interface: the program writes a job file, runs this script with the
# system's Python, and reads back what it wrote and the lines it printed.
#
# Job file (UTF-8, one item per line, fields separated by tabs):
#   soffice <path>          the LibreOffice program
#   profile <file URL>      its private user profile
#   job <n> <source URL> <filter> <filter options> <action> <output path> <sheet> <options>
# Actions: "text" stores the sheet that was showing (the named <sheet>, else
# the one the file says was active, else the first) with the text filter and
# <options> (the sheet number is appended); "sheets" stores every visible
# sheet that way ("sheets+hidden" the hidden ones too; chart sheets never),
# sheet k of the workbook to <output path> with ".s<k>" before its
# extension, printing "sheet <n> <k> <hidden 0/1> <name>" for each; "store"
# stores the workbook with the filter named in <options>; "cells" writes
# every sheet's cells with their types (see ferro::SheetCellsToXml).
#
# Prints "ok <n>" or "fail <n> <why>" per job, as each ends. Workbooks are
# loaded without recalculation, so the results saved in them are used.
import datetime
import os
import subprocess
import sys
import time


def escape(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t")
            .replace("\n", "\\n").replace("\r", "\\r"))


def read_jobs(path):
    settings, jobs = {}, []
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "job" and len(fields) >= 9:
                jobs.append(fields[1:9])
            elif len(fields) >= 2:
                settings[fields[0]] = fields[1]
    return settings, jobs


def say(*words):
    sys.stdout.write(" ".join(str(w) for w in words) + "\n")
    sys.stdout.flush()


def connect(uno, soffice, profile):
    pipe = "ferro-office-%d" % os.getpid()
    proc = subprocess.Popen(
        [soffice, "-env:UserInstallation=" + profile, "--headless", "--invisible",
         "--norestore", "--nologo", "--nodefault", "--nolockcheck",
         "--accept=pipe,name=%s;urp;" % pipe],
        stdin=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    while True:
        try:
            ctx = resolver.resolve(
                "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            return proc, ctx
        except Exception:
            if proc.poll() is not None:
                return proc, None
            time.sleep(0.1)


def prop(name, value):
    from com.sun.star.beans import PropertyValue
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def no_recalculation(ctx):
    provider = ctx.ServiceManager.createInstanceWithContext(
        "com.sun.star.configuration.ConfigurationProvider", ctx)
    access = provider.createInstanceWithArguments(
        "com.sun.star.configuration.ConfigurationUpdateAccess",
        (prop("nodepath", "/org.openoffice.Office.Calc/Formula/Load"),))
    access.setPropertyValue("OOXMLRecalcMode", 1)  # never
    access.setPropertyValue("ODFRecalcMode", 1)
    access.commitChanges()


def active_index(doc, wanted):
    sheets = doc.Sheets
    names = list(sheets.ElementNames)
    if wanted and wanted in names:
        return names.index(wanted)
    data = doc.getViewData()
    if data is not None and data.Count > 0:
        for p in data.getByIndex(0):
            if p.Name == "ActiveTable" and p.Value in names:
                return names.index(p.Value)
    return 0


# Number format types (com.sun.star.util.NumberFormat).
DATE, TIME, LOGICAL = 2, 4, 1024


def is_chart_sheet(sheet, end_col, end_row):
    if end_col > 0 or end_row > 0 or sheet.getCellByPosition(0, 0).Type.value != "EMPTY":
        return False
    page = sheet.DrawPage
    if page.Count == 0:
        return False
    for i in range(page.Count):
        shape = page.getByIndex(i)
        if not shape.supportsService("com.sun.star.drawing.OLE2Shape"):
            return False
        if str(shape.CLSID).lower() != "12dcae26-281f-416f-a234-c3086127382e":
            return False
    return True


def iso_date(doc, serial):
    null = doc.NullDate
    ms = int(round(serial * 86400000))
    if 0 <= serial < 1:
        base = datetime.datetime(1899, 12, 31)
    else:
        base = datetime.datetime(null.Year, null.Month, null.Day)
    try:
        moment = base + datetime.timedelta(milliseconds=ms)
    except OverflowError:
        return None
    return moment.strftime("%Y-%m-%dT%H:%M:%S.") + "%03d" % (moment.microsecond // 1000)


def number_text(v):
    if v == int(v) and abs(v) < 1e15:
        return str(int(v))
    return repr(v)


LOGICAL_FUNCTIONS = ("TRUE", "FALSE", "AND", "OR", "NOT", "XOR", "EXACT", "ISBLANK", "ISERR",
                     "ISERROR", "ISEVEN", "ISFORMULA", "ISLOGICAL", "ISNA", "ISNONTEXT",
                     "ISNUMBER", "ISODD", "ISREF", "ISTEXT")


def outside_strings(text, start=0):
    """(position, character, depth) of the characters of a formula from
    start that are outside string literals; depth counts the parentheses
    open before the character, from start."""
    depth, quoted = 0, False
    for i in range(start, len(text)):
        ch = text[i]
        if quoted:
            quoted = ch != '"'
        elif ch == '"':
            quoted = True
        else:
            if ch == ")":
                depth -= 1
            yield i, ch, depth
            if ch == "(":
                depth += 1


def closing_paren(text, start):
    """The position of the parenthesis that closes the one at start."""
    for i, ch, depth in outside_strings(text, start):
        if ch == ")" and depth == 0:
            return i
    return -1


def is_logical_formula(formula):
    """Whether a formula gives a truth value by its form: a comparison
    outside parentheses and strings, or a call of a logical function (AND,
    ISBLANK...) that is the whole formula. Excel 97 workbooks come back from
    LibreOffice with their TRUE and FALSE cells as such formulas in the
    General format, showing 1 and 0."""
    if not formula.startswith("="):
        return False
    body = formula[1:].strip()
    while body.startswith("(") and closing_paren(body, 0) == len(body) - 1:
        body = body[1:-1].strip()
    if any(depth == 0 and ch in "<>=" for _, ch, depth in outside_strings(body)):
        return True
    open_at = body.find("(")
    if open_at < 0 or body[:open_at].strip().upper() not in LOGICAL_FUNCTIONS:
        return False
    # The call's closing parenthesis must end the formula.
    return closing_paren(body, open_at) == len(body) - 1


def write_cells(doc, out, wanted):
    formats = doc.NumberFormats
    known = {}  # format key -> (id, type, code)
    active = active_index(doc, wanted)
    sheets = doc.Sheets
    for s in range(sheets.Count):
        sheet = sheets.getByIndex(s)
        cursor = sheet.createCursor()
        cursor.gotoEndOfUsedArea(False)
        end_col = cursor.RangeAddress.EndColumn
        end_row = cursor.RangeAddress.EndRow
        if is_chart_sheet(sheet, end_col, end_row):
            continue
        out.write("W\t%d\t%d\t%s\n" % (1 if s == active else 0, 0 if sheet.IsVisible else 1,
                                       escape(sheet.Name)))
        whole = sheet.getCellRangeByPosition(0, 0, end_col, end_row)
        data = whole.getDataArray()
        # Number formats by area.
        row_formats = [[] for _ in range(end_row + 1)]
        areas = whole.getCellFormatRanges()
        for i in range(areas.Count):
            area = areas.getByIndex(i)
            key = area.NumberFormat
            a = area.RangeAddress
            if key == 0:
                continue
            for r in range(a.StartRow, min(a.EndRow, end_row) + 1):
                row_formats[r].append((a.StartColumn, a.EndColumn, key))
        errors = {}
        try:
            found = whole.queryFormulaCells(4)  # FormulaResult.ERROR
            cells = found.getCells().createEnumeration()
            while cells.hasMoreElements():
                cell = cells.nextElement()
                at = cell.CellAddress
                errors[(at.Row, at.Column)] = cell.getString()
        except Exception:
            pass
        # A formula's boolean result has no format of its own; it shows as
        # TRUE or FALSE, or it is a logical formula.
        booleans = set()
        try:
            found = whole.queryFormulaCells(1)  # FormulaResult.VALUE
            for a in found.RangeAddresses:
                for r in range(a.StartRow, a.EndRow + 1):
                    for c in range(a.StartColumn, a.EndColumn + 1):
                        v = data[r][c]
                        if isinstance(v, str) or v not in (0, 1):
                            continue
                        cell = sheet.getCellByPosition(c, r)
                        if cell.getString() in ("TRUE", "FALSE") or \
                                is_logical_formula(cell.getFormula()):
                            booleans.add((r, c))
        except Exception:
            pass
        for r, row in enumerate(data):
            for c, value in enumerate(row):
                if (r, c) in errors:
                    out.write("C\t%d\t%d\te\t-\t%s\n" % (r, c, escape(errors[(r, c)])))
                    continue
                if isinstance(value, str):
                    if value != "":
                        out.write("C\t%d\t%d\ts\t-\t%s\n" % (r, c, escape(value)))
                    continue
                key = 0
                for first, last, k in row_formats[r]:
                    if first <= c <= last:
                        key = k
                        break
                fid, ftype = "-", 0
                if key:
                    if key not in known:
                        f = formats.getByKey(key)
                        known[key] = (len(known) + 1, f.Type)
                        out.write("F\t%d\t%s\n" % (known[key][0], escape(f.FormatString)))
                    fid, ftype = str(known[key][0]), known[key][1]
                if ftype & LOGICAL or (r, c) in booleans:
                    out.write("C\t%d\t%d\tb\t-\t%d\n" % (r, c, 1 if value else 0))
                elif ftype & (DATE | TIME):
                    text = iso_date(doc, value)
                    if text is None:
                        out.write("C\t%d\t%d\tn\t%s\t%s\n" % (r, c, fid, number_text(value)))
                    else:
                        out.write("C\t%d\t%d\td\t%s\t%s\n" % (r, c, fid, text))
                else:
                    out.write("C\t%d\t%d\tn\t%s\t%s\n" % (r, c, fid, number_text(value)))


def store_sheet(uno, doc, output, options, number):
    """Stores sheet number (from 1) with the text filter and its options."""
    doc.storeToURL(uno.systemPathToFileUrl(output),
                   (prop("FilterName", "Text - txt - csv (StarCalc)"),
                    prop("FilterOptions", "%s,%d" % (options, number))))
    # Told a sheet, LibreOffice adds its name to the file's.
    stem, ext = os.path.splitext(output)
    folder, base = os.path.split(stem)
    if not os.path.exists(output):
        for name in os.listdir(folder):
            if name.startswith(base + "-") and name.endswith(ext):
                os.replace(os.path.join(folder, name), output)
                break


def run_job(uno, desktop, job):
    index, url, filt, filter_options, action, output, wanted, options = job
    load = [prop("Hidden", True), prop("ReadOnly", True), prop("MacroExecutionMode", 0)]
    if filt:
        load.append(prop("FilterName", filt))
        load.append(prop("FilterOptions", filter_options))
    doc = desktop.loadComponentFromURL(url, "_blank", 0, tuple(load))
    if doc is None:
        say("fail", index, "not loaded")
        return
    try:
        if not doc.supportsService("com.sun.star.sheet.SpreadsheetDocument"):
            say("fail", index, "not a spreadsheet")
            return
        target = uno.systemPathToFileUrl(output)
        if action == "text":
            store_sheet(uno, doc, output, options, active_index(doc, wanted) + 1)
        elif action in ("sheets", "sheets+hidden"):
            stem, ext = os.path.splitext(output)
            sheets = doc.Sheets
            for s in range(sheets.Count):
                sheet = sheets.getByIndex(s)
                cursor = sheet.createCursor()
                cursor.gotoEndOfUsedArea(False)
                if is_chart_sheet(sheet, cursor.RangeAddress.EndColumn, cursor.RangeAddress.EndRow):
                    continue
                if not sheet.IsVisible and action == "sheets":
                    continue
                store_sheet(uno, doc, "%s.s%d%s" % (stem, s + 1, ext), options, s + 1)
                say("sheet", index, s + 1, 0 if sheet.IsVisible else 1, escape(sheet.Name))
        elif action == "store":
            doc.storeToURL(target, (prop("FilterName", options),))
        else:
            with open(output, "w", encoding="utf-8", newline="\n") as out:
                write_cells(doc, out, wanted)
        say("ok", index)
    finally:
        try:
            doc.close(True)
        except Exception:
            pass


def main():
    settings, jobs = read_jobs(sys.argv[1])
    try:
        import uno
    except ImportError:
        say("no-uno")
        return 3
    proc, ctx = connect(uno, settings["soffice"], settings["profile"])
    if ctx is None:
        say("no-office")
        return 4
    try:
        no_recalculation(ctx)
        desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        for job in jobs:
            try:
                run_job(uno, desktop, job)
            except Exception as e:
                say("fail", job[0], str(e).replace("\n", " ")[:200])
        try:
            desktop.terminate()
        except Exception:
            pass
    finally:
        try:
            proc.wait(timeout=20)
        except Exception:
            proc.kill()
    return 0


if __name__ == "__main__":
    sys.exit(main())
