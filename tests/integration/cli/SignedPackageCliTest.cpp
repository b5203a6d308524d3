// Signed packages: upkeepctl sends a package's file only when its bytes are
// the ones a trusted key signed for, and shows what it found. Keys are made
// here, in a private GnuPG home.

#include <filesystem>
#include <fstream>

#include "integration/cli/CliTest.h"
#include "integration/sim/SimHelpers.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

constexpr const char* kSigner = "Test Signer <signer@example.org>";
constexpr const char* kStranger = "Stranger <stranger@example.org>";

// Two signing keys, made once for the whole run: the signer's public key
// is in `keyring`, the stranger's in none.
struct Keys {
    Keys()
        : dir(test::makeTempDir("signing-keys")),
          home(dir + "/gnupg"),
          keyring(dir + "/trusted.gpg") {
        std::filesystem::create_directories(home);
        std::filesystem::permissions(home, std::filesystem::perms::owner_all);
        // The first "fpr" record is the primary key's: its tenth field.
        auto made = test::runCommand(
            {"/bin/sh", "-c",
             "for user in \"$0\" \"$1\"; do gpg --batch --quiet --passphrase '' --quick-gen-key "
             "\"$user\" ed25519 sign never || exit; done && gpg --batch --output \"$2\" --export "
             "signer@example.org && gpg --with-colons --list-keys signer@example.org | "
             "awk -F: '$1 == \"fpr\" { printf \"%s\", $10; exit }'",
             kSigner, kStranger, keyring},
            {{"GNUPGHOME", home}});
        fingerprint = made.out;
        problem = made.err;
        ok = made.exitCode == 0 && fingerprint.size() == 40;
    }
    ~Keys() { test::removeTree(dir); }

    std::string dir, home, keyring, fingerprint, problem;
    bool ok = true;
};

const Keys& keys() {
    static const Keys made;
    return made;
}

class SignedPackageCli : public test::CliTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(keys().ok) << keys().problem;
        CliTest::SetUp();
    }

    struct Signing {
        const char* signer = kSigner;  // nullptr: no SHA256SUMS at all
        const char* listed = "firmware.ini *.fmw";
        const char* armour = "";  // or "--armor"
    };

    // A copy of the sample package's catalogue and Meridot-4000 files,
    // listed and signed as asked.
    std::string package(const std::string& name, const Signing& signing) {
        const std::string dir = dir_ + "/" + name;
        std::filesystem::create_directories(dir);
        for (const char* file : {"firmware.ini", "m4000_310.fmw", "m4000_320.fmw", "m4000_400.fmw"})
            std::filesystem::copy(test::examplePackageDir() + "/" + file, dir);
        if (signing.signer == nullptr)
            return dir;
        auto made = test::runCommand(
            {"/bin/sh", "-c",
             "cd \"$0\" && sha256sum $1 >SHA256SUMS && /usr/bin/gpg --batch --yes --quiet $2 "
             "--local-user \"$3\" --output SHA256SUMS.gpg --detach-sign SHA256SUMS",
             dir, signing.listed, signing.armour, signing.signer},
            {{"GNUPGHOME", keys().home}});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return dir;
    }

    // Changes one byte of a file of the package, after it was signed.
    static void changeOneByte(const std::string& path) {
        std::string bytes = test::readFile(path);
        bytes.back() ^= 1;
        std::ofstream(path, std::ios::binary) << bytes;
    }

    std::string registry(const std::string& name, const std::string& values) {
        const std::string path = dir_ + "/" + name + ".reg";
        std::ofstream(path) << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnholt\\Meridot "
                               "Upkeep]\n"
                            << values;
        return path;
    }
};

