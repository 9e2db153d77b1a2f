#pragma once

#include <exception>

// The one exception of the engine side: a string grown past its limit, a conversion that failed, an
// allocation the engine's strings could not get. It carries the system's number for it. Nothing below the
// engine boundary catches it; the boundary answers the engine with an error code instead.
class EngineError : public std::exception
{
public:
    static constexpr int kOutOfMemory = 14; // the system's "not enough memory" number

    explicit EngineError(int code) noexcept : m_code(code) {}

    int code() const noexcept { return m_code; }
    bool isOutOfMemory() const noexcept { return m_code == kOutOfMemory; }
    const char *what() const noexcept override { return isOutOfMemory() ? "out of memory" : "engine error"; }

private:
    int m_code;
};
