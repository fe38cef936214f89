#pragma once

#include "authentication/src/IniPlan.h"

// Carries out a plan through iODBC's installer, in the files the process
// environment names, setting the configuration mode before every call. Stops
// at the first failed step and answers its status.
class IniPlanRunner {
  public:
    static int run(const IniPlan& plan);
};
