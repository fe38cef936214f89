#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The process's log: syslog(3) in production. The text is always passed as
// data ("%s"), never as a format. Tests install a Capture to read what was
// logged instead.
class SystemLog {
  public:
    enum class Level { Error, Notice };

    static void write(Level level, std::string_view message);
    static void error(std::string_view message) { write(Level::Error, message); }
    static void notice(std::string_view message) { write(Level::Notice, message); }

    // While a Capture lives, messages are kept by it instead of reaching
    // syslog. Captures do not nest; the newest one wins until it goes.
    class Capture {
      public:
        struct Entry {
            Level level;
            std::string text;
        };

        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        std::vector<Entry> entries() const;
        std::vector<std::string> texts() const;
        bool contains(std::string_view text) const;

        struct State;

      private:
        std::shared_ptr<State> state_;
    };
};
