#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>

#include "authentication/src/IniPlanReadBack.h"
#include "authentication/src/SaveParameters.h"
#include "platform/DescriptorIo.h"
#include "platform/UniqueFd.h"
#include "src/QuillmarkHelper/Caller.h"
#include "src/QuillmarkHelper/HelperOptions.h"
#include "src/QuillmarkHelper/IniLocations.h"

// Applies validated plans for one caller, each in a child with a deadline:
// user changes in a child that has become the caller (groups, gid, uid)
// before it opens anything, so no user file is ever written as root; the
// child keeps no descriptor but its channel. The writer locks each file
// from before it is read until it is replaced. A child that overruns its
// deadline while waiting or planning is killed and the plan answered as a
// failed write. One that has begun to replace files gets the deadline
// again, never past `bound` (the connection's end); killed then, stopped
// or not, or ending without its report, it is answered from what the
// files hold, as another child reads them.
class ScopedApplier : public PlanApplier {
  public:
    ScopedApplier(Caller caller, const HelperOptions& options,
                  descriptor_io::Clock::time_point bound)
        : caller_(std::move(caller)), options_(options), bound_(bound) {}

    int apply(const IniPlan& plan) override;
    std::optional<std::string> systemDriverLibrary(const std::string& name) override;

  private:
    struct Child {
        UniqueFd channel;  // the parent's end
        pid_t pid = -1;
    };
    // How a child ended, as its parent saw it.
    enum class Ending { Reported, NothingReplaced, Unreported };

    static std::optional<Child> startChild(const std::function<int(int channel)>& body);
    static void endChild(const Child& child);
    int runInChild(const IniPlan& plan, const OdbcPaths& paths, bool asCaller) const;
    Ending awaitChild(int channel, int& result, IniPlanReadBack::Found& before) const;
    std::optional<IniPlanReadBack::Found> readBack(const IniPlan& plan, const OdbcPaths& paths,
                                                   bool asCaller) const;
    descriptor_io::Clock::time_point deadline() const;

    Caller caller_;
    const HelperOptions& options_;
    descriptor_io::Clock::time_point bound_;
};
