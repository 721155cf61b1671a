"""Run: ZARN_RENDER=build/zarn-render python3 -m unittest discover clients/python"""
import base64
import json
import os
import re
import subprocess
import tempfile
import unittest
import urllib.parse

from zarn_script import COMMANDS, Script, error, field, inch, link, measure, mm, quote_value

RENDER = os.environ.get("ZARN_RENDER")
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen")


@unittest.skipUnless(RENDER, "ZARN_RENDER not set")
class AgainstZarnRender(unittest.TestCase):
    def test_command_list_is_the_interpreters_field_by_field(self):
        table = json.loads(subprocess.run([RENDER, "--commands"], env=ENV, capture_output=True, check=True).stdout)
        theirs = {c["keyword"]: [(f["name"], f["type"]) + (("?",) if f.get("optional") else ())
                                 for f in c["fields"]] for c in table["commands"]}
        self.assertEqual(COMMANDS, theirs)
        for keyword in theirs:
            self.assertTrue(callable(getattr(Script(), keyword.lower())), keyword)

    def test_built_script_renders_without_an_error(self):
        s = (Script().pdfname("letter", subfolder="letters").sd(orientation="P", paper="A4", copies=1)
             .mrg(top=720, left=720).sf(font="DejaVu Sans", size=12, bold=1, italic=0).sfy(y=field("#Y#"))
             .pt(x=0, y=0, text="Dear #NAME#,", width=6000, height=0, align="L", wrap=0)
             .dg(colour1="#1F4E79", colour2="#FFFFFF", direction=0, x=0, y=400, width=6000, height=300)
             .qrc(text="#NAME#", x=0, y=800, width=800, height=800).ed())
        s.repeat(["#NAME#", "#Y#"]).record(["Muster & Co. #1 + 100%", 0]).record({"#NAME#": "Anna Müller", "#Y#": 200})
        script = str(s).encode("utf-8")
        check = subprocess.run([RENDER, "--check", "-"], input=script, env=ENV, capture_output=True)
        self.assertEqual(check.returncode, 0, check.stdout.decode())
        with tempfile.TemporaryDirectory(prefix="zarn-py-") as folder:
            run = subprocess.run([RENDER, "-", "-o", os.path.join(folder, "out.pdf")], input=script, env=ENV,
                                 capture_output=True)
        self.assertEqual(run.returncode, 0, run.stderr.decode())
        self.assertNotIn(b"error", run.stderr)


class Builder(unittest.TestCase):
    def test_link_carries_any_value_to_the_service_unchanged(self):
        value = "Müller & Co. #1 + 100% | ü"
        made = link("127.0.0.1:8631/print?job=invoice&customer=" + quote_value(value))
        self.assertRegex(made, r"^zarn://[A-Za-z0-9+/=]+$")
        # What the client sends: Base64 to bytes, "+" to blank, %XX to bytes, UTF-8.
        raw = base64.b64decode(made[len("zarn://"):]).replace(b"+", b" ")
        sent = re.sub(rb"%([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]), raw).decode("utf-8")
        query = urllib.parse.parse_qs(urllib.parse.urlsplit("http://" + sent).query)
        self.assertEqual(query["customer"], [value])

    def test_values_the_client_would_read_otherwise_are_refused(self):
        def repeat_number_as_text(s):
            s.sfx(x=field("#X#"))
            s.repeat(["#X#"]).record(["left"])

        refused = [
            (lambda s: s.pt(x=0, y=0, text="Smith | Jones Ltd", width=0, height=0, align="L", wrap=0),
             'PT field "text" "Smith | Jones Ltd"'),
            (lambda s: s.spr(text="two\r\nlines"), 'SPR field "text"'),
            (lambda s: s.mrg(top=10.5, left=0), 'MRG field "top" 10.5: is not a whole number'),
            (lambda s: s.sfx(x=2 ** 31), 'SFX field "x" 2147483648: is outside'),
            (lambda s: s.db(x=0, y=0, width=1, height=1, corner=0, border=0, colour="#000000", fill=40000),
             'DB field "fill" 40000: is outside -32768 to 32767'),
            (lambda s: s.mrg(top=0), 'MRG field "left" is missing'),
            (lambda s: s.spr(text="see PDFONLY"), "PDFONLY"),
            (lambda s: s.repeat(["#N#"]).record(["Ann|Bob"]), 'RPTDT field "#N#" "Ann|Bob"'),
            (lambda s: s.repeat(["#N#", "#NA"]).record(["x", "y #NA"]), "holds the field name #NA"),
            (repeat_number_as_text, "for SFX x"),
        ]
        for build, message in refused:
            with self.subTest(message):
                with self.assertRaises(ValueError) as raised:
                    build(Script())
                self.assertIn(message, str(raised.exception))

    def test_repeat_lines_end_with_a_bar_and_reprint_ends_the_script(self):
        s = Script().spr(text="#N#")
        s.repeat(["#N#"]).record(["Ann"]).end_doc()
        s.reprint()
        self.assertEqual(str(s), "SPR|#N#\r\nRPTFLD|#N#|\r\n(records)\r\nRPTDT|Ann|\r\nRPTED\r\n#REPRINT")


if __name__ == "__main__":
    unittest.main()


def test_defaults_units_millimetre_paper_and_the_error_reply():
    s = Script().sd().pt(x=mm(10), y=inch(1), text="Hi").psm(width=62, height=28.9, form="Label")
    assert str(s) == "SD|P|A4|1\r\nPT|567|1440|Hi|0|0|L|0\r\nPSM|62|28.9|Label\r\n"
    try:
        Script().psm(width=62.25, height=29, form="L")
        raise AssertionError("62.25 mm was taken")
    except ValueError as refused:
        assert "at most one decimal" in str(refused)
    assert error("No such invoice", "Call us") == "ERROR|No such invoice|Call us"


@unittest.skipUnless(RENDER, "ZARN_RENDER not set")
def test_measure_asks_zarn_render_for_a_wrapped_texts_height():
    one = measure("DejaVu Sans", 10, 100000, "word")
    many = measure("DejaVu Sans", 10, 1500, " ".join(["word"] * 20))
    assert one > 0 and many > 3 * one, (one, many)
