// Presence check of the library.
#include "varnis.h"

extern "C" int CheckVarnis(void) { return 200; }
