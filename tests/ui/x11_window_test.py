"""The main window on a real X server (Xvfb): tabulor without arguments opens its window, the
preview grid is painted in it and takes real clicks and keys (Ctrl+A, Ctrl+C put the empty
preview on the X clipboard for other programs, read back with xclip), and the window closes
as a window manager closes it: the program ends with status 0 after saving its layout."""
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from x11_session import run_or_skip  # noqa: E402

TABULOR = os.environ["TABULOR_EXE"]
GRID_LINE = (0xC0, 0xC0, 0xC0)
SESSION = None


def first_grid_line(picture, least=60):
    """(x, y) where the topmost horizontal grid line of at least `least` pixels begins: the
    bottom line of the first row of cells under the headers. None while there is none."""
    for y in range(picture.height):
        run = 0
        for x in range(picture.width):
            run = run + 1 if picture.pixel(x, y) == GRID_LINE else 0
            if run == least:
                return x - least + 1, y
    return None


class MainWindowOnX11(unittest.TestCase):
    def test_opens_shows_the_preview_grid_and_closes_cleanly(self):
        process = SESSION.start([TABULOR])
        window = SESSION.window_of(process)
        name = subprocess.run(["xdotool", "getwindowname", str(window)], env=SESSION.env,
                              capture_output=True, text=True).stdout.strip()
        self.assertTrue(name.startswith("Tabulor"), name)

        # The first paint may come a moment after the window is mapped.
        line = None
        deadline = time.monotonic() + 20
        while line is None and time.monotonic() < deadline:
            line = first_grid_line(SESSION.picture(window))
            if line is None:
                time.sleep(0.2)
        self.assertIsNotNone(line, "no preview grid painted in the window")

        # A click into the first cell, then select all and copy: three rows of five empty
        # cells, each selected empty cell copied as a blank.
        x, y = line
        SESSION.xdotool("windowfocus", "--sync", window, "mousemove", "--window", window, x + 20,
                        y - 8, "click", 1, "sleep", 0.3, "key", "ctrl+a", "sleep", 0.2, "key",
                        "ctrl+c", "sleep", 0.3)
        clipboard = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=SESSION.env,
                                   capture_output=True, text=True, timeout=10)
        self.assertEqual(clipboard.stdout, "\n".join([" \t \t \t \t "] * 3), clipboard.stderr)

        SESSION.close_window(window)
        status, out, err = SESSION.finish(process)
        self.assertEqual(status, 0, err)
        settings = os.path.join(SESSION.home, ".config", "Orvendi", "Tabulor.conf")
        self.assertTrue(os.path.exists(settings), "the window's layout was not saved on close")


def main(session):
    global SESSION
    SESSION = session
    result = unittest.main(exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(run_or_skip(main, tools=[("xclip", "xclip")]))
