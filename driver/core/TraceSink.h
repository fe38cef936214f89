#pragma once

#include <string>
#include <string_view>

// What a handle object asks of its environment: whether the call trace is
// on, a way to write composed trace text, and the names that diagnostics
// carry. The environment implements it; tests may supply their own.
class TraceSink {
public:
    virtual ~TraceSink() = default;

    virtual bool isTracing() const = 0;
    // Writes text that already holds whole lines; the implementation writes
    // it in one piece under its trace mutex and flushes.
    virtual void writeTrace(std::string_view text) = 0;
    // Component name of environment-level messages, e.g. "Vorlan Tarvex".
    virtual std::string productName() const = 0;
    virtual std::string vendorName() const = 0;
};
