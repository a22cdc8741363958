// Presence check of the companion library.
#include "varnisx.h"

extern "C" VARNISX_API int CheckVarnisX(void) { return 200; }
