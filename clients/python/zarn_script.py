"""Builds zarn print scripts and "zarn://" links; standard library only.

Nothing is ever changed silently: a value the client would read otherwise
than it was meant (a "|" or line break in a text, a number that is not whole
or too large for its field, a marker that switches the whole script) is
refused with a ValueError that names the command, the field and the value.

    from zarn_script import Script, field, link, quote_value
    s = Script()
    s.sd(orientation="P", paper="A4", copies=1)
    s.pt(x=100, y=100, text="Hello", width=0, height=0, align="L", wrap=0)
    s.ed()
    body = str(s)   # the service's reply, CR LF line ends
"""
from __future__ import annotations

import base64
import inspect
import json
import os
import subprocess
import urllib.parse
from typing import Dict, List, Mapping, Sequence, Tuple, Union

__all__ = ["COMMANDS", "DEFAULTS", "Field", "RepeatBlock", "Script", "error", "field", "inch", "link", "measure",
           "mm", "quote_value"]

Value = Union[str, int, float, "Field"]


def quote_value(value: str) -> str:
    """A query value escaped as JavaScript's encodeURIComponent does."""
    return urllib.parse.quote(value, safe="-_.!~*'()")


def link(address: str) -> str:
    """The "zarn://" link for a service address whose query values are
    already escaped with quote_value. The client decodes the address once
    (URI escapes, UTF-8) before it sends it, so the whole address is escaped
    once more, as JavaScript's encodeURI does, then Base64 of its bytes."""
    escaped = urllib.parse.quote(address, safe=";,/?:@&=+$-_.!~*'()#")
    return "zarn://" + base64.b64encode(escaped.encode("ascii")).decode("ascii")


# The interpreter's command table (zarn-render --commands): the fields of each
# command in order, (name, type[, "?" for an optional field]). Types: text,
# long (32-bit whole number), short (16-bit whole number), mm (millimetres
# with at most one decimal).
COMMANDS: Dict[str, List[Tuple[str, ...]]] = {
    "PDFNAME": [("subfolder", "text"), ("name", "text", "?"), ("unused", "text", "?")],
    "QRC": [("text", "text"), ("x", "long"), ("y", "long"), ("width", "long"), ("height", "long")],
    "GF": [("url", "text"), ("file", "text")],
    "MSGBOX": [("title", "text"), ("line1", "text"), ("line2", "text")],
    "PSZ": [("width", "long"), ("height", "long"), ("form", "text")],
    "RPTPSZ": [("width", "long"), ("height", "long"), ("form", "text")],
    "DEV": [("printer", "text")],
    "RPTDEV": [("printer", "text")],
    "MRG": [("top", "long"), ("left", "long")],
    "NP": [],
    "SSD": [],
    "SD": [("orientation", "text"), ("paper", "text"), ("copies", "long")],
    "ED": [],
    "SFX": [("x", "long")],
    "SFY": [("y", "long")],
    "SFXR": [("dx", "long")],
    "SFYR": [("dy", "long")],
    "SF": [("font", "text"), ("size", "long"), ("bold", "long"), ("italic", "long")],
    "MXT": [("x", "long"), ("text", "text"), ("width", "long"), ("height", "long"), ("align", "text"),
            ("wrap", "long")],
    "SPR": [("text", "text")],
    "PT": [("x", "long"), ("y", "long"), ("text", "text"), ("width", "long"), ("height", "long"),
           ("align", "text"), ("wrap", "long"), ("mode", "text", "?")],
    "DB": [("x", "long"), ("y", "long"), ("width", "long"), ("height", "long"), ("corner", "long"),
           ("border", "long"), ("colour", "text"), ("fill", "short")],
    "DL": [("x1", "long"), ("y1", "long"), ("x2", "long"), ("y2", "long"), ("width", "long"),
           ("colour", "text"), ("style", "long", "?")],
    "SFC": [("colour", "text")],
    "DI": [("file", "text"), ("x", "long"), ("y", "long"), ("width", "long"), ("height", "long")],
    "DG": [("colour1", "text"), ("colour2", "text"), ("direction", "long"), ("x", "long"), ("y", "long"),
           ("width", "long"), ("height", "long")],
    "STATUS": [("address", "text")],
    "PSM": [("width", "mm"), ("height", "mm"), ("form", "text")],
    "RPTPSM": [("width", "mm"), ("height", "mm"), ("form", "text")],
}