TEST_F(SignedPackageCli, OnlyVerifiedBytesReachThePrinter) {
    const std::string signedPackage = package("signed", {});
    const std::string changed = package("changed", {});
    changeOneByte(changed + "/m4000_400.fmw");
    const std::string changedOlder = package("changed-older", {});
    changeOneByte(changedOlder + "/m4000_320.fmw");
    const std::string iniChanged = package("ini-changed", {});
    std::ofstream(iniChanged + "/firmware.ini", std::ios::app) << "; added after signing\n";
    const std::string stranger = package("stranger", {kStranger});
    const std::string unlisted = package("unlisted", {kSigner, "firmware.ini m4000_3*.fmw"});
    const std::string armoured = package("armoured", {kSigner, "firmware.ini *.fmw", "--armor"});
    const std::string unsignedPackage = package("unsigned", {nullptr});
    const std::string ownFile = dir_ + "/own.fmw";
    std::filesystem::copy(changed + "/m4000_400.fmw", ownFile);
    const std::string keyring = keys().keyring;
    const std::string noKeys = dir_ + "/no-keys";
    std::filesystem::create_directories(noKeys);

    using test::Env;
    const Env keyringSetting{
        {"UPKEEP_REGISTRY", registry("keyring", "\"Keyring\"=\"" + keyring + "\"\n")}};
    const Env requiredBySettings{
        {"UPKEEP_REGISTRY", registry("require-signed", "\"RequireSigned\"=dword:00000001\n")}};
    const Env trustedDir{{"UPKEEP_TRUSTED_DIR", keys().dir}},
        noneTrusted{{"UPKEEP_TRUSTED_DIR", noKeys}};
    using Args = std::vector<std::string>;
    auto upgrade = [&](const std::string& package, bool withKeyring = true) {
        Args args = {"upgrade", "--package", package};
        if (withKeyring)
            args.insert(args.end(), {"--keyring", keyring});
        return args;
    };
    auto downgrade = [&](const std::string& package) {
        return Args{"downgrade", "3.20", "--package", package, "--keyring", keyring};
    };
    auto send = [&](const std::string& file) {
        return Args{"send", file, "--package", changed, "--keyring", keyring};
    };
    const std::string differs = ": its SHA-256 differs from SHA256SUMS";
    const struct Case {
        const char* what;
        Args args;  // the printer's address goes second
        int exitCode;
        std::string text;  // in the output when it fails
        Env env = {};
        const char* printerVersion = "3.10";
    } cases[] = {
        {"intact and signed", upgrade(signedPackage), 0, ""},
        {"ASCII-armoured signature", upgrade(armoured), 0, ""},
        {"the keyring of the settings", upgrade(signedPackage, false), 0, "", keyringSetting},
        {"the trusted directory", upgrade(signedPackage, false), 0, "", trustedDir},
        {"one byte changed", upgrade(changed), 1, "m4000_400.fmw" + differs},
        {"the catalogue changed", upgrade(iniChanged), 1, "firmware.ini" + differs},
        {"a file left out of the list", upgrade(unlisted), 1,
         "m4000_400.fmw: not listed in SHA256SUMS"},
        {"a key not in the keyring", upgrade(stranger), 1, "signed by a key that is not trusted"},
        {"no key trusted at all", upgrade(signedPackage, false), 1, "no trusted keyring",
         noneTrusted},
        {"unsigned, a signature required",
         {"upgrade", "--package", unsignedPackage, "--require-signed"},
         1,
         "it is unsigned"},
        {"unsigned, a signature required by the settings", upgrade(unsignedPackage, false), 1,
         "it is unsigned", requiredBySettings},
        {"unsigned", upgrade(unsignedPackage, false), 0, ""},
        {"a changed file of the package sent by hand", send(changed + "/m4000_400.fmw"), 1,
         "m4000_400.fmw" + differs},
        {"a file from elsewhere sent by hand", send(ownFile), 0, ""},
        // Each file stands on its own checksum.
        {"an intact older version beside a changed file", downgrade(changed), 0, "", {}, "4.00"},
        {"a changed older version",
         downgrade(changedOlder),
         1,
         "m4000_320.fmw" + differs,
         {},
         "4.00"},
    };
    std::string config;
    for (std::size_t n = 1; n <= std::size(cases); ++n)
        config +=
            test::simPrinter(static_cast<int>(n), "Meridot-4000", cases[n - 1].printerVersion);
    test::SimProcess sim(config);
    ASSERT_TRUE(sim.ok()) << sim.error();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const std::string address = sim.address(i);
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, address);
        auto r = ctl(args, c.env);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
        if (c.exitCode == 0) {
            EXPECT_TRUE(sim.waitForLine("applied " + address + " ")) << r.out << r.err;
        } else {
            EXPECT_THAT(r.out + r.err, test::HasSubstr(c.text));
            EXPECT_FALSE(
                sim.waitForLine("received " + address + " ", std::chrono::milliseconds(300)));
        }
    }
}

TEST_F(SignedPackageCli, CatalogueShowsWhoSignedAndEachFilesCheck) {
    const std::string signedPackage = package("signed", {});
    const std::string changed = package("changed", {});
    changeOneByte(changed + "/m4000_320.fmw");
    const std::string stranger = package("stranger", {kStranger});
    const std::string unsignedPackage = package("unsigned", {nullptr});
    const std::string& fpr = keys().fingerprint;
    const struct Case {
        std::string package;
        std::vector<std::string> json;   // parts of --json
        std::vector<std::string> table;  // parts of the table
    } cases[] = {
        {signedPackage,
         {R"("package": {"state": "signed", "fingerprint": ")" + fpr +
              R"(", "userId": "Test Signer <signer@example.org>", "reason": null})",
          R"("file": "m4000_400.fmw", "state": "present", "optional": false, "check": "verified"})"},
         {"package:   signed by " + fpr + " Test Signer <signer@example.org>", "present, verified",
          "[Finisher-F2]", "m4000_400.fmw"}},
        {changed,
         {R"("state": "signed")",
          R"("check": "refused: m4000_320.fmw: its SHA-256 differs from SHA256SUMS")",
          R"("file": "m4000_310.fmw", "state": "present", "optional": false, "check": "verified")"},
         {"present, refused: m4000_320.fmw: its SHA-256 differs"}},
        {stranger,
         {R"("package": {"state": "untrusted", "fingerprint": null, "userId": null, "reason": "signed by a key that is not trusted)",
          R"("check": "refused: m4000_400.fmw: the package is untrusted)"},
         {"package:   untrusted: signed by a key that is not trusted"}},
        {unsignedPackage,
         {R"("package": {"state": "unsigned", "fingerprint": null, "userId": null, "reason": null})",
          R"("state": "present", "optional": false, "check": "unsigned"})"},
         {"package:   unsigned (no SHA256SUMS)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.package);
        auto json =
            ctl({"catalogue", "--json", "--package", c.package, "--keyring", keys().keyring});
        EXPECT_EQ(json.exitCode, 0) << json.err;
        for (const std::string& part : c.json)
            EXPECT_THAT(json.out, test::HasSubstr(part));
        auto table = ctl({"catalogue", "--package", c.package, "--keyring", keys().keyring});
        EXPECT_EQ(table.exitCode, 0) << table.err;
        for (const std::string& part : c.table)
            EXPECT_THAT(table.out, test::HasSubstr(part));
    }
}

}  // namespace
}  // namespace upkeep
