#include "package/FirmwareCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "connection/FileConnection.h"
#include "platform/WorkingDirectory.h"
#include "printer/Identification.h"
#include "support/FakeConnection.h"
#include "support/Paths.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

using test::FakeEnvironment;
using test::TempDir;
using test::writeFile;

std::unique_ptr<FirmwareCatalogue> parse(const std::string& text) {
    auto catalogue = std::make_unique<FirmwareCatalogue>();
    test::MemoryFile source(text);
    catalogue->read(source);
    return catalogue;
}

std::vector<std::string> sectionNames(const FirmwareCatalogue& catalogue) {
    std::vector<std::string> names;
    for (const CatalogueNode* group = catalogue.groups(); group; group = group->nextGroup())
        names.emplace_back(group->sectionName());
    return names;
}

std::pair<std::string, std::string> systemPair(const FirmwareCatalogue& catalogue) {
    FirmwareCatalogue::Oid model = "unset", version = "unset";
    catalogue.systemPair(model, version);
    return {model.str(), version.str()};
}

std::vector<std::pair<std::string, std::string>> subsystemPairs(const FirmwareCatalogue& c) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (auto it = c.subsystemPairs()) {
        FirmwareCatalogue::Oid model, version;
        while (it->next(model, version))
            pairs.emplace_back(model.str(), version.str());
    }
    return pairs;
}

// What a catalogue read, in one line: its location, system pair, subsystem
// pairs and model sections in order.
std::string summary(const FirmwareCatalogue& c) {
    std::string out = c.location() ? "location '" + c.location()->str() + "'" : "no location";
    out += "; system " + systemPair(c).first + "=" + systemPair(c).second + "; subsystems";
    for (const auto& [model, version] : subsystemPairs(c))
        out += " " + model + "=" + version;
    out += "; models";
    for (const std::string& name : sectionNames(c))
        out += " " + name;
    return out;
}

const std::string kParts = "[HEADER]\nlocation=L\n[SYSTEM]\nm=v\n[SUBSYSTEM]\n";
const std::string kPartsRead = "location 'L'; system m=v; subsystems; models";

TEST(FirmwareCatalogue, PartsMustComeInOrder) {
    std::string tenSubsystems;
    for (int i = 1; i <= 10; ++i)
        tenSubsystems += "s" + std::to_string(i) + "=t" + std::to_string(i) + "\n";
    const std::string nothing = "no location; system unset=unset; subsystems; models";
    const struct {
        const char* name;
        std::string text;
        std::string read;
    } cases[] = {
        {"empty file", "", nothing},
        {"first section not HEADER", "[SYSTEM]\nm=v\n[SUBSYSTEM]\n[A]\n1=f\n", nothing},
        {"no SUBSYSTEM: no models", "[HEADER]\nlocation=L\n[SYSTEM]\nm=v\n[A]\n1=f\n", kPartsRead},
        {"no SYSTEM", "[HEADER]\nlocation=L\n[SUBSYSTEM]\na=b\n[A]\n1=f\n",
         "location 'L'; system unset=unset; subsystems; models"},
        {"last SYSTEM line counts", "[HEADER]\n[SYSTEM]\nm1=v1\nm2=v2\n[SUBSYSTEM]\n",
         "location ''; system m2=v2; subsystems; models"},
        {"only eight subsystems", "[HEADER]\n[SYSTEM]\n[SUBSYSTEM]\n" + tenSubsystems + "[A]\n1=f",
         "location ''; system unset=unset; subsystems s1=t1 s2=t2 s3=t3 s4=t4 s5=t5 s6=t6 s7=t7 "
         "s8=t8; models A"},
        {"file ends after SYSTEM", "[HEADER]\n[SYSTEM]\nm=v\n",
         "location ''; system m=v; subsystems; models"},
        {"a second HEADER ends the models", kParts + "[A]\n1=f\n[HEADER]\n[B]\n2=g\n",
         kPartsRead + " A"},
        {"SYSTEM among the models ends them", kParts + "[A]\n1=f\n[SYSTEM]\n[B]\n2=g\n",
         kPartsRead + " A"},
        {"a model after SYSTEM ends nothing early", kParts + "[A]\n[B]\n[A]\n1=f\n",
         kPartsRead + " A B A"},
    };
    for (const auto& c : cases) {
        auto catalogue = parse(c.text);
        EXPECT_EQ(summary(*catalogue), c.read) << c.name;
        EXPECT_EQ(catalogue->notLoaded(), 0u) << c.name;
        EXPECT_EQ(catalogue->subsystemCount(), subsystemPairs(*catalogue).size()) << c.name;
    }
    // A first subsystem that cannot be asked leaves the later ones asked.
    EXPECT_EQ(summary(*parse("[HEADER]\n[SYSTEM]\n[SUBSYSTEM]\n1.256=t1\ns2=t2\n")),
              "location ''; system unset=unset; subsystems s2=t2; models");
}

