// Load and unload of the shared library on POSIX: the constructor and destructor of the object file.
#include "interface/Library.h"

__attribute__((constructor)) static void ZrLibraryLoad() { LibraryLoad(); }
__attribute__((destructor)) static void ZrLibraryUnload() { LibraryUnload(); }
