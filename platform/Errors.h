#pragma once
// Failures of the system. A failure carries a message in the system's own words and is shown
// by whoever handles it; a silent abort ends an operation without any message (no handler
// shows it). Nothing of these types may cross the library's C interface.

#include <stdexcept>
#include <string>

namespace kova {

// A failure that carries a message meant for a person (Windows-1252 text).
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Failures raised by the table engine (field not found, not editing, record not found, ...).
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A table file that another program still held when the wait's bound ran out (in the middle of its
// save, or stopped there).
class EArquivoEmUso : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// A text that does not convert to the number or date a field holds.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A file that could not be written: the whole message names the file, Causa() says why in a few
// words ("o disco está cheio"), for callers that tell the reason in their own sentence.
class EErroGravacao : public Exception {
public:
    EErroGravacao(const std::string& arquivo, const std::string& causa)
        : Exception("Erro ao gravar o arquivo " + arquivo + ": " + causa), causa_(causa) {}
    const std::string& Causa() const { return causa_; }

private:
    std::string causa_;
};

// The silent abort: stops the operation, shows nothing.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

[[noreturn]] inline void Abort() { throw EAbort(); }

}  // namespace kova