# Values a method fills in for fields left out. The client itself has no
# defaults: every line the builder writes carries every field.
DEFAULTS: Dict[str, Dict[str, Union[str, int]]] = {
    "SD": {"orientation": "P", "paper": "A4", "copies": 1},
    "SF": {"bold": 0, "italic": 0},
    "MXT": {"width": 0, "height": 0, "align": "L", "wrap": 0},
    "PT": {"width": 0, "height": 0, "align": "L", "wrap": 0},
    "DB": {"corner": 0, "border": 10, "colour": "#000000", "fill": 0},
    "DL": {"width": 10, "colour": "#000000"},
}


def mm(millimetres: float) -> int:
    """Twips (1/1440 inch), the unit of every position and size, from millimetres."""
    return _round_half_up(millimetres * 1440 / 25.4)


def inch(inches: float) -> int:
    """Twips from inches."""
    return _round_half_up(inches * 1440)


def _round_half_up(value: float) -> int:
    # As JavaScript's Math.round, so both builders give the same twips.
    import math
    return int(math.floor(value + 0.5))


def error(*lines: str) -> str:
    """The service's reply when it cannot make a script: the client shows the
    lines in a message box and prints nothing."""
    for line in lines:
        if not isinstance(line, str) or any(c in line for c in "|\r\n"):
            raise ValueError('error() line %s: not a text, or holds "|", CR or LF' % json.dumps(line))
    return "ERROR|" + "|".join(lines)


def measure(font: str, size: int, width: int, text: str, bold: int = 0, italic: int = 0) -> int:
    """The height in twips that text wrapped to width takes in a font, as
    zarn-render --measure finds it (zarn-render from ZARN_RENDER or the PATH)."""
    program = os.environ.get("ZARN_RENDER", "zarn-render")
    env = dict(os.environ)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    out = subprocess.run([program, "--measure", font, str(size), str(bold), str(italic), str(width), text],
                         check=True, capture_output=True, env=env).stdout
    return int(out.decode().strip())


# mm: tenths of a millimetre times 100 is the form size, in 32 bits.
_RANGES = {"long": (-2147483648, 2147483647), "short": (-32768, 32767), "mm": (-2147483.6, 2147483.6)}

# Markers the client looks for anywhere in the script text: inside a value
# they would turn the whole script into a repeat or PDF-only job, or act as a
# data-section marker.
_MARKERS = ("RPTFLD", "PDFONLY", "RPTDT", "RPTED", "RPTDEV", "RPTPSZ", "RPTPSM")


def _refuse(where, name, value, why):
    return ValueError('%s field "%s" %s: %s' % (where, name, json.dumps(value, ensure_ascii=False), why))


def _text(where, name, value):
    if not isinstance(value, str):
        raise _refuse(where, name, value, "is not a text")
    if any(c in value for c in "|\r\n"):
        raise _refuse(where, name, value, 'holds "|", CR or LF, which would split the line')
    for marker in _MARKERS:
        if marker in value:
            raise _refuse(where, name, value, "holds the marker %s, which changes how the whole script runs" % marker)
    return value


def _number(where, name, value, kind):
    low, high = _RANGES[kind]
    if kind == "mm":
        if isinstance(value, bool) or not isinstance(value, (int, float)) or abs(round(value * 10) - value * 10) > 1e-9:
            raise _refuse(where, name, value, "is not a number of millimetres with at most one decimal")
        if not low <= value <= high:
            raise _refuse(where, name, value, "is outside %s to %s" % (low, high))
        return ("%.1f" % value).rstrip("0").rstrip(".")
    if isinstance(value, bool) or not isinstance(value, int):
        raise _refuse(where, name, value, "is not a whole number")
    if not low <= value <= high:
        raise _refuse(where, name, value, "is outside %d to %d" % (low, high))
    return str(value)


