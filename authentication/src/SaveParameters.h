#pragma once

#include <optional>
#include <string>

#include "authentication/src/HelperRequest.h"
#include "authentication/src/IniPlan.h"

// Applies a validated plan where it belongs: system files as root, user
// files as the requesting user. The service provides it; answers a status.
class PlanApplier {
  public:
    virtual ~PlanApplier() = default;
    virtual int apply(const IniPlan& plan) = 0;
    // The library the system odbcinst.ini names for a driver of this name;
    // nothing when it registers none.
    virtual std::optional<std::string> systemDriverLibrary(const std::string& name) = 0;
};

// Hands one parsed request to its handler; the status of helper_status.
// Nothing reaches `applier` unless the request passed every check of its
// handler.
int DoSaveParameters(const HelperRequest::Parsed& parsed, PlanApplier& applier);

int DoConfigureDSN(const HelperRequest& request, PlanApplier& applier);
int DoConfigureDriver(const HelperRequest& request, PlanApplier& applier);
int DoUpdatePreferences(const HelperRequest& request, PlanApplier& applier);
// Answers done: a caller asks only to learn that the helper runs.
int DoGetVersion();
// Adds the write (or deletion, for an empty text) of one preference to
// `plan`; an absent key adds nothing. A status other than 0 refuses it.
int SaveValue(const HelperRequest& preferences, const std::string& section, const std::string& key,
              IniPlan& plan);
