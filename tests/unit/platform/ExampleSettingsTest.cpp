// The example settings file installed with the documentation is read as
// the programs read settings: a user who copies it gets these values.

#include <gtest/gtest.h>

#include "package/Environment.h"
#include "platform/Registry.h"
#include "support/ChildProcess.h"
#include "support/Paths.h"

namespace upkeep::platform {
namespace {

TEST(ExampleSettings, EverySettingIsReadAsWritten) {
    const std::string example = test::readFile(test::sourceDir() + "/packaging/upkeep.reg");
    ASSERT_FALSE(example.empty());
    std::optional<RegistryKey> key = Registry::fromText(example).openKey(Environment::kSettingsKey);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->readText(Environment::kCatalogueValue),
              std::optional<std::string>("/srv/meridot/package/firmware.ini"));
    EXPECT_EQ(key->readText(Environment::kSoftwarePathValue),
              std::optional<std::string>("/srv/meridot/package/"));
    EXPECT_FALSE(key->value(Environment::kLanguageValue).has_value());  // commented out

    // Its commented line, taken in, is a language number.
    std::string uncommented = example;
    uncommented.erase(uncommented.find(";\"LANG\""), 1);
    key = Registry::fromText(uncommented).openKey(Environment::kSettingsKey);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->readDword(Environment::kLanguageValue), std::optional<std::uint32_t>(9));
}

}  // namespace
}  // namespace upkeep::platform
