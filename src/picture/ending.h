// The end of a program stopped by a signal while a picture may be under way:
// the unfinished picture removed, then the death the signal asks for, with
// no library torn down under a thread that still uses it.
#pragma once

// Before any other thread starts: blocks, in this thread and every thread
// started from it, each signal whose default action ends the process, and
// takes them on a thread of its own, which removes the unfinished picture,
// calls last_words (which must be safe in a signal handler) when given, and
// ends the process by that signal. The signals of faults are left to
// take_fault_signals.
void end_on_signals(void (*last_words)() = nullptr);

// Once the libraries that install handlers of their own have started: the
// signals of faults (SIGSEGV, SIGABRT, ...), when sent by another process or
// by abort, end the process the same way; a real fault still goes to the
// handler it had.
void take_fault_signals();
