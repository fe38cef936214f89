#pragma once

#include <functional>

#include "authentication/src/IniPlan.h"
#include "platform/OdbcPaths.h"

// Carries out a plan on the given files: every step applied in memory, then
// each changed file replaced once. A failed step stops the walk, answers
// its status and leaves every file as it was. `beforeInstall` runs before
// the first file is replaced; false from it replaces none.
class IniPlanRunner {
  public:
    static int run(const IniPlan& plan, const OdbcPaths& paths,
                   const std::function<bool()>& beforeInstall = {});
};