TEST(FirmwareCatalogue, HeaderKeysIgnoreCaseAndAreCut) {
    std::string longLocation = "https://support.example.com/" + std::string(400, 'x');
    auto catalogue = parse("[HEADER]\nDATE=2026-11-30T12:00:00Z\nLocation=" + longLocation +
                           "\nother=1\n[SYSTEM]\n");
    ASSERT_NE(catalogue->date(), nullptr);
    EXPECT_EQ(catalogue->date()->view(), "2026-11-30T12:0");  // 15 characters
    ASSERT_NE(catalogue->location(), nullptr);
    EXPECT_EQ(catalogue->location()->view(), longLocation.substr(0, 255));
}

const std::string kLookups = kParts +
                             "[Alpha]\nA=a.fmw\nB=b.fmw\nC=c.fmw\n"
                             "[Empty]\n"
                             "[Beta]\n1=b1.fmw\n"
                             "[Alpha]\nD=d.fmw\nE=e.fmw\n"
                             "[ALPHA]\nB=b2.fmw\n";

struct Lookup {
    std::string model, version;
    std::string newestFile, foundFile;  // "-": none
    bool modelListed;
};

void expectLookups(FirmwareCatalogue& catalogue, const std::vector<Lookup>& cases) {
    auto file = [](CatalogueEntry* entry) { return entry ? entry->fileName().str() : "-"; };
    for (const Lookup& c : cases) {
        SCOPED_TRACE(c.model + "/" + c.version);
        EXPECT_EQ(file(catalogue.newestEntry(c.model, c.version)), c.newestFile);
        EXPECT_EQ(file(catalogue.findEntry(c.model, c.version)), c.foundFile);
        EXPECT_EQ(catalogue.hasModel(c.model), c.modelListed);
    }
}

TEST(FirmwareCatalogue, Lookups) {
    auto catalogue = parse(kLookups);
    expectLookups(*catalogue,
                  {
                      // The first section listing B wins; its last line is the newest.
                      {"Alpha", "B", "c.fmw", "b.fmw", true},
                      {"alpha", "b", "c.fmw", "b.fmw", true},  // case ignored
                      {"Alpha", "C", "c.fmw", "c.fmw", true},  // the newest itself
                      {"Alpha", "D", "e.fmw", "d.fmw", true},  // a repeated section
                      {"Alpha", "X", "-", "-", true},          // version not listed
                      {"Alph", "A", "-", "-", false},          // whole texts only
                      {"beta", "1", "b1.fmw", "b1.fmw", true},
                      {"Empty", "", "-", "-", false},  // a section without lines is invisible
                  });

    ASSERT_NE(catalogue->findEntry("alpha", "a"), nullptr);
    EXPECT_EQ(catalogue->findEntry("alpha", "a")->model().view(), "Alpha");  // as written

    // The versions offered for a downgrade: the section that lists the version.
    std::vector<std::string> versions;
    auto it = catalogue->entriesOf("Alpha", "e");
    ASSERT_NE(it, nullptr);
    while (CatalogueEntry* e = it->next())
        versions.push_back(e->version().str());
    EXPECT_EQ(versions, (std::vector<std::string>{"D", "E"}));
    EXPECT_EQ(it->next(), nullptr);
    EXPECT_EQ(catalogue->entriesOf("Alpha", "Z"), nullptr);
}

