#pragma once

#include "authentication/src/SaveParameters.h"
#include "src/QuillmarkHelper/Caller.h"
#include "src/QuillmarkHelper/HelperOptions.h"
#include "src/QuillmarkHelper/IniLocations.h"

// Applies validated plans for one caller, each in a child with a deadline:
// user changes in a child that has become the caller (groups, gid, uid)
// before it opens anything, so no user file is ever written as root. The
// writer locks each file from before it is read until it is replaced. A
// child that overruns its deadline while waiting or planning is killed and
// the plan answered as a failed write; one that has begun to replace files
// is waited for.
class ScopedApplier : public PlanApplier {
  public:
    ScopedApplier(Caller caller, const HelperOptions& options)
        : caller_(std::move(caller)), options_(options) {}

    int apply(const IniPlan& plan) override;
    std::optional<std::string> systemDriverLibrary(const std::string& name) override;

  private:
    int runInChild(const IniPlan& plan, const OdbcPaths& paths, bool asCaller) const;
    int awaitChild(int channel, pid_t child) const;

    Caller caller_;
    const HelperOptions& options_;
};
