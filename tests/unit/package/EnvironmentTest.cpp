#include "package/Environment.h"

#include <gtest/gtest.h>

#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

using test::ScopedEnvVar;
using test::TempDir;

class LinuxEnvironmentSettings : public ::testing::Test {
  protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "on Windows the settings come from the real registry, not a .reg file";
#endif
    }
    void useSettings(const std::string& values) {
        test::writeFile(
            dir.file("upkeep.reg"),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnholt\\Meridot Upkeep]\r\n" +
                values);
    }
    TempDir dir;
    ScopedEnvVar registry{"UPKEEP_REGISTRY", dir.file("upkeep.reg")};
    LinuxEnvironment environment;
};

TEST_F(LinuxEnvironmentSettings, AnswersFromTheSettingsKey) {
    useSettings(
        "\"Firmware\"=\"/opt/upkeep/firmware.ini\"\r\n"
        "\"Path\"=\"/opt/upkeep/fmw/\"\r\n");
    std::optional<PortDescriptor> catalogue = environment.catalogueFileDescriptor();
    ASSERT_TRUE(catalogue.has_value());
    EXPECT_EQ(*catalogue, PortDescriptor("/opt/upkeep/firmware.ini", PortType::File, 6));
    EXPECT_EQ(environment.systemSoftwarePath(), std::optional<std::string>("/opt/upkeep/fmw/"));
    EXPECT_FALSE(environment.keyringFile().has_value());
    EXPECT_FALSE(environment.requireSigned());
}

TEST_F(LinuxEnvironmentSettings, KeyringAndRequireSigned) {
    struct Case {
        const char* values;
        std::optional<std::string> keyring;
        bool requireSigned;
    };
    const std::vector<Case> cases = {
        {"\"Keyring\"=\"/etc/meridot/signing.gpg\"", "/etc/meridot/signing.gpg", false},
        {"\"RequireSigned\"=dword:00000001", std::nullopt, true},
        {"\"RequireSigned\"=dword:00000100", std::nullopt, true},  // any number but 0
        {"\"RequireSigned\"=dword:00000000", std::nullopt, false},
        {"\"RequireSigned\"=\"1\"", std::nullopt, true},
        {"\"RequireSigned\"=\"0\"", std::nullopt, false},
        {"\"RequireSigned\"=\"\"", std::nullopt, false},
        {"\"Other\"=dword:00000001", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values);
        useSettings(std::string(c.values) + "\n");
        EXPECT_EQ(environment.keyringFile(), c.keyring);
        EXPECT_EQ(environment.requireSigned(), c.requireSigned);
    }
}

TEST_F(LinuxEnvironmentSettings, LanguageOfAnyTypeCountsByItsLowestByte) {
    struct Case {
        const char* value;
        bool present;
        std::uint8_t language;
    };
    const std::vector<Case> cases = {
        {"\"LANG\"=dword:00000407", true, 7},
        {"\"LANG\"=\"9\"", true, 57},      // a text: the code of the digit
        {"\"LANG\"=\"123\"", true, '1'},   // four bytes with its terminator
        {"\"LANG\"=\"1234\"", false, 0},   // too large for four bytes
        {"\"LANG\"=hex:0c,00", true, 12},  // binary
        {"\"Other\"=dword:00000009", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        useSettings(std::string(c.value) + "\n");
        std::uint8_t language = 0xEE;
        EXPECT_EQ(environment.languageSetting(language), c.present);
        if (c.present) {
            EXPECT_EQ(language, c.language);
        }
    }
}

TEST_F(LinuxEnvironmentSettings, MissingOrOversizedSettingsAreAbsent) {
    std::uint8_t language = 0;
    // No file at all.
    EXPECT_FALSE(environment.catalogueFileDescriptor().has_value());
    EXPECT_FALSE(environment.systemSoftwarePath().has_value());
    EXPECT_FALSE(environment.languageSetting(language));

    // A text fills 256 bytes with its terminator at most.
    useSettings("\"Path\"=\"" + std::string(256, 'p') + "\"\n\"Firmware\"=\"" +
                std::string(255, 'f') + "\"\n");
    EXPECT_FALSE(environment.systemSoftwarePath().has_value());
    ASSERT_TRUE(environment.catalogueFileDescriptor().has_value());
    EXPECT_EQ(environment.catalogueFileDescriptor()->name().size(), 255u);

    // The key itself is missing.
    test::writeFile(dir.file("upkeep.reg"),
                    "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"Path\"=\"/x/\"\n");
    EXPECT_FALSE(environment.systemSoftwarePath().has_value());
}

}  // namespace
}  // namespace upkeep
