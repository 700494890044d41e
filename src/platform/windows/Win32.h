#pragma once
// The one place the Windows backend takes <windows.h> from. Its A/W macros
// would rename the Platform methods of the same names (CreateFile, DeleteFile,
// RemoveDirectory), so they are taken back and the W functions called by name.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateFile
#undef DeleteFile
#undef RemoveDirectory
