#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "resources/Strings.h"

namespace upkeep::resources {
namespace {

// The numbers every table must hold, written out independently of the
// tables: the program's 75, then the
// desktop program's and upkeepctl's later ones in runs.
const std::vector<int> kAllIds = [] {
    std::vector<int> ids = {140, 141, 142, 143, 144, 145, 150, 151, 152, 153, 154, 155, 160,
                            161, 162, 163, 170, 180, 181, 182, 183, 184, 185, 190, 191, 192,
                            193, 200, 201, 202, 203, 210, 211, 212, 213, 214, 220, 221, 222,
                            223, 230, 231, 232, 240, 250, 251, 252, 253, 254, 255, 256, 257,
                            258, 259, 260, 261, 262, 263, 264, 265, 266, 267, 268, 269, 270,
                            280, 281, 282, 283, 290, 291, 292, 293, 294, 295};
    for (auto [first, last] :
         {std::pair{300, 311}, {320, 366}, {370, 389}, {390, 407}, {410, 424}, {430, 449}})
        for (int id = first; id <= last; ++id)
            ids.push_back(id);
    return ids;
}();

// What a translation must keep: the printf conversions in order and the line breaks.
struct Shape {
    std::vector<std::string> conversions;
    int lineBreaks = 0;
    bool operator==(const Shape&) const = default;
};

void PrintTo(const Shape& shape, std::ostream* out) {
    *out << shape.lineBreaks << " line breaks;";
    for (const std::string& conversion : shape.conversions)
        *out << " " << conversion;
}

Shape shapeOf(const std::string& text) {
    Shape shape;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            ++shape.lineBreaks;
        if (text[i] != '%')
            continue;
        // Flags, width, precision, length, then the conversion letter.
        std::size_t end = text.find_first_not_of("-+ #0123456789.hlLqjzt", i + 1);
        if (end == std::string::npos)
            end = text.size() - 1;
        shape.conversions.push_back(text.substr(i, end - i + 1));
        i = end;
    }
    return shape;
}

// Every table holds exactly the listed numbers, none empty, each with
// English's placeholders and line breaks; the program and site names and
// the site number stay as they are.
TEST(StringTables, EveryTableMatchesEnglish) {
    ASSERT_EQ(kAllIds.size(), 75u + 12u + 120u);
    ASSERT_EQ(allTables().size(), kTableCount);
    for (Table table : allTables()) {
        const std::vector<int> held = stringIds(table);
        std::vector<int> missing, extra;
        std::ranges::set_difference(kAllIds, held, std::back_inserter(missing));
        std::ranges::set_difference(held, kAllIds, std::back_inserter(extra));
        EXPECT_TRUE(missing.empty() && extra.empty())
            << tableName(table) << " lacks " << ::testing::PrintToString(missing) << ", has extra "
            << ::testing::PrintToString(extra);
        for (int id : kAllIds) {
            EXPECT_STRNE(text(table, id), "") << tableName(table) << " string " << id;
            EXPECT_EQ(shapeOf(text(table, id)), shapeOf(text(Table::EnglishUS, id)))
                << tableName(table) << " string " << id;
            // The desktop program's later texts were written for every
            // language: none is left in English. (Some of upkeepctl's, such
            // as "no" or "Port", are the same word in another language.)
            if (id >= 300 && id < 320 && table != Table::EnglishUS) {
                EXPECT_STRNE(text(table, id), text(Table::EnglishUS, id))
                    << tableName(table) << " string " << id;
            }
            // French sets these marks off with a no-break space, so a line
            // never starts with one.
            for (const char* mark : {" ?", " !", " :", " ;"}) {
                if (table == Table::French) {
                    EXPECT_EQ(std::string(text(table, id)).find(mark), std::string::npos)
                        << "string " << id << " has \"" << mark << '"';
                }
            }
        }
        EXPECT_STREQ(text(table, 190), "Upkeep") << tableName(table);
        EXPECT_STREQ(text(table, id::kSiteNumber), "4") << tableName(table);
        for (int id : {182, 183, 185, 251}) {
            EXPECT_NE(std::string(text(table, id)).find("Varnholt Meridot Online"),
                      std::string::npos)
                << tableName(table) << " string " << id;
        }
    }
}

// Texts whose blanks, escapes and punctuation the table build must keep as
// written: runs of blanks, blanks before a line break, blank lines, an
// apostrophe, and texts ending without a full stop.
TEST(StringTables, EnglishKeepsTextsExactly) {
    const std::map<int, std::string> exact = {
        {140, "Cancel"},
        {182,
         "The program can check whether a more recent version is  \navailable on the Varnholt "
         "Meridot Online Web Site."},
        {192,
         "The printer must be idle (not printing) and may be restarted when done.\n\nDO NOT TURN "
         "PRINTER OFF DURING THIS PROCESS."},
        {211,
         "Emergency Download should be used only when the printer's system software has failed.  "
         "Do not use this mode for any other reason.  Printer and computer must be connected using "
         "the parallel port."},
        {212,
         "Click Next to choose the file containing the system software.   Click Cancel to stop."},
        {221,
         "Searching for supported printers configured on your computer.  This may take several "
         "minutes"},
        {222, "Number of printers:"},
        {270, "About Upkeep..."},
    };
    for (const auto& [id, expected] : exact)
        EXPECT_EQ(text(Table::EnglishUS, id), expected) << "string " << id;
}

TEST(StringTables, SupportTemplateFormatsToAnAddressUnderExample) {
    for (Table table : allTables()) {
        // Formatting a template with more conversions than arguments would be undefined.
        const Shape expected{{"%s", "%s", "%s", "%s"}, 0};
        ASSERT_EQ(shapeOf(text(table, id::kSupportTemplate)), expected) << tableName(table);
        char address[512];
        int length = std::snprintf(address, sizeof address, text(table, id::kSupportTemplate),
                                   "A.01", languageCode(table), text(table, id::kSiteNumber), "M1");
        ASSERT_GT(length, 0);
        std::string url(address);
        EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
        EXPECT_NE(url.find(".example/"), std::string::npos) << url;
        for (const char* part : {"A.01", "M1", "=4"})
            EXPECT_NE(url.find(part), std::string::npos) << url;
        EXPECT_NE(url.find(std::string("=") + languageCode(table)), std::string::npos) << url;
        EXPECT_EQ(std::string(text(table, id::kSupportSite)).rfind("https://", 0), 0u);
    }
}

TEST(StringTables, UnknownNumbersGiveEmptyText) {
    for (int id : {0, 139, 146, 171, 271, 296, 367, 450, 1000, -5})
        EXPECT_STREQ(text(Table::German, id), "") << id;
    // A table value from outside the enum falls back to English rather than reading past the end.
    EXPECT_STREQ(text(static_cast<Table>(200), 140), "Cancel");
}

class CurrentTable : public ::testing::Test {
  protected:
    void TearDown() override { setCurrentTable(Table::EnglishUS); }
};

TEST_F(CurrentTable, ReadersOnOtherThreadsSeeAWholeTable) {
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop.load()) {
            Table seen = currentTable();
            ASSERT_LT(static_cast<std::size_t>(seen), kTableCount);
            ASSERT_STRNE(text(seen, 283), "");
        }
    });
    for (int round = 0; round < 2000; ++round)
        setCurrentTable(allTables()[round % kTableCount]);
    stop.store(true);
    reader.join();
}

}  // namespace
}  // namespace upkeep::resources
