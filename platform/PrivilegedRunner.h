#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

// Runs an installed helper program with administrator rights: pkexec
// starting `program --stdin`, with the request text on the helper's standard
// input (never on its command line) and its standard output (its reply)
// captured, not left on the host's. Before that the program must pass the trusted-path check.
// Tests replace the whole runner with setForTesting.
class PrivilegedRunner {
  public:
    struct Outcome {
        int spawnError = 0;   // errno when the program could not be started
        int exitStatus = -1;  // exit status, or -1 when it did not exit normally
        std::string output;   // the helper's standard output, its first kMaxOutput bytes
    };
    static constexpr std::size_t kMaxOutput = 4095;
    // pkexec's exit statuses for a dismissed or refused authorisation.
    static constexpr int kAuthorisationDismissed = 126;
    static constexpr int kNotAuthorised = 127;

    // The run as the helper's socket would have answered it: the helper's
    // reply line; "ERROR 5370" when pkexec refused the caller or the
    // authentication was dismissed before the helper answered; empty when
    // nothing answered.
    static std::string replyOf(const Outcome& outcome);

    virtual ~PrivilegedRunner() = default;

    // 0 when the program may be trusted, else an errno value with the reason
    // in `problem`.
    virtual int verifyProgram(const std::filesystem::path& program, std::string& problem);
    virtual Outcome run(const std::filesystem::path& program, std::string_view input);

    static PrivilegedRunner& current();
    // nullptr brings back the real runner. The runner is not owned.
    static void setForTesting(PrivilegedRunner* runner);

    // Starts `launcher program --stdin` with `input` on its standard input,
    // reads its standard output and waits for it; run() uses pkexec as the
    // launcher.
    static Outcome launch(const std::filesystem::path& launcher,
                          const std::filesystem::path& program, std::string_view input);

    // The ownership check itself (TrustedPath), `alsoTrusted` counting as
    // root; `program` must also be executable.
    static int checkOwnership(const std::filesystem::path& program, uid_t alsoTrusted,
                              std::string& problem);
};
