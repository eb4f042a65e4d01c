/*
 * Extra controls of the stand-in host runtime library (libkorvan.so,
 * KORVAN.dll built by this project), for hosts and tests that use it in
 * place of the real host's library.
 */
#ifndef PLCLINK_KORVAN_STANDIN_H
#define PLCLINK_KORVAN_STANDIN_H

#include "plclink/korvan.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sends log lines to the file at `path` (appended), or to standard error
 * when `path` is NULL. Returns 0, or -1 when the file cannot be opened. */
KORVAN_API int KorStandinLogTo(const char* path);

/* Hands every log line, formatted and without a line end, to `sink` instead
 * of writing it (NULL: back to the file or standard error). This is how a
 * host on Windows, where the module's err() is bound to KORVAN.dll, sees the
 * module's lines. */
typedef void (*KorStandinLineSink)(int category, const char* line);
KORVAN_API void KorStandinSendLinesTo(KorStandinLineSink sink);

/* The version number KorGetKorvanVer reports (default 820). */
KORVAN_API void KorStandinSetVersion(unsigned short version);

/* Makes KorMkClient refuse every registration with `status` (0 = grant). */
KORVAN_API void KorStandinRefuse(unsigned short status);

#ifdef __cplusplus
}
#endif

#endif
