/* LD_PRELOAD shim for running Windows programs under Wine against a pseudo-terminal: Wine asks
 * for the modem lines (TIOCMGET) on every serial event wait, a pseudo-terminal refuses with
 * ENOTTY, and Wine then ends WaitCommEvent at once with ERROR_OPERATION_ABORTED. Here a refused
 * TIOCMGET on a terminal reports the lines of a connected modem instead (DSR, CTS, carrier, and
 * DTR and RTS as raised). Any other call, and TIOCMGET on a real port, goes through unchanged.
 * Test support only: scripts/test-windows.sh builds it and preloads it into Wine. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <unistd.h>

int ioctl(int fd, unsigned long request, ...) {
    static int (*real_ioctl)(int, unsigned long, ...);
    if (!real_ioctl) real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    const int result = real_ioctl(fd, request, arg);
    const int error = errno;
    if (result != 0 && request == TIOCMGET && (error == ENOTTY || error == EINVAL) && arg &&
        isatty(fd)) {
        *(int*)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
        return 0;
    }
    errno = error;
    return result;
}
