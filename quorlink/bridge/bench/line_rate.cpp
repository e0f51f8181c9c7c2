// The speed in force on a serial line, read from the terminal itself (any
// rate, not only the classic ones). Kept apart: <asm/termbits.h> and
// <termios.h> cannot share a translation unit.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

unsigned LineRate(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return 0;
    termios2 t{};
    const bool ok = ::ioctl(fd, TCGETS2, &t) == 0;
    ::close(fd);
    return ok ? t.c_ospeed : 0;
}
