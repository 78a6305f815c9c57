// The part of iconv the engine's text conversions use, for Windows, which
// has no iconv: conversions between "UTF-8" and a Windows code page named
// "CPnnnn", done by the system's own MultiByteToWideChar and
// WideCharToMultiByte (iconv_win32.cpp). The single-byte code pages never
// get here (the engine's own tables, code_page_tables.h, hold them on every
// system); the double-byte ones do. Only the Windows build has this folder
// on its include path.
#pragma once

#include <cstddef>

using iconv_t = void*;

// (iconv_t)-1 with errno EINVAL when either name is neither "UTF-8" nor a
// code page Windows knows.
iconv_t iconv_open(const char* to, const char* from);
int iconv_close(iconv_t converter);

// Converts whole characters from *in to *out, advancing both. Stops with -1
// and errno EILSEQ at a character the source does not define or the target
// cannot hold, EINVAL at a character cut off at the end of the input, and
// E2BIG when the output is full; *in then names that character.
std::size_t iconv(iconv_t converter, char** in, std::size_t* in_left, char** out, std::size_t* out_left);
