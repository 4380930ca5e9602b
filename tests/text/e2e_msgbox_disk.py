"""The disk-space message box under real X input: Enter, Esc and Alt+F4 keep it open,
pressing its background and moving drags it by exactly the pointer's way, and the close
button ends it with 0. Its screenshot is kept as artifacts/msgbox_disk.png."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kvtest  # noqa: E402


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
        shot = env.wait_painted(xid, "msgbox_disk.png")
        x, y, w, h = env.window_geometry(xid)
        kvtest.log("box at %d,%d size %dx%d" % (x, y, w, h))
        assert w > 300 and h > 100, (w, h)

        # The title strip comes from the skin's banner and the body from its light area:
        # they differ; the close button's frame 0 sits at the right end of the strip.
        strip = env.pixel(shot, 8, 8)
        body = env.pixel(shot, 20, h - 10)
        assert strip != body, (strip, body)
        # Some dark text pixels inside the first line's area (50, 40 onwards).
        dark = sum(1 for px in range(50, w - 50, 2) for py in range(40, 56)
                   if sum(env.pixel(shot, px, py)) < 3 * 150)
        assert dark > 20, "no text drawn in the first line (%d dark pixels)" % dark

        # The close button: 40 x 17, flush right, one pixel below the top. Its hover look
        # shows that the box has taken each key before; the box's elements have no tick,
        # so the pointer crosses the body first to end an earlier hover look.
        close = (w - 20, 1 + 8)
        body = (20, h - 10)
        for keys in ("Return", "Escape", "alt+F4"):
            env.key(xid, keys)
            env.input_barrier(xid, *close, rest=body)
            assert proc.poll() is None, "%s closed the box (exit %s)" % (keys, proc.returncode)
            assert xid in env.windows_of(proc), "%s hid the box" % keys

        # Drag by a point of the body (not the close button), in screen coordinates: the
        # window moves under the pointer while it is dragged.
        env.drag_screen(x + 20, y + h - 15, 40, 25)
        env.wait_for(lambda: env.window_geometry(xid)[:2] == (x + 40, y + 25), 10,
                     what="the box moved by the pointer's (40, 25) from %s" % ((x, y),))
        assert proc.poll() is None

        env.click_button(xid, *close, rest=body)
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