// A text longer than the reader's 79 characters is refused, never cut: the
// cut file name here is another file of the package, the cut model another
// model, the cut object another object.
TEST(FirmwareCatalogue, TextsThatDoNotFitAreRefused) {
    const std::string file79 = std::string(75, 'f') + ".fmw", model79(79, 'M'), oid79(79, '1');
    // An object number above 255 would wrap to another object (333 asks 77).
    auto catalogue =
        parse("[HEADER]\n[SYSTEM]\n" + oid79 + "9=v\n[SUBSYSTEM]\ns=t\n" + oid79 +
              "9=t\n1.3.6.1.3.333.1.1.0=1.3.6.1.3.77.1.2.0\n[Alpha]\n1=a.fmw\n2=" + file79 +
              "\n3=" + file79 + "x\n[Beta]\n" + model79 + "9=b.fmw\n[" + model79 + "Z]\n1=z.fmw\n");
    expectLookups(*catalogue, {
                                  // The newest line is refused (its name cut), yet newest.
                                  {"Alpha", "1", file79, "a.fmw", true},
                                  {"Alpha", "3", "-", "-", true},
                                  {"Beta", model79, "-", "-", true},
                                  {model79, "1", "-", "-", false},
                              });
    EXPECT_FALSE(catalogue->newestEntry("Alpha", "1")->isUsable());
    EXPECT_EQ(summary(*catalogue),
              "location ''; system unset=unset; subsystems s=t; models Alpha Beta " + model79);
    EXPECT_EQ(catalogue->subsystemCount(), 3u);
    EXPECT_TRUE(catalogue->systemPairRefused());
    EXPECT_TRUE(parse("[HEADER]\n[SYSTEM]\n1.3.6.1.3.77.1.1.0=1.3.6.1.3.256.1.2.0\n[SUBSYSTEM]\n")
                    ->systemPairRefused());
    const CatalogueEntry* refused = catalogue->groups()->nextInGroup()->nextInGroup()->entry();
    EXPECT_FALSE(refused->isUsable());
    std::unique_ptr<Connection> opened;
    EXPECT_EQ(refused->openFile(&opened), CatalogueEntry::kNotFound);
    EXPECT_FALSE(CatalogueEntry("Forced", std::string(96, 'v'), "f").isUsable());
}

