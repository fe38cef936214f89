#pragma once

#include "authentication/src/SaveParameters.h"
#include "src/QuillmarkHelper/Caller.h"
#include "src/QuillmarkHelper/HelperOptions.h"
#include "src/QuillmarkHelper/IniLocations.h"

// Applies validated plans for one caller under the helper's lock, each in a
// child with a deadline: user changes in a child that has become the caller
// (groups, gid, uid) before it opens anything, so no user file is ever
// written as root. A child that overruns is killed and the plan answered as
// a failed write.
class ScopedApplier : public PlanApplier {
  public:
    ScopedApplier(Caller caller, const HelperOptions& options)
        : caller_(std::move(caller)), options_(options) {}

    int apply(const IniPlan& plan) override;
    bool isSystemDriver(const std::string& name) override;

  private:
    int runInChild(const IniPlan& plan, const IniLocations& locations, bool asCaller,
                   int lockFd) const;
    static int applyHere(const IniPlan& plan, const IniLocations& locations);

    Caller caller_;
    const HelperOptions& options_;
};
