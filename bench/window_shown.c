/* Time from starting a program to its window being mapped on the X server:
 *
 *   quorix_window_shown CAPTION PROGRAM [ARGUMENT...]
 *
 * Watches the root window for MapNotify (there is no window manager under
 * Xvfb, so a top-level window is mapped directly on the root), starts
 * PROGRAM, and prints the milliseconds until a window named CAPTION is
 * mapped; then ends PROGRAM. Exit status 1 when nothing appears in 20 s. */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* A window may be gone by the time its name is asked: ignore that error. */
static int IgnoreErrors(Display* display, XErrorEvent* error) {
  (void)display;
  (void)error;
  return 0;
}

static int Named(Display* display, Window window, const char* caption) {
  char* name = NULL;
  int match = XFetchName(display, window, &name) && name != NULL && strcmp(name, caption) == 0;
  if (name != NULL) XFree(name);
  return match;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s CAPTION PROGRAM [ARGUMENT...]\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "%s: no X display\n", argv[0]);
    return 2;
  }
  XSetErrorHandler(IgnoreErrors);
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);

  const double start = Now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int shown = 0;
  const int fd = ConnectionNumber(display);
  while (!shown && Now() - start < 20000.0) {
    while (!shown && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify) shown = Named(display, event.xmap.window, argv[1]);
    }
    if (shown) break;
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(fd, &ready);
    struct timeval wait = {0, 100000};
    select(fd + 1, &ready, NULL, NULL, &wait);
    if (waitpid(child, NULL, WNOHANG) == child) break;
  }
  const double elapsed = Now() - start;
  kill(child, SIGTERM);
  waitpid(child, NULL, 0);
  XCloseDisplay(display);
  if (!shown) {
    fprintf(stderr, "%s: no window \"%s\" appeared\n", argv[0], argv[1]);
    return 1;
  }
  printf("%.2f\n", elapsed);
  return 0;
}
