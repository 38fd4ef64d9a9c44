#pragma once

#include "common/Text.h"

#include <cstdint>
#include <exception>
#include <string>

// The one run-time error of the program: a number and a description, as the
// user sees them in the unhandled-error report.
class RuntimeError : public std::exception {
public:
    RuntimeError(std::int32_t number, Text description);

    std::int32_t Number() const noexcept { return mNumber; }
    const Text& Description() const noexcept { return mDescription; }
    const char* what() const noexcept override { return mWhat.c_str(); }

    // The unhandled-error report: "Run-time error 'N':", a blank line, the description.
    Text Report() const;
    // Never 0, so that a program ended by the error reports failure.
    int ExitCode() const noexcept { return mNumber != 0 ? mNumber : 1; }

    static RuntimeError Overflow();
    static RuntimeError SubscriptOutOfRange();
    static RuntimeError TypeMismatch();
    static RuntimeError OutOfMemory();
    static RuntimeError LibraryNotFound(const char* library);
    static RuntimeError EntryPointNotFound(const char* function, const char* library);

    // Only inside a catch block: the run-time error that the exception being
    // handled stands for, a failed allocation being "Out of memory". Any other
    // exception is no run-time error and is thrown on.
    static RuntimeError OfCaughtException();
    // Only inside a catch block, where the caller answers with what it has
    // so far: the run-time error is dropped on purpose; any other exception
    // is thrown on.
    static void IgnoreCaughtException();

private:
    std::int32_t mNumber;
    Text mDescription;
    std::string mWhat;
};
