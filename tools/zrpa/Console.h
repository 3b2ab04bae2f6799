#pragma once
// The few console questions zrpa asks of the operating system.

// True when standard error is a terminal (progress is then updated in place).
bool StandardErrorIsTerminal();
// Standard output and error take bytes as written (no newline translation on Windows).
void UseBinaryOutput();
