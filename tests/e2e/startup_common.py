"""Steps of the start-up end-to-end tests: the failure boxes (found, pictured, compared with
the reference that tests/app's kv_failure_box.exe draws, closed) and the programs of tests/app.
Everything not particular to start-up lives in kvtest."""


def helper_exe(env, name):
    return env.test_program("app", name)


def box_window(env, proc, timeout=40):
    """The one visible window of proc: a failure box has no title."""
    xids = env.wait_for(lambda: env.windows_of(proc), timeout, what="a window of pid %d" % proc.pid)
    assert len(xids) == 1, "expected one window, got %s" % xids
    assert env.window_title(xids[0]) == "", "the box window has a title: %r" % env.window_title(xids[0])
    return xids[0]


def box_picture(env, xid, name):
    """Screenshot of the box, once its picture has settled (pointer parked), as
    (w, h, rgb bytes). The pointer first passes over the box's empty lower left corner:
    a box that opens where an earlier one was closed has been seen to show its close
    button's hover look with the pointer parked far away (the box drops a hover look only
    when it sees the pointer move inside it, not when the pointer jumps out).
    """
    _, _, w, h = env.window_geometry(xid)
    env.move_pointer_in(xid, 10, h - 10)
    return env.picture(env.wait_painted(xid, name))


def close_box(env, xid):
    """Clicks the box's close button (the top-right 40 x 17 frame, one pixel down). The
    pointer passes over the box's empty lower left corner first: a box that another window
    (a reference box) covered may have seen the pointer arrive on its button, and keeps that
    look until the pointer moves inside it again."""
    x, y, w, h = env.window_geometry(xid)
    env.click_button(xid, w - 20, 9, rest=(10, h - 10))
    # A box that opens later under the pointer would keep its close button's hover look.
    env.park_pointer()


def reference_box(env, kind, name, args=()):
    """The picture of the failure box 'kind' drawn by the stand-in program with the
    texts the installer must show; the stand-in is closed again."""
    proc = env.start(helper_exe(env, "kv_failure_box.exe"), [kind] + list(args))
    xid = box_window(env, proc)
    pic = box_picture(env, xid, name)
    close_box(env, xid)
    assert env.wait_exit(proc, 20) == 0
    return pic


def assert_same_picture(a, b, what):
    assert a[:2] == b[:2], "%s: box size %dx%d, expected %dx%d" % (what, a[0], a[1], b[0], b[1])
    if a[2] != b[2]:
        diff = sum(1 for i in range(0, len(a[2]), 3) if a[2][i:i + 3] != b[2][i:i + 3])
        raise AssertionError("%s: %d pixels differ from the expected box" % (what, diff))
