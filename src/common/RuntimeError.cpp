#include "common/RuntimeError.h"

#include <new>
#include <utility>

RuntimeError::RuntimeError(std::int32_t number, Text description)
    : mNumber(number), mDescription(std::move(description)), mWhat(AsciiOf(mDescription))
{
}

Text RuntimeError::Report() const
{
    return u"Run-time error '" + TextOfAscii(std::to_string(mNumber)) + u"':\r\n\r\n" + mDescription;
}

RuntimeError RuntimeError::Overflow()
{
    return {6, u"Overflow"};
}

RuntimeError RuntimeError::SubscriptOutOfRange()
{
    return {9, u"Subscript out of range"};
}

RuntimeError RuntimeError::TypeMismatch()
{
    return {13, u"Type mismatch"};
}

RuntimeError RuntimeError::OutOfMemory()
{
    return {7, u"Out of memory"};
}

RuntimeError RuntimeError::LibraryNotFound(const char* library)
{
    return {53, u"File not found: " + TextOfAscii(library)};
}

RuntimeError RuntimeError::EntryPointNotFound(const char* function, const char* library)
{
    return {453, u"Can't find DLL entry point " + TextOfAscii(function) + u" in " + TextOfAscii(library)};
}

RuntimeError RuntimeError::OfCaughtException()
{
    try {
        throw;
    } catch (const RuntimeError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
}

void RuntimeError::IgnoreCaughtException()
{
    static_cast<void>(OfCaughtException());
}
