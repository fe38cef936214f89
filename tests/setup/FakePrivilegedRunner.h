#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/PrivilegedRunner.h"

// Records what would have been run with administrator rights, and answers
// as told. Installed for its own lifetime.
class FakePrivilegedRunner : public PrivilegedRunner {
  public:
    struct Call {
        std::filesystem::path program;
        std::string input;
    };

    FakePrivilegedRunner() { PrivilegedRunner::setForTesting(this); }
    ~FakePrivilegedRunner() override { PrivilegedRunner::setForTesting(nullptr); }

    int verifyProgram(const std::filesystem::path& program, std::string& problem) override {
        verified.push_back(program);
        problem = verifyProblem;
        return verifyStatus;
    }

    Outcome run(const std::filesystem::path& program, std::string_view input) override {
        calls.push_back({program, std::string(input)});
        return outcome;
    }

    int verifyStatus = 0;
    std::string verifyProblem;
    Outcome outcome{0, 0, "OK\n"};
    std::vector<std::filesystem::path> verified;
    std::vector<Call> calls;
};
