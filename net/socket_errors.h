// Failures of the socket layer: the exceptions it throws and the text of the
// last system error that goes with them.
#pragma once

#include <exception>

// The message is not copied: the socket layer passes lastErrorText(), whose
// buffer the next call overwrites, so a handler that keeps it must copy it.
class Socket_Exception : public std::exception {
public:
    explicit Socket_Exception(const char* message) noexcept : message_(message) {}
    ~Socket_Exception() override = default;
    const char* what() const noexcept override { return message_ ? message_ : ""; }
    virtual const char* name() const noexcept { return "Socket_Exception"; }

private:
    const char* message_;
};

class Socket_BindFailed : public Socket_Exception {
public:
    using Socket_Exception::Socket_Exception;
    const char* name() const noexcept override { return "Socket_BindFailed"; }
};

class Socket_SelectFailed : public Socket_Exception {
public:
    using Socket_Exception::Socket_Exception;
    const char* name() const noexcept override { return "Socket_SelectFailed"; }
};

// The system's text for errno, trimmed, or "Unknown error N" for a code the
// system has no text for. One shared buffer, overwritten by every call.
const char* lastErrorText();
