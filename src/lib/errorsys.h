#pragma once
// The handler of fatal run-time errors (a missing table or index file, a damaged file, a missing field, a
// failed creation, a setting that nobody created): a box with Quit, Retry where the operation can be
// repeated and Default where it can be skipped. Quit writes the error and the chain of procedures on the
// screen and ends the process with status 1.
#include "platform/core/error.h"

struct Context;

// Thrown to end the process from inside a flow; main() returns the status after closing the console.
struct ProcessExit {
    int status;
};

enum class ErrorChoice { Retry, Default };

// Shows the box and waits for a choice. Quit (always offered) reports and throws ProcessExit{1}.
ErrorChoice runtimeErrorBox(Context& ctx, const core::RuntimeError& error, bool canRetry, bool canDefault);

// Writes the error and the procedure chain (innermost first) on a cleared screen.
void reportRuntimeError(Context& ctx, const core::RuntimeError& error);

// Runs `operation`; on a fatal run-time error shows the box: Retry runs it again, Default returns false.
template <class Operation>
bool guarded(Context& ctx, Operation&& operation, bool canDefault = true) {
    for (;;) {
        try {
            operation();
            return true;
        } catch (const core::RuntimeError& error) {
            if (runtimeErrorBox(ctx, error, true, canDefault) == ErrorChoice::Default) return false;
        }
    }
}