class Field:
    """A repeat field name standing where a record's value goes, in a template
    field of any type: s.sfx(x=field("#X#")). The records' values for it are
    then checked against that field's type."""

    def __init__(self, name):
        self.name = name


def field(name):
    return Field(name)


class Script:
    """One script, built line by line. Each command has a method named by its
    keyword in lower case, taking its fields by name: s.pt(x=100, ...)."""

    def __init__(self):
        self._lines = []
        self._repeat = None
        self._reprint = False
        self._uses = []  # (field name, keyword, field, type) of each placeholder

    def command(self, keyword: str, **given: Value) -> "Script":
        """A command line from the table; optional fields may be left out, and
        fields with a default get it."""
        fields = COMMANDS.get(keyword)
        args = dict(DEFAULTS.get(keyword, {}), **given)
        if fields is None:
            raise ValueError("%s is no command" % keyword)
        if self._repeat:
            raise ValueError("%s: no command may follow the repeat block" % keyword)
        unknown = set(args) - {f[0] for f in fields}
        if unknown:
            raise ValueError('%s has no field "%s"' % (keyword, sorted(unknown)[0]))
        out, uses = [keyword], []
        for name, kind, *flag in fields:
            if name not in args:
                if flag:
                    break
                raise ValueError('%s field "%s" is missing' % (keyword, name))
            value = args[name]
            if isinstance(value, Field):
                uses.append((value.name, keyword, name, kind))
                out.append(_text(keyword, name, value.name))
            elif kind == "text":
                out.append(_text(keyword, name, value))
            else:
                out.append(_number(keyword, name, value, kind))
        self._lines.append("|".join(out))
        self._uses += uses
        return self

    def pdfname(self, name: str, subfolder: str = "") -> "Script":
        """PDFNAME with a file name and, when given, a sub-folder below the day folder."""
        _text("PDFNAME", "name", name)
        if not subfolder:
            return self.command("PDFNAME", subfolder=name)
        return self.command("PDFNAME", subfolder=subfolder, name=name, unused="")

    def pdf_only(self) -> "Script":
        """The script goes to a PDF file only (and opens in the PDF viewer)."""
        self._lines.append("PDFONLY")
        return self

    def pdf_merge(self) -> "Script":
        """The repeat block's records go to PDF files instead of the printer,
        each its own file when the template names it with pdfname."""
        self._lines.append("PDFMERGE")
        return self

    def reprint(self) -> "Script":
        """Ends the script with "#REPRINT": no PDF copy of this job."""
        self._reprint = True
        return self

    def repeat(self, names: Sequence[str]) -> "RepeatBlock":
        """Ends the template: what was added so far prints once per record.
        names: the field names the template holds where values go."""
        if self._repeat:
            raise ValueError("a script holds one repeat block")
        for name, keyword, field_name, _ in self._uses:
            if name not in names:
                raise ValueError('%s field "%s" uses %s, which is no field name' % (keyword, field_name, name))
        self._repeat = RepeatBlock(names, self._uses)
        return self._repeat

    def __str__(self) -> str:
        if self._uses and not self._repeat:
            name, keyword = self._uses[0][:2]
            raise ValueError("%s uses the field %s, but the script has no repeat block" % (keyword, name))
        lines = self._lines + (self._repeat.lines() if self._repeat else [])
        text = "".join(line + "\r\n" for line in lines)
        return text + "#REPRINT" if self._reprint else text


_PY_TYPES = {"text": str, "long": int, "short": int, "mm": float}


