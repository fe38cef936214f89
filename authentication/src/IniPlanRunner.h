#pragma once

#include "authentication/src/IniPlan.h"

// Carries out a plan on the files the process environment names: every step
// applied in memory, then each changed file replaced once. A failed step
// stops the walk, answers its status and leaves every file as it was.
class IniPlanRunner {
  public:
    static int run(const IniPlan& plan);
};
