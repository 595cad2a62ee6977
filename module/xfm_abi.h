/* Calling conventions and symbol visibility of the module's binary interface.
 *
 * The host is a 32-bit Windows program: its entry points and host functions use
 * the Windows API convention (the called function removes its arguments), except
 * for the end notification, which uses the C convention. On other targets both
 * macros vanish and the platform's only convention applies. */
#ifndef TESMORA_MODULE_XFM_ABI_H
#define TESMORA_MODULE_XFM_ABI_H

#if defined(_WIN32)
#define XFM_WINAPI __stdcall
#define XFM_CDECL __cdecl
#else
#define XFM_WINAPI
#define XFM_CDECL
#endif

/* Marks the five entry points. On Windows the export list in resources/ names
 * them with their ordinals; elsewhere everything else is built hidden and only
 * these are made visible. */
#if defined(_WIN32)
#define XFM_EXPORT
#else
#define XFM_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define XFM_EXTERN_C extern "C"
#else
#define XFM_EXTERN_C
#endif

#endif