TEST(FirmwareCatalogue, OptionalMarkCoversItsOwnSection) {
    struct Case {
        const char* header;
        bool optional;
    };
    const std::vector<Case> cases = {
        {"[M OPTIONAL]", true},  {"[M OPTIONAL] # note", true}, {"[ M OPTIONAL]", true},
        {"[M optional]", false}, {"[M  OPTIONAL]", false},      {"[M\tOPTIONAL]", false},
        {"[M] OPTIONAL", false}, {"[M]OPTIONAL", false},        {"[M OPTIONA]", false},
        {"[M OPTIONAL", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        // As the first model section, as a middle one, and followed by an
        // unmarked section that must stay non-optional.
        auto first = parse(kParts + c.header + "\n1=f\n[N]\n2=g\n");
        auto middle = parse(kParts + "[A]\n0=e\n" + c.header + "\n1=f\n[N]\n2=g\n");
        for (auto* catalogue : {first.get(), middle.get()}) {
            ASSERT_NE(catalogue->findEntry("M", "1"), nullptr);
            EXPECT_EQ(catalogue->findEntry("M", "1")->isOptional(), c.optional);
            EXPECT_FALSE(catalogue->findEntry("N", "2")->isOptional());
        }
        EXPECT_FALSE(middle->findEntry("A", "0")->isOptional());
    }
}

TEST(FirmwareCatalogue, HugeCatalogueLoadsAndGoes) {
    std::string text = kParts;
    for (int i = 0; i < 20000; ++i)
        text += "[M" + std::to_string(i) + "]\n1=f\n";
    text += "[Long]\n";
    for (int i = 0; i < 50000; ++i)
        text += "v" + std::to_string(i) + "=f" + std::to_string(i) + "\n";
    auto catalogue = parse(text);
    EXPECT_TRUE(catalogue->hasModel("M19999"));
    ASSERT_NE(catalogue->newestEntry("Long", "v0"), nullptr);
    EXPECT_EQ(catalogue->newestEntry("Long", "v0")->fileName().view(), "f49999");
    catalogue.reset();  // must not exhaust the stack
}

class CatalogueFiles : public ::testing::Test {
  protected:
    TempDir work, software, elsewhere;
    FakeEnvironment environment;
    ScopedEnvironment useEnvironment{&environment};
    platform::ScopedWorkingDirectory inWork{work.path()};

    static std::string readAll(Connection& connection) {
        std::string content;
        std::vector<std::uint8_t> block(connection.blockSize());
        std::size_t length = block.size();
        while (connection.read(block.data(), length)) {
            content.append(block.begin(), block.begin() + static_cast<long>(length));
            length = block.size();
        }
        return content;
    }
    // The opened file's content, or the code of the failure.
    static std::string openedContent(const CatalogueEntry& entry) {
        std::unique_ptr<Connection> file;
        int code = entry.openFile(&file);
        if (code != 0 || file == nullptr)
            return "code " + std::to_string(code);
        return readAll(*file);
    }
};

// The working directory, then the setting's directory, then the name as a
// full path.
TEST_F(CatalogueFiles, OpenFileTriesThreePlacesInOrder) {
#ifdef _WIN32
    GTEST_SKIP()
        << "a full path starts with a drive there; its rule comes with the Windows file layout";
#endif
    writeFile(software.file("both.fmw"), "from settings");
    writeFile(work.file("both.fmw"), "from working directory");
    writeFile(software.file("settings.fmw"), "from settings");
    const std::string full = elsewhere.file("full.fmw");
    writeFile(full, "by full path");
    // Where the full path glued behind either directory would point.
    for (const std::string& directory : {work.path(), software.path() + "/"}) {
        std::filesystem::create_directories(std::filesystem::path(directory + full).parent_path());
        writeFile(directory + full, "shadow");
    }
    const struct {
        std::optional<std::string> setting;  // none: no environment at all
        std::string name;
        const char* opened;
    } cases[] = {
        {software.path() + "/", "both.fmw", "from working directory"},
        {software.path() + "/", "settings.fmw", "from settings"},
        {software.path() + "/", full, "by full path"},
        {software.path() + "/", "missing.fmw", "code 3"},
        // Without a trailing separator the setting names no file of the directory.
        {software.path(), "settings.fmw", "code 3"},
        {std::nullopt, "both.fmw", "from working directory"},
        {std::nullopt, full, "code 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting.value_or("no environment") + " " + c.name);
        environment.softwarePath = c.setting;
        ScopedEnvironment use(c.setting ? &environment : nullptr);
        CatalogueEntry entry("M", "1", c.name);
        EXPECT_EQ(openedContent(entry), c.opened);
        EXPECT_EQ(entry.fileExists(), c.opened[0] != 'c');
    }
    EXPECT_EQ(CatalogueEntry("M", "1", "both.fmw").openFile(nullptr), 2);
    // A file name that is itself a directory is not a file.
    EXPECT_FALSE(CatalogueEntry("M", "1", "").fileExists());
}

TEST_F(CatalogueFiles, SettingTooLongForADescriptorIsSkipped) {
    // A prefix that, with the name, would be cut to 255 characters must not
    // open whatever file the cut path names.
    std::string deep = software.path();
    while (deep.size() < 240) {
        deep += "/dddddddddd";
        ASSERT_TRUE(std::filesystem::create_directory(deep));
    }
    std::string name = std::string(255 - deep.size(), 'n') + "tail.fmw";
    writeFile(deep + "/" + name.substr(0, 255 - deep.size() - 1), "wrong file");
    environment.softwarePath = deep + "/";
    EXPECT_EQ(openedContent(CatalogueEntry("M", "1", name)), "code 3");
}

TEST_F(CatalogueFiles, LoadFromWorkingDirectoryThenSettings) {
    // Loads twice into one catalogue: the second load must add nothing.
    auto loaded = [](Environment* from) {
        FirmwareCatalogue catalogue;
        catalogue.load(from);
        catalogue.load(from);
        return std::make_pair(catalogue.notLoaded(), sectionNames(catalogue));
    };
    using Loaded = std::pair<std::uint32_t, std::vector<std::string>>;
    writeFile(elsewhere.file("configured.ini"), kParts + "[Configured]\n1=f\n");
    environment.cataloguePath = elsewhere.file("configured.ini");
    EXPECT_EQ(loaded(&environment), Loaded(0, {"Configured"}));
    writeFile(work.file("firmware.ini"), kParts + "[Local]\n1=f\n");
    EXPECT_EQ(loaded(&environment), Loaded(0, {"Local"}));
    ::unlink(work.file("firmware.ini").c_str());
    environment.cataloguePath = elsewhere.file("missing.ini");
    EXPECT_EQ(loaded(&environment), Loaded(1, {}));
    EXPECT_EQ(loaded(nullptr), Loaded(1, {}));
}

// What a printer's version reads against the catalogue: an optional newest
// version counts only when its file is here, and a refused newest line
// never makes an older version look current.
TEST_F(CatalogueFiles, StateOfAVersion) {
    writeFile(work.file("present.fmw"), "x");
    const std::string long90 = std::string(86, 'n') + ".fmw";
    auto catalogue =
        parse(kParts + "[A]\n1=present.fmw\n2=present.fmw\n[B]\n1=present.fmw\n2=" + long90 +
              "\n[C OPTIONAL]\n1=present.fmw\n2=absent.fmw\n" +
              "[D OPTIONAL]\n1=present.fmw\n2=present.fmw\n[E OPTIONAL]\n" +
              "1=present.fmw\n2=" + long90 + "\n");
    using S = PrinterState;
    const struct {
        const char* model;
        const char* version;
        S state;
    } cases[] = {
        {"A", "1", S::UpgradeAvailable}, {"a", "2", S::UpToDate},
        {"A", "9", S::Unsupported},      {"B", "1", S::UpgradeAvailable},
        {"C", "1", S::UpToDate},         {"D", "1", S::UpgradeAvailable},
        {"E", "1", S::UpgradeAvailable}, {"Z", "1", S::Unsupported},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + "/" + c.version);
        EXPECT_EQ(evaluate(*catalogue, c.model, c.version), c.state);
    }
}

// A chosen file's whole path is kept; one too long for a port descriptor is
// not found rather than cut into the name of another file.
TEST_F(CatalogueFiles, LongChosenPaths) {
    std::string dir = elsewhere.file(std::string(100, 'd') + "/" + std::string(100, 'e'));
    std::string tooLong = dir + "/" + std::string(100, 'g') + "/f.fmw";
    std::filesystem::create_directories(dir + "/" + std::string(100, 'g'));
    writeFile(dir + "/f.fmw", "x");  // well over 96 characters, under 256
    writeFile(tooLong, "x");
    ASSERT_GT(tooLong.size(), 255u);
    writeFile(tooLong.substr(0, 255), "the file the cut path names");
    CatalogueEntry chosen("Forced", "Forced", dir + "/f.fmw");
    EXPECT_EQ(chosen.fileName().view(), dir + "/f.fmw");
    EXPECT_TRUE(chosen.fileExists());
    EXPECT_EQ(openedContent(CatalogueEntry("Forced", "Forced", tooLong)), "code 3");
}

// The sample package is what the demo and many tests use: its catalogue and
// its files must agree.
TEST_F(CatalogueFiles, SamplePackageIsConsistent) {
    platform::ScopedWorkingDirectory inPackage(test::examplePackageDir());
    FirmwareCatalogue catalogue;
    catalogue.load(&environment);
    ASSERT_EQ(catalogue.notLoaded(), 0u);

    int optional = 0, entries = 0;
    for (const CatalogueNode* group = catalogue.groups(); group; group = group->nextGroup()) {
        for (const CatalogueNode* node = group; node; node = node->nextInGroup()) {
            const CatalogueEntry* entry = node->entry();
            ASSERT_NE(entry, nullptr);
            ++entries;
            optional += entry->isOptional();
            std::unique_ptr<Connection> file;
            ASSERT_EQ(entry->openFile(&file), 0) << entry->fileName().view();
            std::string content = readAll(*file);
            std::string header = "Model: " + entry->model().str() +
                                 "\nVersion: " + entry->version().str() + "\nSize: ";
            ASSERT_EQ(content.substr(0, header.size()), header) << entry->fileName().view();
            std::size_t flags = content.find("\n0 0 0 0\n");
            ASSERT_NE(flags, std::string::npos);
            std::size_t size = std::stoul(content.substr(header.size()));
            EXPECT_EQ(content.size(), flags + 9 + size) << entry->fileName().view();
        }
    }
    EXPECT_GE(entries, 10);
    EXPECT_GT(optional, 0);
    EXPECT_LT(optional, entries);
}

TEST(FirmwareCatalogueInstance, MadeOnceUnderConcurrentFirstCalls) {
    TempDir empty;
    FakeEnvironment environment;
    ScopedEnvironment useEnvironment(&environment);
    platform::ScopedWorkingDirectory inEmpty(empty.path());
    std::vector<FirmwareCatalogue*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = FirmwareCatalogue::instance(); });
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_NE(seen[0], nullptr);
    for (FirmwareCatalogue* catalogue : seen)
        EXPECT_EQ(catalogue, seen[0]);
    EXPECT_EQ(FirmwareCatalogue::instance(), seen[0]);
}

}  // namespace
}  // namespace upkeep
