// Kept apart: the kernel's termios2 header cannot share a unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace simphone {

int ReadLineSpeed(int fd)
{
    struct termios2 t { };
    if (ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return static_cast<int>(t.c_ospeed);
}

bool SetLineSpeed(int fd, int baud)
{
    struct termios2 t { };
    if (baud <= 0 || ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_cflag &= ~(CBAUD << IBSHIFT);
    t.c_cflag |= BOTHER << IBSHIFT;
    t.c_ospeed = static_cast<speed_t>(baud);
    t.c_ispeed = static_cast<speed_t>(baud);
    return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace simphone
