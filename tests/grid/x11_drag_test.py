"""Drag-and-drop between two grid_demo programs on a real X server (Xvfb), with real pointer
and key events: a selected range dragged from one window to the other is moved, or copied
with Ctrl; a header refuses the drop and Escape cancels the drag (both grids unchanged); a
drag within one grid moves the cells there; a move that runs off the target's edge leaves
the source whole; typed texts with a comma and non-ASCII letters arrive unchanged; and the
cells dragged over can be dragged back. The cells are read from what each demo prints when
its window is closed (--print-on-exit)."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from x11_session import run_or_skip  # noqa: E402

GRID_DEMO = os.environ["GRID_DEMO"]
ROWS, COLS = 12, 6
# The demo's layout: a 1-pixel frame, column 0 of 35 pixels and row 0 of 20, then the
# grid's default cells of 70 x 18. The two windows stand side by side.
WINDOW_X = {"A": 0, "B": 620}
SESSION = None


def cell_centre(window, row, col):
    x = 1 + (35 // 2 if col == 0 else 35 + 70 * (col - 1) + 35)
    y = 1 + (20 // 2 if row == 0 else 20 + 18 * (row - 1) + 9)
    return WINDOW_X[window] + x, y


def unescape(field):
    out, i = [], 0
    while i < len(field):
        if field[i] == "\\" and i + 1 < len(field):
            out.append({"t": "\t", "n": "\n", "r": "\r"}.get(field[i + 1], field[i + 1]))
            i += 2
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def parse_cells(text):
    return [[unescape(f) for f in line.split("\t")] for line in text.split("\n")[:-1]]


class Demos:
    """Two demos, A on the left and B on the right, with drag-and-drop and editing on."""

    def __init__(self):
        self.processes, self.windows = {}, {}
        for name, x in WINDOW_X.items():
            self.processes[name] = SESSION.start(
                [GRID_DEMO, "--rows", str(ROWS), "--cols", str(COLS), "--editable",
                 "--drag-drop", "--print-on-exit", "-qwindowgeometry", f"600x400+{x}+0"])
        for name, process in self.processes.items():
            self.windows[name] = SESSION.window_of(process)

    def click(self, window, cell, with_shift=False):
        """A click on a cell; the window gets the keyboard focus first, as a window manager
        gives it on a click, so keys pressed during a drag reach the dragging program."""
        x, y = cell_centre(window, *cell)
        args = ["windowfocus", "--sync", self.windows[window], "mousemove", x, y]
        args += ["keydown", "shift", "click", 1, "keyup", "shift"] if with_shift else ["click", 1]
        SESSION.xdotool(*args, "sleep", 0.2)

    def select(self, window, first, last):
        self.click(window, first)
        self.click(window, last, with_shift=True)

    def drag(self, source, start, target, end, keys=None):
        """Presses on `start`, moves to `end` in small steps and releases there. `keys`:
        "ctrl" held from the first move on, "ctrl at drop" pressed over the target just
        before the release, "escape" typed over the target before the release."""
        x0, y0 = cell_centre(source, *start)
        x1, y1 = cell_centre(target, *end)
        steps = max(abs(x1 - x0), abs(y1 - y0)) // 20 + 1
        args = ["mousemove", x0, y0, "sleep", 0.1, "mousedown", 1, "sleep", 0.2]
        if keys == "ctrl":
            args += ["keydown", "ctrl", "sleep", 0.1]
        for i in range(1, steps + 1):
            args += ["mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps,
                     "sleep", 0.02]
        # Rest over the drop cell: the target answers each position before the drop.
        for dx in (-2, 2, 0):
            args += ["mousemove", x1 + dx, y1, "sleep", 0.1]
        if keys == "ctrl at drop":
            args += ["keydown", "ctrl", "sleep", 0.1, "mousemove", x1 + 1, y1, "sleep", 0.2]
        if keys == "escape":
            args += ["key", "Escape", "sleep", 0.2]
        args += ["mouseup", 1, "sleep", 0.3]
        if keys in ("ctrl", "ctrl at drop"):
            args += ["keyup", "ctrl"]
        SESSION.xdotool(*args)

    def close(self, test):
        """Closes both windows: {name: cells}, after checking that both ended cleanly."""
        cells = {}
        for name, window in self.windows.items():
            SESSION.close_window(window)
        for name, process in self.processes.items():
            status, out, err = SESSION.finish(process)
            test.assertEqual(status, 0, f"demo {name} ended with {status}:\n{err}")
            cells[name] = parse_cells(out)
        return cells


def baseline():
    process = SESSION.start([GRID_DEMO, "--rows", str(ROWS), "--cols", str(COLS),
                             "--print-on-exit"])
    SESSION.close_window(SESSION.window_of(process))
    status, out, err = SESSION.finish(process)
    assert status == 0, err
    return parse_cells(out)


def with_cells(table, changes):
    table = [row[:] for row in table]
    for (row, col), text in changes.items():
        table[row][col] = text
    return table


SOURCE_BLOCK = [(2, 2), (2, 3), (3, 2), (3, 3)]


class DragBetweenDemos(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.base = baseline()
        assert len(cls.base) == ROWS and all(len(row) == COLS for row in cls.base), cls.base

    def moved_block(self, to, texts=None):
        """The source block's texts at the cells from `to` on, as far as the grid reaches."""
        texts = texts or self.base
        block = {(to[0] + r - 2, to[1] + c - 2): texts[r][c] for r, c in SOURCE_BLOCK}
        return {(r, c): t for (r, c), t in block.items() if r < ROWS and c < COLS}

    def test_dragging_a_range(self):
        emptied = {cell: "" for cell in SOURCE_BLOCK}
        cases = [
            ("a drag to the other grid moves the cells", "B", (6, 4), None, "move"),
            ("Ctrl held while dragging copies them", "B", (6, 4), "ctrl", "copy"),
            ("Ctrl pressed over the target just before the drop copies them", "B", (6, 4),
             "ctrl at drop", "copy"),
            ("a column header takes no drop", "B", (0, 4), None, "none"),
            ("a row header takes no drop", "B", (6, 0), None, "none"),
            ("Escape cancels the drag", "B", (6, 4), "escape", "none"),
            ("a drag within the grid moves the cells there", "A", (6, 4), None, "move"),
            ("a move onto an overlapping block keeps what it pasted", "A", (3, 3), None,
             "move"),
            ("a move that runs off the other grid's edge copies what fits", "B", (6, 5), None,
             "copy"),
        ]
        for name, target, drop, keys, effect in cases:
            with self.subTest(name):
                demos = Demos()
                # The demo starts with a block selected; a click and a Shift+click select
                # (2, 2)-(3, 3), leaving the focus on (3, 3). The press on (2, 2), a
                # selected cell of a focused grid, prepares the drag.
                demos.select("A", (2, 2), (3, 3))
                demos.drag("A", (2, 2), target, drop, keys)
                cells = demos.close(self)

                expected = {"A": self.base, "B": self.base}
                if effect != "none":
                    pasted = self.moved_block(drop)
                    if effect == "move":
                        expected["A"] = with_cells(self.base, emptied)
                    expected[target] = with_cells(expected[target], pasted)
                self.assertEqual(cells["B"], expected["B"], "grid B")
                self.assertEqual(cells["A"], expected["A"], "grid A")

    def test_typed_texts_arrive_unchanged(self):
        # Typing on the focused cell opens its editor; Return ends it.
        typed = "Smith, Größe €"
        demos = Demos()
        demos.click("A", (2, 2))
        SESSION.xdotool("type", "--delay", 40, typed)
        SESSION.xdotool("key", "Return", "sleep", 0.3)
        demos.select("A", (2, 2), (3, 3))
        demos.drag("A", (2, 2), "B", (6, 4))
        cells = demos.close(self)
        source = with_cells(self.base, {(2, 2): typed})
        self.assertEqual(cells["B"], with_cells(self.base, self.moved_block((6, 4), source)))
        self.assertEqual(cells["A"], with_cells(self.base, {cell: "" for cell in SOURCE_BLOCK}))

    def test_cells_dragged_over_can_be_dragged_back(self):
        demos = Demos()
        demos.select("A", (2, 2), (3, 3))
        demos.drag("A", (2, 2), "B", (6, 4))
        demos.select("B", (6, 4), (7, 5))
        demos.drag("B", (6, 4), "A", (2, 2))
        cells = demos.close(self)
        self.assertEqual(cells["A"], self.base)
        self.assertEqual(
            cells["B"], with_cells(self.base, {(6, 4): "", (6, 5): "", (7, 4): "", (7, 5): ""}))


def main(session):
    global SESSION
    SESSION = session
    result = unittest.main(exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(run_or_skip(main))
