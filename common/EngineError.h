#pragma once

#include <exception>

// The one exception of the engine side: a string grown past its limit, a conversion that failed, an
// allocation the engine's strings could not get. It carries the system's number for it. Nothing below the
// engine boundary catches it; the boundary answers the engine with an error code instead.
class EngineError : public std::exception
{
public:
    static constexpr int kOutOfMemory = 14; // the system's "not enough memory" number

    explicit EngineError(int code) noexcept : errorCode(code) {}

    int code() const noexcept { return errorCode; }
    bool isOutOfMemory() const noexcept { return errorCode == kOutOfMemory; }
    const char *what() const noexcept override { return isOutOfMemory() ? "out of memory" : "engine error"; }

private:
    int errorCode;
};
