"""A private X server for tests that need real X events: Xvfb on a free display, programs
started on it with Qt's xcb platform and a private home, pointer and keys sent with xdotool,
windows closed the way a window manager closes them (WM_DELETE_WINDOW), and pictures of a
window read with xwd. Where the server cannot start, X11Session raises Unavailable and the
test exits with SKIP (CTest's SKIP_RETURN_CODE) after saying why."""
import ctypes
import ctypes.util
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77


class Unavailable(Exception):
    pass


def run_or_skip(main, tools=()):
    """Runs main(session) with a fresh session; exits SKIP when there can be none. `tools`:
    further (program, Debian package) pairs the test needs."""
    try:
        for tool, package in tools:
            if not shutil.which(tool):
                raise Unavailable(f"{tool} is not installed (Debian package {package})")
        session = X11Session()
    except Unavailable as why:
        print(f"SKIP: no X server for this test: {why}", flush=True)
        sys.exit(SKIP)
    try:
        return main(session)
    finally:
        session.close()


class Picture:
    """The pixels of a window as (r, g, b) rows."""

    def __init__(self, width, height, rows):
        self.width, self.height, self.rows = width, height, rows

    def pixel(self, x, y):
        return self.rows[y][x]


class X11Session:
    def __init__(self, width=1280, height=1024):
        for tool, package in (("Xvfb", "xvfb"), ("xdotool", "xdotool"), ("xwd", "x11-apps")):
            if not shutil.which(tool):
                raise Unavailable(f"{tool} is not installed (Debian package {package})")
        self._folder = tempfile.TemporaryDirectory(prefix="tabulor-x11-")
        root = self._folder.name
        self._log_path = os.path.join(root, "xvfb.log")
        read_end, write_end = os.pipe()
        with open(self._log_path, "wb") as log:
            # -displayfd: the server picks a free display and writes its number once it
            # accepts clients, so there is neither a guessed number nor a wait by time.
            self._server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 0.2)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip().isdigit():
            self._stop_server()
            with open(self._log_path, errors="replace") as log:
                reason = log.read().strip().splitlines()
            self._folder.cleanup()
            raise Unavailable("Xvfb did not start" + (f": {reason[-1]}" if reason else ""))
        self.display = ":" + number.strip().decode()

        home = os.path.join(root, "home")
        runtime = os.path.join(root, "runtime")
        os.makedirs(os.path.join(home, ".config"))
        os.makedirs(runtime, mode=0o700)
        self.home = home
        self.env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb", HOME=home,
                        XDG_CONFIG_HOME=os.path.join(home, ".config"),
                        XDG_RUNTIME_DIR=runtime)
        self._clients = []

    # ---- Programs and their windows.

    def start(self, argv, cwd=None):
        """Starts a program on the server; its stdout and stderr are collected as text."""
        process = subprocess.Popen(argv, env=self.env, cwd=cwd or self.home,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
        self._clients.append(process)
        return process

    def window_of(self, process, timeout=20):
        """The id of the visible top-level window the process shows, once it shows one."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if process.poll() is not None:
                out, err = process.communicate()
                raise AssertionError(f"{process.args[0]} ended ({process.returncode}) before "
                                     f"showing a window:\n{err}")
            found = subprocess.run(
                ["xdotool", "search", "--all", "--onlyvisible", "--pid", str(process.pid),
                 "--name", "."], env=self.env, capture_output=True, text=True)
            ids = found.stdout.split()
            if ids:
                return int(ids[0])
            time.sleep(0.1)
        raise AssertionError(f"{process.args[0]} showed no window within {timeout} s")

    def finish(self, process, timeout=20):
        """Waits for the process to end: (exit status, stdout, stderr)."""
        try:
            out, err = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            out, err = process.communicate()
            raise AssertionError(f"{process.args[0]} did not end within {timeout} s:\n{err}")
        return process.returncode, out, err

    # ---- Input and windows.

    def xdotool(self, *args):
        """One xdotool command line; commands chain ("mousemove 1 2 sleep 0.1 click 1")."""
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True)

    def close_window(self, window):
        """Asks the window to close, as a window manager's close button does."""
        xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XInternAtom.restype = ctypes.c_ulong
        xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                    ctypes.c_void_p]
        xlib.XFlush.argtypes = [ctypes.c_void_p]
        xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class Event(ctypes.Union):
            _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]

        display = xlib.XOpenDisplay(self.display.encode())
        if not display:
            raise AssertionError(f"cannot open display {self.display}")
        try:
            event = Event()
            event.client.type = 33  # ClientMessage
            event.client.window = window
            event.client.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
            event.client.format = 32
            event.client.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
            event.client.data[1] = 0  # CurrentTime
            xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
            xlib.XFlush(display)
        finally:
            xlib.XCloseDisplay(display)

    def picture(self, window):
        """The window's pixels, read with xwd (a 24- or 32-bit TrueColor ZPixmap)."""
        data = subprocess.run(["xwd", "-silent", "-id", str(window)], env=self.env,
                              capture_output=True, check=True).stdout
        fields = [int.from_bytes(data[i:i + 4], "big") for i in range(0, 100, 4)]
        header_size, width, height = fields[0], fields[4], fields[5]
        byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
        colour_count = fields[19]
        if bits_per_pixel != 32:
            raise AssertionError(f"xwd gave {bits_per_pixel} bits per pixel, not 32")
        start = header_size + colour_count * 12
        rows = []
        for y in range(height):
            line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * 4]
            if byte_order == 0:  # LSBFirst: B G R x
                rows.append([(line[i + 2], line[i + 1], line[i]) for i in range(0, width * 4, 4)])
            else:  # MSBFirst: x R G B
                rows.append([(line[i + 1], line[i + 2], line[i + 3])
                             for i in range(0, width * 4, 4)])
        return Picture(width, height, rows)

    # ---- The end.

    def close(self):
        for process in self._clients:
            if process.poll() is None:
                process.kill()
                process.communicate()
        self._stop_server()
        self._folder.cleanup()

    def _stop_server(self):
        if self._server.poll() is None:
            self._server.terminate()
            try:
                self._server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._server.kill()
                self._server.wait()
