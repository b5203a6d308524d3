#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "unit/package/PackageTestHelpers.h"

namespace upkeep::platform {
namespace {

const char* kExport =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; exported settings\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnholt\\Meridot Upkeep]\r\n"
    "\"Firmware\"=\"C:\\\\Pkg\\\\firmware.ini\"\r\n"
    "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
    "\"LANG\"=dword:00000409\r\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "  03\r\n"
    "@=\"default\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP "
    "Port\\Ports\\IP_10.0.0.7]\r\n"
    "\"HostName\"=\"\"\r\n"
    "\"IPAddress\"=\"10.0.0.7\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP "
    "Port\\Ports\\IP_10.0.0.8]\r\n"
    "[HKEY_CURRENT_USER\\Software\\Elsewhere]\r\n"
    "\"Hidden\"=\"x\"\r\n";

TEST(Registry, ReadsKeysAndValuesIgnoringCase) {
    Registry registry = Registry::fromText(kExport);
    std::optional<RegistryKey> key = registry.openKey("software\\VARNHOLT\\meridot upkeep");
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->name(), "Meridot Upkeep");
    EXPECT_EQ(key->readText("firmware"), std::optional<std::string>("C:\\Pkg\\firmware.ini"));
    EXPECT_EQ(key->readText("Quoted"), std::optional<std::string>("say \"hi\""));
    EXPECT_EQ(key->readDword("LANG"), std::optional<std::uint32_t>(0x409));
    EXPECT_EQ(key->readText("LANG"), std::nullopt);  // not a text
    EXPECT_EQ(key->readDword("Firmware"), std::nullopt);
    EXPECT_EQ(key->readText(""), std::optional<std::string>("default"));
    std::optional<RegistryValue> blob = key->value("blob");
    ASSERT_TRUE(blob.has_value());
    EXPECT_EQ(blob->type, regtype::kBinary);
    EXPECT_EQ(blob->data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(key->valueNames(),
              (std::vector<std::string>{"Firmware", "Quoted", "LANG", "Blob", ""}));

    // Bytes as a query into a buffer of a given size delivers them.
    EXPECT_EQ(key->readBytes("LANG", 4), (std::vector<std::uint8_t>{0x09, 0x04, 0, 0}));
    EXPECT_EQ(key->readBytes("Firmware", 19), std::nullopt);  // 20 bytes with the terminator
    EXPECT_EQ(key->readBytes("Firmware", 20)->size(), 20u);
    EXPECT_EQ(key->readBytes("Missing", 100), std::nullopt);
}

TEST(Registry, EnumeratesSubkeysIncludingImpliedOnes) {
    Registry registry = Registry::fromText(kExport);
    std::optional<RegistryKey> ports = registry.openKey(
        "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports");
    ASSERT_TRUE(ports.has_value());  // never written as a key line of its own
    EXPECT_EQ(ports->subkeyNames(), (std::vector<std::string>{"IP_10.0.0.7", "IP_10.0.0.8"}));
    std::optional<RegistryKey> port = ports->openSubkey("ip_10.0.0.7");
    ASSERT_TRUE(port.has_value());
    EXPECT_EQ(port->readText("IPAddress"), std::optional<std::string>("10.0.0.7"));
    EXPECT_EQ(registry.openKey("")->openSubkey("software\\varnholt")->name(), "Varnholt");
    EXPECT_FALSE(port->openSubkey("missing").has_value());
    EXPECT_TRUE(registry.openKey("SOFTWARE").has_value());
    EXPECT_EQ(registry.openKey("")->subkeyNames(),
              (std::vector<std::string>{"SOFTWARE", "SYSTEM"}));
    EXPECT_FALSE(registry.openKey("Software\\Elsewhere").has_value());  // not below the root
    EXPECT_FALSE(registry.openKey("SOFTWARE\\Varnholt\\Missing").has_value());
}

TEST(Registry, MalformedInputIsSkipped) {
    struct Case {
        const char* name;
        std::string text;
        std::optional<std::string> a;  // value "a" of key K
    };
    const std::string head = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n";
    const std::vector<Case> cases = {
        {"plain", head + "\"a\"=\"1\"\n", "1"},
        {"no signature", "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"1\"\n", std::nullopt},
        {"wrong signature", "REGEDIT5\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"1\"\n", std::nullopt},
        {"unterminated text", head + "\"a\"=\"1\n", std::nullopt},
        {"junk after text", head + "\"a\"=\"1\" x\n", std::nullopt},
        {"unknown kind", head + "\"a\"=qword:1\n", std::nullopt},
        {"bad dword", head + "\"a\"=dword:1234567890\n\"b\"=\"2\"\n", std::nullopt},
        {"later line replaces", head + "\"a\"=\"1\"\n\"A\"=\"2\"\n", "2"},
        {"malformed line then a good one", head + "garbage\n\"a\"=\"3\"\n", "3"},
        {"value after a broken key line", head + "[HKEY_LOCAL_MACHINE\\L\n\"a\"=\"4\"\n",
         std::nullopt},
        {"deleted value", head + "\"a\"=-\n", std::nullopt},
        {"BOM and LF", "\xEF\xBB\xBF" + head + "\"a\"=\"5\"", "5"},
        {"UTF-16",
         std::string("\xFF\xFE", 2) +
             [] {
                 std::string wide;
                 for (char c :
                      std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=\"6\"\r\n")) {
                     wide += c;
                     wide += '\0';
                 }
                 return wide;
             }(),
         "6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Registry registry = Registry::fromText(c.text);
        std::optional<RegistryKey> key = registry.openKey("K");
        EXPECT_EQ(key ? key->readText("a") : std::nullopt, c.a);
    }
}

// Reading the file the variable names is the settings tests' business.
// Only a regular file within the limit is read; nothing else may block,
// read without end or throw.
TEST(Registry, RefusesWhatIsNotASmallRegularFile) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs and /dev/zero are POSIX kinds of file";
#else
    test::TempDir dir;
    const std::string head = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n";
    test::writeFile(dir.file("big.reg"), head + std::string(Registry::kFileLimit, ';'));
    test::writeFile(dir.file("limit.reg"),
                    head + std::string(Registry::kFileLimit - head.size(), '\n'));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const struct {
        std::string path;
        std::size_t keys;
        const char* problem;
    } cases[] = {
        {dir.path(), 0, "not a regular file"},  {dir.file("fifo"), 0, "not a regular file"},
        {"/dev/zero", 0, "not a regular file"}, {dir.file("big.reg"), 0, "larger than 1 MiB"},
        {dir.file("limit.reg"), 2, ""},         {dir.file("missing.reg"), 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string problem = "stale";
        EXPECT_EQ(Registry::fromFile(c.path, &problem).keyCount(), c.keys);
        EXPECT_EQ(problem, c.problem);
    }
#endif
}

// Each key holds its own name only: one deeply nested key path costs memory
// in proportion to its length.
TEST(Registry, DeepNestingStaysLinear) {
    const std::size_t depth = 100000;
    std::string path;
    for (std::size_t i = 0; i < depth; ++i)
        path += "\\k";
    Registry registry =
        Registry::fromText("REGEDIT4\n[HKEY_LOCAL_MACHINE" + path + "]\n\"a\"=\"deep\"\n");
    EXPECT_EQ(registry.keyCount(), depth + 1);
    auto key = registry.openKey(path);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readText("a"), std::optional<std::string>("deep"));
}

}  // namespace
}  // namespace upkeep::platform
