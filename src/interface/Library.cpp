#include "interface/Library.h"

void LibraryLoad() {}
void LibraryUnload(bool) {}
