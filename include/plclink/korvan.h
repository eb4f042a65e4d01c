/*
 * The host runtime library (KORVAN) as the driver module calls it: the host's
 * log and the registration of named clients. The module leaves these four
 * functions undefined; they are bound when it is loaded (KORVAN.dll on
 * Windows, libkorvan.so or the host executable itself on Linux).
 */
#ifndef PLCLINK_KORVAN_H
#define PLCLINK_KORVAN_H

/* On Windows err() is cdecl (it is variadic). The module declares them without
 * dllimport: it reaches KORVAN.dll through the import library's thunks, and a
 * program that defines them itself (the unit tests) links its own. */
#if defined(_WIN32) && defined(KORVAN_BUILDING)
#define KORVAN_API __declspec(dllexport)
#elif defined(_WIN32)
#define KORVAN_API
#else
#define KORVAN_API __attribute__((visibility("default")))
#endif

/* The module calls KorMkClient, KorGetKorvanVer and KorRmClient as cdecl
 * functions, yet works the same when a host's library defines them stdcall
 * (callee removes the arguments) on 32-bit Windows. KORVAN_STDCALL builds
 * the stand-in library that way, to test just that. */
#if defined(_WIN32) && defined(KORVAN_STDCALL)
#define KORVAN_CALL __stdcall
#else
#define KORVAN_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Writes one line to the host's log. Category 32 for the driver's lines,
 * 0 for its trace lines. The format carries no line end. */
KORVAN_API int err(int category, const char* format, ...);

/* Registers a named client; 0 = registered and *clientIdOut set. */
KORVAN_API unsigned short KORVAN_CALL KorMkClient(const char* clientName, int a, int b,
                                      unsigned char* clientIdOut);

/* Reports the host's version number through *version. */
KORVAN_API int KORVAN_CALL KorGetKorvanVer(unsigned char clientId, unsigned short* version,
                               char* info100);

KORVAN_API void KORVAN_CALL KorRmClient(unsigned char clientId);

#ifdef __cplusplus
}
#endif

#endif
