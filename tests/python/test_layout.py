"""The ctypes records of examples/python/traxis.py against the C compiler's layout of tx.h.

    python3 test_layout.py LAYOUT_PROGRAM     (the program built from layout.c)
"""
import ctypes
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python"))
import traxis  # noqa: E402  (needs no library to import)

LAYOUT_PROGRAM = None


class Layout(unittest.TestCase):
    def test_records_match_the_header(self):
        out = subprocess.run([LAYOUT_PROGRAM], check=True, capture_output=True, text=True).stdout
        records = {"Traxis_t": traxis.Traxis_t, "TraxisBif_t": traxis.TraxisBif_t}
        lines = [line.split() for line in out.splitlines()]
        self.assertGreater(len(lines), 50)
        for key, value in lines:
            record, field = key.split(".")
            cls = records[record]
            with self.subTest(field=key):
                got = ctypes.sizeof(cls) if field == "sizeof" else getattr(cls, field).offset
                self.assertEqual(got, int(value))
        # every mirrored field of the handle is checked, so none can be missing from layout.c
        checked = {key.split(".")[1] for key, _ in lines if key.startswith("Traxis_t.")}
        self.assertEqual(checked - {"sizeof"}, {name for name, _ in traxis.Traxis_t._fields_})


if __name__ == "__main__":
    LAYOUT_PROGRAM = sys.argv.pop(1)
    unittest.main()
