#pragma once
// The sample package loaded as the analysis's catalogue for one test.

#include <memory>

#include "package/Environment.h"
#include "package/FirmwareCatalogue.h"
#include "platform/WorkingDirectory.h"
#include "printer/Identification.h"
#include "support/Paths.h"

namespace upkeep::test {

class SamplePackage {
  public:
    SamplePackage() : directory_(examplePackageDir()) {
        catalogue_.load(Environment::instance());
        setAnalysisCatalogue(&catalogue_);
    }
    ~SamplePackage() { setAnalysisCatalogue(nullptr); }
    SamplePackage(const SamplePackage&) = delete;
    SamplePackage& operator=(const SamplePackage&) = delete;

    FirmwareCatalogue& catalogue() { return catalogue_; }

  private:
    platform::ScopedWorkingDirectory directory_;
    FirmwareCatalogue catalogue_;
};

}  // namespace upkeep::test
