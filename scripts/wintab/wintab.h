/* Stands in for the tablet header that Debian's Qt source leaves out: Wine's
 * own wintab.h (from Debian's libwine-dev, copied beside this file as
 * wine-wintab.h by scripts/test-windows.sh) with the three macros it and Qt's
 * tablet code take from headers MinGW does not have. */
#ifndef TRACKFOLD_WINTAB_WRAPPER_H
#define TRACKFOLD_WINTAB_WRAPPER_H

#include <windows.h>

#ifndef WINELIB_NAME_AW
#ifdef UNICODE
#define WINELIB_NAME_AW(name) name##W
#else
#define WINELIB_NAME_AW(name) name##A
#endif
#endif

#ifndef DECL_WINELIB_TYPE_AW
#define DECL_WINELIB_TYPE_AW(type) typedef WINELIB_NAME_AW(type) type;
#endif

#ifndef API
#define API WINAPI
#endif

#include "wine-wintab.h"

#endif
