/* The records the host and the module exchange, the host functions, and the
 * module's five entry points.
 *
 * The layouts are fixed by the 32-bit host: little-endian, 32-bit pointers, the
 * offsets asserted below. A build for another pointer width keeps every field
 * and its order; only the offsets after the first pointer move. */
#ifndef TESMORA_MODULE_XFM_H
#define TESMORA_MODULE_XFM_H

#include <stddef.h>
#include <stdint.h>

#include "xfm_abi.h"

#ifdef __cplusplus
#define XFM_STATIC_ASSERT(condition, message) static_assert(condition, message)
extern "C" {
#else
#define XFM_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

typedef struct XfmContext XfmContext;

/* Copies byteCount sample bytes of the waveform, starting byteOffset bytes into
 * it, into buffer. Only the low 16 bits of the result count: 0 means the bytes
 * were delivered, anything else is a failure. */
typedef uint32_t(XFM_WINAPI* XfmReadData)(void* buffer, uint32_t byteOffset, uint32_t byteCount);

/* Takes byteCount sample bytes from buffer back into the waveform at byteOffset.
 * The module does not look at the result. */
typedef uint32_t(XFM_WINAPI* XfmWriteData)(const void* buffer, uint32_t byteOffset, uint32_t byteCount);

/* Tells the host how far the work has come: position out of total samples. The
 * module does not look at the result. */
typedef uint32_t(XFM_WINAPI* XfmReportProgress)(uint32_t position, uint32_t total);

/* Shows a status text (NUL-terminated); value is always 0. */
typedef void(XFM_WINAPI* XfmShowStatus)(const char* text, uint32_t value);

/* Processing has ended; the host gets its own record back. C convention. */
typedef void(XFM_CDECL* XfmEndProcessing)(XfmContext* context);

/* What the host wants done: the sample format, the selection and the host's
 * functions. The record belongs to the host; the module only reads it. */
struct XfmContext {
    uint16_t channels;                /* channels in the data handed over; the module works on 1 */
    uint16_t bitsPerSample;           /* sample width in bits; the module works on 16 */
    uint16_t frameSize;               /* bytes per sample frame, unsigned */
    uint8_t hostFieldsA[10];          /* the host's own, never read */
    uint32_t selectionStart;          /* index of the first selected sample */
    uint32_t selectionEnd;            /* index of the last selected sample, included */
    uint8_t hostFieldsB[12];          /* the host's own, never read */
    XfmReadData readData;             /* always present */
    XfmWriteData writeData;           /* always present */
    volatile int32_t* cancelFlag;     /* nonzero: the user asks to stop; read, never written */
    XfmReportProgress reportProgress; /* may be null */
    XfmShowStatus showStatus;         /* may be null */
    XfmEndProcessing endProcessing;   /* may be null */
};

/* The module's description, filled in by QueryXfm. The module writes the texts
 * with their terminators and the three numbers, and no other byte. The meaning
 * of the numbers and of the two trailing texts belongs to the host. */
typedef struct XfmQuery {
    char name[40];        /* the transform's name */
    char copyright[80];   /* copyright notice */
    char description[70]; /* one-line description */
    uint16_t fixedWord;   /* always 12 */
    uint32_t fixedLongA;  /* always 17 */
    uint32_t fixedLongB;  /* always 0 */
    char extraTextA[48];  /* always empty */
    char extraTextB[48];  /* always empty; the host's width is not known, only byte 0 is written */
} XfmQuery;

/* The five entry points, exported by name with fixed ordinals 2 to 6. */
XFM_EXPORT uint16_t XFM_WINAPI QueryXfm(XfmQuery* query);
XFM_EXPORT int32_t XFM_WINAPI XfmInit(uint32_t unused);
XFM_EXPORT int32_t XFM_WINAPI XfmSetup(void* ownerWindow, uint32_t unused, const XfmContext* context);
XFM_EXPORT int32_t XFM_WINAPI XfmDo(XfmContext* context);
XFM_EXPORT int32_t XFM_WINAPI XfmDestroy(uint32_t unused);

/* The host's 32-bit layout. */
#if UINTPTR_MAX == 0xFFFFFFFFu
XFM_STATIC_ASSERT(offsetof(XfmContext, channels) == 0, "channels at 0");
XFM_STATIC_ASSERT(offsetof(XfmContext, bitsPerSample) == 2, "bitsPerSample at 2");
XFM_STATIC_ASSERT(offsetof(XfmContext, frameSize) == 4, "frameSize at 4");
XFM_STATIC_ASSERT(offsetof(XfmContext, selectionStart) == 16, "selectionStart at 16");
XFM_STATIC_ASSERT(offsetof(XfmContext, selectionEnd) == 20, "selectionEnd at 20");
XFM_STATIC_ASSERT(offsetof(XfmContext, readData) == 36, "readData at 36");
XFM_STATIC_ASSERT(offsetof(XfmContext, writeData) == 40, "writeData at 40");
XFM_STATIC_ASSERT(offsetof(XfmContext, cancelFlag) == 44, "cancelFlag at 44");
XFM_STATIC_ASSERT(offsetof(XfmContext, reportProgress) == 48, "reportProgress at 48");
XFM_STATIC_ASSERT(offsetof(XfmContext, showStatus) == 52, "showStatus at 52");
XFM_STATIC_ASSERT(offsetof(XfmContext, endProcessing) == 56, "endProcessing at 56");
XFM_STATIC_ASSERT(sizeof(XfmContext) == 60, "XfmContext is 60 bytes");
#endif

/* No pointers: the same on every target. */
XFM_STATIC_ASSERT(offsetof(XfmQuery, name) == 0, "name at 0");
XFM_STATIC_ASSERT(offsetof(XfmQuery, copyright) == 40, "copyright at 40");
XFM_STATIC_ASSERT(offsetof(XfmQuery, description) == 120, "description at 120");
XFM_STATIC_ASSERT(offsetof(XfmQuery, fixedWord) == 190, "fixedWord at 190");
XFM_STATIC_ASSERT(offsetof(XfmQuery, fixedLongA) == 192, "fixedLongA at 192");
XFM_STATIC_ASSERT(offsetof(XfmQuery, fixedLongB) == 196, "fixedLongB at 196");
XFM_STATIC_ASSERT(offsetof(XfmQuery, extraTextA) == 200, "extraTextA at 200");
XFM_STATIC_ASSERT(offsetof(XfmQuery, extraTextB) == 248, "extraTextB at 248");
XFM_STATIC_ASSERT(sizeof(XfmQuery) == 296, "XfmQuery is 296 bytes");

#ifdef __cplusplus
}
#endif

#endif
