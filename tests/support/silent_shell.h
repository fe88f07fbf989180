#pragma once
// A shell for running the main logic in a test: no box, no wizard, no client; it keeps the last
// result log it was given.
#include <vector>

#include "app/main_logic.h"

namespace kbt::testing {

class SilentShell : public AppShell {
 public:
  std::vector<Text> reported;
  void ShowUsage(const Text&) override {}
  void ReportAside(const Text&) override {}
  bool WarnIfClientRuns() override { return false; }
  void RunWizard(OperationRequest&) override {}
  void ReportLog(const ResultLog& log) override { reported = log.Entries(); }
  void ReportVerify(const VerifyReport&, const Text&) override {}
};

}  // namespace kbt::testing
