#include "app/controllers/HelpText.h"

#include <gtest/gtest.h>

namespace upkeep::app {
namespace {

TEST(HelpText, PlainTextBecomesHeadingsParagraphsAndTables) {
    struct Case {
        const char* text;
        const char* html;
    };
    const Case cases[] = {
        {"Title\n=====\n\nSection\n---\n", "<h2>Title</h2>\n<h3>Section</h3>\n"},
        {"one\ntwo <b>\n\nthree\n", "<p>one two &lt;b&gt;</p>\n<p>three</p>\n"},
        // Chinese and Japanese lines join without a space; Korean ones with one.
        {"最新の\n状態\n", "<p>最新の状態</p>\n"},
        {"프린터를\n추가\n", "<p>프린터를 추가</p>\n"},
        {"Options:\n  -f  firmware mode,\n      upgrade\nFile/New  add\nAfter\n",
         "<p>Options:</p>\n<table cellspacing=\"0\" cellpadding=\"2\">\n"
         "<tr><td style=\"white-space: nowrap\">-f</td><td>firmware mode, upgrade</td></tr>\n"
         "<tr><td style=\"white-space: nowrap\">File/New</td><td>add</td></tr>\n"
         "</table>\n<p>After</p>\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(helpAsHtml(c.text), c.html) << c.text;
}

}  // namespace
}  // namespace upkeep::app
