"""The disk-space message box under real X input: Enter, Esc and Alt+F4 keep it open,
pressing its background and moving drags it by exactly the pointer's way, and the close
button ends it with 0. Its screenshot is kept as artifacts/msgbox_disk.png."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kvtest  # noqa: E402


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=15)


def drag_screen(x0, y0, dx, dy, steps=10):
    xdotool("mousemove", "--sync", x0, y0)
    time.sleep(0.2)
    xdotool("mousedown", 1)
    time.sleep(0.2)
    for i in range(1, steps + 1):
        xdotool("mousemove", x0 + dx * i // steps, y0 + dy * i // steps)
        time.sleep(0.05)
    time.sleep(0.2)
    xdotool("mouseup", 1)
    time.sleep(0.3)


def main():
    demo = os.environ["KV_MSGBOX_DEMO"]
    with kvtest.Env() as env:
        log_win = "C:\\kvtest\\msgbox_commands.txt"
        log_host = env.host_path(log_win)
        if os.path.exists(log_host):
            os.remove(log_host)
        proc = env.start(demo, [log_win])
        wins = env.wait_for(lambda: env.windows_of(proc), 60, what="the message box window")
        xid = wins[0]
        time.sleep(1.0)  # first paint
        x, y, w, h = env.window_geometry(xid)
        kvtest.log("box at %d,%d size %dx%d" % (x, y, w, h))
        assert w > 300 and h > 100, (w, h)
        shot = env.screenshot("msgbox_disk.png", xid)

        # The title strip comes from the skin's banner and the body from its light area:
        # they differ; the close button's frame 0 sits at the right end of the strip.
        strip = env.pixel(shot, 8, 8)
        body = env.pixel(shot, 20, h - 10)
        assert strip != body, (strip, body)
        # Some dark text pixels inside the first line's area (50, 40 onwards).
        dark = sum(1 for px in range(50, w - 50, 2) for py in range(40, 56)
                   if sum(env.pixel(shot, px, py)) < 3 * 150)
        assert dark > 20, "no text drawn in the first line (%d dark pixels)" % dark

        for keys in ("Return", "Escape", "alt+F4"):
            env.key(xid, keys)
            time.sleep(0.5)
            assert proc.poll() is None, "%s closed the box (exit %s)" % (keys, proc.returncode)
            # A window search can come back empty while Wine changes its X windows: retry.
            env.wait_for(lambda: env.windows_of(proc), 3, what="the box after %s" % keys)
            assert proc.poll() is None, "%s closed the box (exit %s)" % (keys, proc.returncode)

        # Drag by a point of the body (not the close button), in screen coordinates: the
        # window moves under the pointer while it is dragged.
        drag_screen(x + 20, y + h - 15, 40, 25)
        moved = env.wait_for(lambda: env.window_geometry(xid)[:2] != (x, y) and env.window_geometry(xid),
                             5, what="the box to move")
        assert moved[:2] == (x + 40, y + 25), "dragged by (40, 25) but moved from %s to %s" % ((x, y), moved[:2])
        assert proc.poll() is None

        # The close button: 40 x 17, flush right, one pixel below the top.
        env.click(xid, w - 20, 1 + 8)
        rc = env.wait_exit(proc, 20)
        assert rc == 0, "box ended with %r" % rc

        # The keys did reach the box, as the commands the dialog manager makes of them.
        with open(log_host) as f:
            ids = [int(v) for v in f.read().split()]
        kvtest.log("commands seen by the box: %s" % ids)
        assert ids.count(1) >= 1, "Enter never reached the box: %s" % ids
        assert ids.count(2) >= 2, "Esc and Alt+F4 did not both reach the box: %s" % ids
        assert ids[-1] == 257 and ids.count(257) == 1, ids
    print("ok")


if __name__ == "__main__":
    main()
