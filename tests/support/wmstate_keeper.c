/* Keeps the window-manager state of the top-level windows of a test display, and does
 * nothing else a window manager does: no frames, no placement, no focus.
 *
 * Wine waits for a window manager to confirm that a window it showed is in its normal
 * state before it hides the window again, and gives up after two seconds. The test
 * displays run no window manager, so every dialog or box shown and hidden again cost
 * those two seconds. scripts/wine-run starts this native program beside Xvfb; it sets
 * the state a window manager would set when a window is mapped or withdrawn, and ends
 * with its display. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

/* A window may be gone before its state is set: that is no error here. */
static int ignore_error(Display *display, XErrorEvent *error) {
  (void)display;
  (void)error;
  return 0;
}

static void set_state(Display *display, Atom wm_state, Window w, long state) {
  long data[2] = {state, None};
  XChangeProperty(display, w, wm_state, wm_state, 32, PropModeReplace, (unsigned char *)data, 2);
}

int main(void) {
  Display *display = XOpenDisplay(NULL);
  if (!display) return 1;
  XSetErrorHandler(ignore_error);
  Window root = DefaultRootWindow(display);
  Atom wm_state = XInternAtom(display, "WM_STATE", False);
  XSelectInput(display, root, SubstructureNotifyMask);

  /* Windows shown before this started. */
  Window parent, *children = NULL;
  unsigned int count = 0;
  if (XQueryTree(display, root, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable && !a.override_redirect)
        set_state(display, wm_state, children[i], NormalState);
    }
    if (children) XFree(children);
  }
  XFlush(display);

  for (;;) {
    XEvent e;
    XNextEvent(display, &e); /* ends the program when the display goes */
    if (e.type == MapNotify && e.xmap.event == root && !e.xmap.override_redirect)
      set_state(display, wm_state, e.xmap.window, NormalState);
    else if (e.type == UnmapNotify && e.xunmap.event == root)
      set_state(display, wm_state, e.xunmap.window, WithdrawnState);
    else
      continue;
    XFlush(display);
  }
}
