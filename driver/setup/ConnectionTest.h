#pragma once

#include <sql.h>
#include <sqlext.h>

#include <functional>
#include <memory>
#include <string>

// The DSN wizard's connection test: a connect through this very driver, in
// this process, with the wizard's settings and a user ID and password.

// The driver's own entry points the test calls. morvanex.so binds them to
// its exports, so that a driver manager linked into the host cannot capture
// the calls; tests bind their own.
struct DriverCalls {
    decltype(&::SQLAllocHandle) allocHandle = nullptr;
    decltype(&::SQLSetEnvAttr) setEnvAttr = nullptr;
    decltype(&::SQLDriverConnect) driverConnect = nullptr;
    decltype(&::SQLGetDiagRec) getDiagRec = nullptr;
    decltype(&::SQLGetInfo) getInfo = nullptr;
    decltype(&::SQLDisconnect) disconnect = nullptr;
    decltype(&::SQLFreeHandle) freeHandle = nullptr;
};

struct ConnectionTestResult {
    bool success = false;
    // The driver's diagnostic messages after a failed connect, each ended
    // by "\n".
    std::string message;
    std::string adaptedDriverName;
    std::string adaptedDriverVersion;
    std::string adaptedDbmsName;
    std::string adaptedDbmsVersion;
};

class ConnectionTest {
  public:
    // Receives the result on the worker thread; must only queue it (never
    // block), since the receiver may be gone by then.
    using Delivery = std::function<void(const ConnectionTestResult&)>;

    // Held by the receiver: while it lives, the result is delivered; once
    // it is dropped (the sheet or the wizard closed), the result is thrown
    // away. The worker keeps what it uses until it ends.
    class Ticket {
      public:
        struct State;
        explicit Ticket(std::shared_ptr<State> state) : state_(std::move(state)) {}
        ~Ticket();
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        bool finished() const;

      private:
        std::shared_ptr<State> state_;
    };

    // The connection text of the test: the wizard's attribute list (items
    // ended by NUL) as connection-text items, then UID and PWD unless
    // empty; values holding ";" or braces are braced.
    static std::string connectionText(const std::string& attributeList, const std::string& userId,
                                      const std::string& password);

    // The whole test, on the calling thread.
    static ConnectionTestResult run(const DriverCalls& calls, const std::string& connectionText);

    // The test on a detached worker; `deliver` gets the result unless the
    // ticket was dropped first.
    static std::unique_ptr<Ticket> start(const DriverCalls& calls, std::string connectionText,
                                         Delivery deliver);

    // The results sheet's texts, localised.
    static std::string startText(const std::string& adaptedDsn);
    static std::string resultText(const ConnectionTestResult& result);
    static std::string userIdRequiredText();
    static std::string cancelledText();
};
