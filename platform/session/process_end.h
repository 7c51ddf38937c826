#pragma once

// Ends the process with `status` once everything the program owns has been torn down (its
// QApplication destroyed, its files written). On Windows the process is ended without
// unloading its DLLs: MinGW's libstdc++ runs the main thread's thread_local destructors
// when it unloads, and winpthreads may then wait for a lock that a thread ended by the
// process's exit still held, so that the exit never ends. Nothing of ours runs there.
[[noreturn]] void EndProcess(int status);
