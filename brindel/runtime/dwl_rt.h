/* The run-time services the engine is written against: RS-232 ports, files,
 * delays and the time of day. Thin functions over the platform layer.
 *
 * Ports are numbered as the engine numbers them (n names "COMn"). Every call
 * returns 0 (or a count) on success and a negative RT_ERR_* value on failure.
 * A read that gets no byte within the port's time-out returns RT_ERR_TIMEOUT;
 * a byte read is always 0..255, so a time-out can never be mistaken for data.
 */
#ifndef BRINDEL_DWL_RT_H
#define BRINDEL_DWL_RT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    RT_ERR_NOT_OPEN = -3,
    RT_ERR_OPEN = -2,
    RT_ERR_IO = -1,
    RT_ERR_BAD_PORT = -4,
    RT_ERR_SETTINGS = -5,
    RT_ERR_TIMEOUT = -99
};

enum { RT_PARITY_NONE = 0, RT_PARITY_ODD = 1, RT_PARITY_EVEN = 2 };

#define RT_MAX_PORT 32

int rt_OpenComConfig(int port, uint32_t baud, int parity, int dataBits, int stopBits, int inQueueSize,
                     int outQueueSize);
int rt_CloseCom(int port);
int rt_SetCTSMode(int port, int on);
int rt_SetXMode(int port, int on);
int rt_FlushInQ(int port);
int rt_FlushOutQ(int port);
int rt_SetDTR(int port, int on);
int rt_SetComTime(int port, double seconds);
/* Writes one byte: 1, or negative. */
int rt_ComWrtByte(int port, uint8_t byte);
/* Writes a buffer: the count written, or negative. */
int rt_ComWrt(int port, const uint8_t* data, size_t length);
/* Reads one byte: 0..255, RT_ERR_TIMEOUT, or another negative error. */
int rt_ComRdByte(int port);
/* Reads up to length bytes, each within the time-out: the count read (less on
 * time-out), or negative on a port error. */
int rt_ComRd(int port, uint8_t* data, size_t length);
/* Reads one byte waiting at most timeoutMs instead of the port time-out. */
int rt_ComRdByteWithin(int port, int timeoutMs);
/* Waits until every written byte has left the output queue, at most
 * timeoutMs: 0, RT_ERR_TIMEOUT, or another negative error. */
int rt_WaitOutQEmpty(int port, int timeoutMs);
int rt_GetInQLen(int port);
int rt_GetOutQLen(int port);
/* The port's read/write time-out in milliseconds (negative when not open). */
int rt_GetComTimeMs(int port);
/* Milliseconds on the clock the port's time-outs are measured with. */
uint32_t rt_ComClockMs(int port);

/* Files. A missing file gives -1 from the size query. */
long rt_GetFileSize(const char* path);
int rt_FileExists(const char* path);

/* Blocking delay in seconds, on the program clock. */
void rt_Delay(double seconds);
/* Seconds counted by the program clock (for elapsed-time figures). */
uint32_t rt_TimeSeconds(void);

#ifdef __cplusplus
}

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace dwlrt {

/* A file opened for the duration of one operation, closed when it goes. */
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline FilePtr OpenFile(const char* path, const char* mode)
{
    return FilePtr(path != nullptr ? std::fopen(path, mode) : nullptr);
}

/* Reads a whole file into text; false when it cannot be opened. */
bool ReadWholeFile(const char* path, std::string& text);

/* One open port. The default implementation is the platform serial port;
 * tests install another (a phone emulator in-process). */
class ComBackend {
public:
    virtual ~ComBackend() = default;
    virtual int Configure(uint32_t baud, int parity, int dataBits, int stopBits) = 0;
    virtual int FlushInput() = 0;
    virtual int FlushOutput() = 0;
    virtual int SetDtr(bool on) = 0;
    /* Waits up to timeoutMs (program time) for input; reads what is there, at
     * most length bytes. 0 on time-out, negative on error. */
    virtual int Read(uint8_t* data, size_t length, int timeoutMs) = 0;
    virtual int Write(const uint8_t* data, size_t length, int timeoutMs) = 0;
    virtual int InputLength() = 0;
    virtual int OutputLength() = 0;
    /* The clock read and write time-outs run on (program milliseconds). */
    virtual uint32_t NowMs();
};

/* Opens port n, or returns null when it cannot be opened. */
using ComFactory = std::function<std::unique_ptr<ComBackend>(int port)>;

/* Replaces how ports are opened (null restores the platform serial port).
 * Closes every open port first. */
void SetComFactoryForTesting(ComFactory factory);

}  // namespace dwlrt
#endif

#endif
