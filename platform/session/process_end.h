#pragma once

// Ends the process with `status` at once, once what the program must leave behind is
// written: its settings, the clipboard handed over, C's buffered output (which this
// flushes). Nothing else is torn down, and nothing waits: worker threads may still be
// decoding or reading a file from a stalled network share, and the process ends under
// them. Built with AddressSanitizer, the leak check runs first, as it would at exit.
//
// On Windows the process also ends without unloading its DLLs: MinGW's libstdc++ runs the
// main thread's thread_local destructors when it unloads, and winpthreads may then wait for
// a lock that a thread ended by the process's exit still held, so that the exit never ends.
[[noreturn]] void EndProcess(int status);
