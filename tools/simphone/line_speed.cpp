// Kept apart: the kernel's termios2 header cannot share a unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace simphone {

int ReadLineSpeed(int fd) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return 0;
    return static_cast<int>(t.c_ospeed);
}

}  // namespace simphone