def _method(keyword):
    def run(self, **args):
        return self.command(keyword, **args)
    run.__name__ = keyword.lower()
    run.__doc__ = "%s|%s" % (keyword, "|".join(f[0] for f in COMMANDS[keyword]))
    # The fields as keyword parameters with their types and defaults, for
    # help(), editors' call tips and inspect.signature.
    defaults = DEFAULTS.get(keyword, {})
    params = [inspect.Parameter("self", inspect.Parameter.POSITIONAL_OR_KEYWORD)]
    for name, kind, *flag in COMMANDS[keyword]:
        default = defaults.get(name, None if flag else inspect.Parameter.empty)
        params.append(inspect.Parameter(name, inspect.Parameter.KEYWORD_ONLY, default=default,
                                        annotation=Union[_PY_TYPES[kind], Field]))
    run.__signature__ = inspect.Signature(params, return_annotation="Script")
    return run


for _keyword in COMMANDS:
    if not hasattr(Script, _keyword.lower()):
        setattr(Script, _keyword.lower(), _method(_keyword))


class RepeatBlock:
    """The data section of a repeat script. Field and data lines end with "|",
    so the CR of a CR LF line end never sticks to a name or value."""

    def __init__(self, names, uses=()):
        names = list(names)
        if not names:
            raise ValueError("RPTFLD needs at least one field name")
        for a in names:
            _text("RPTFLD", "name", a)
            if a == "":
                raise _refuse("RPTFLD", "name", a, "is empty")
            if names.count(a) > 1:
                raise _refuse("RPTFLD", "name", a, "is named twice")
            for b in names:
                if a != b and a in b:
                    raise _refuse("RPTFLD", "name", a, "is part of the name %s" % json.dumps(b, ensure_ascii=False))
        self.names = names
        self._uses = list(uses)
        self._data = []

    def record(self, values: Union[Sequence[Union[str, int]], Mapping[str, Union[str, int]]]) -> "RepeatBlock":
        """One record: a list in field order, or a dict keyed by field name."""
        values = [values.get(n) for n in self.names] if isinstance(values, dict) else list(values)
        if len(values) != len(self.names):
            raise ValueError("RPTDT has %d values for %d field names" % (len(values), len(self.names)))
        texts = []
        for name, value in zip(self.names, values):
            for used, keyword, field_name, kind in self._uses:
                if used == name and kind != "text":
                    _number("RPTDT (for %s %s)" % (keyword, field_name), name, value, kind)
            text = _text("RPTDT", name, str(value) if isinstance(value, int) and not isinstance(value, bool) else value)
            for other in self.names:
                if other in text:
                    raise _refuse("RPTDT", name, text, "holds the field name %s, which would be replaced too" % other)
            texts.append(text)
        self._data.append("RPTDT|" + "|".join(texts) + "|")
        return self

    def end_doc(self) -> "RepeatBlock":
        """Finishes the document that is open (between records)."""
        self._data.append("RPTED")
        return self

    def device(self, printer: str) -> "RepeatBlock":
        """Switches the printer for the records that follow."""
        self._data.append("RPTDEV|%s|" % _text("RPTDEV", "printer", printer))
        return self

    def paper_size(self, width: int, height: int, form: str) -> "RepeatBlock":
        """A custom paper form in whole centimetres for the records that follow."""
        self._data.append("RPTPSZ|%s|%s|%s|" % (_number("RPTPSZ", "width", width, "long"),
                                                _number("RPTPSZ", "height", height, "long"),
                                                _text("RPTPSZ", "form", form)))
        return self

    def paper_size_mm(self, width: float, height: float, form: str) -> "RepeatBlock":
        """The same in millimetres, one decimal."""
        self._data.append("RPTPSM|%s|%s|%s|" % (_number("RPTPSM", "width", width, "mm"),
                                                _number("RPTPSM", "height", height, "mm"),
                                                _text("RPTPSM", "form", form)))
        return self

    def lines(self) -> List[str]:
        # The line right after the field line is never read by the client.
        return ["RPTFLD|" + "|".join(self.names) + "|", "(records)"] + self._data
