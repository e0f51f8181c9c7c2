/* The debug trace: while it is open every engine step, byte and buffer is
 * appended to it as a line. Process-wide and safe to open, close and write
 * from any thread; the sink is called under a lock (it must not call back
 * into the trace) and never after dwl17_1CloseDebugTrace returns. */
#ifndef BRINDEL_DWL17DEBUG_H
#define BRINDEL_DWL17DEBUG_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Receives each trace line (without line break). */
typedef void (*T_TraceSink)(const char* line, void* user);

/* -1 while the trace is closed (read and written atomically). */
extern int v_PanelDebug;

void dwl17_0OpenDebugTrace(T_TraceSink sink, void* user);
void dwl17_1CloseDebugTrace(void);
/* 0 keeps the calling thread's steps out of the trace, 1 lets them in again. */
void dwl17_5SetThreadTrace(int on);
/* A step message: "%s ". */
void dwl17_2TraceStep(const char* message);
/* One byte: "%s %02X" with ">" for sent and "<" for received. */
void dwl17_3TraceByte(const char* label, uint8_t byte);
/* A buffer: the label, up to ten bytes as " %02X", then "...   Length(%d)". */
void dwl17_4TraceBuffer(const char* label, const uint8_t* data, size_t length);

#ifdef __cplusplus
}
#endif

#endif
