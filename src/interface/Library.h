#pragma once
// The library's life: created when the host loads it, torn down when the host unloads it.
// The test programs call these two directly around the parts they exercise.

void LibraryLoad();
// aProcessExiting: the process is ending and other threads are already gone (Windows loader).
void LibraryUnload(bool aProcessExiting = false);
