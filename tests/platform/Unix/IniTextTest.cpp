#include "Unix/IniText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessit;

// The file Qt's reader accepts, before and after [UI] OEM is set to 47.
TEST(IniText, SetsTheEntryAndKeepsEveryLineItDoesNotOwn)
{
    struct Case { const char* label; std::string before; std::string after; };
    for (const Case& c : std::vector<Case>{
             {"empty", "", "[UI]\nOEM=47\n"},
             {"duplicate keys and a line without '='", "[UI]\nOEM=1\nOEM=2\nno equals sign here\n",
              "[UI]\nOEM=47\nno equals sign here\n"},
             {"comments, blank lines, spacing and other sections",
              "; written by QIRA\n[General]\nlanguage = ko\n\n[UI]\n; the number\nOEM=3\nSize=2\n\n"
              "[Window.Main]\nx=1\n# not a comment to Qt\n",
              "; written by QIRA\n[General]\nlanguage = ko\n\n[UI]\n; the number\nOEM=47\nSize=2\n\n"
              "[Window.Main]\nx=1\n# not a comment to Qt\n"},
             {"duplicate keys elsewhere stay", "[Other]\nx=1\nx=2\n[UI]\nOEM=5\n",
              "[Other]\nx=1\nx=2\n[UI]\nOEM=47\n"},
             {"the section without the entry", "[UI]\nSize=2\n\n; about Other\n[Other]\nx=1\n",
              "[UI]\nSize=2\nOEM=47\n\n; about Other\n[Other]\nx=1\n"},
             {"the entry only in another section", "[Other]\nOEM=5\n", "[Other]\nOEM=5\n\n[UI]\nOEM=47\n"},
             {"the section twice", "[UI]\nOEM=1\n[Other]\nx=1\n[UI]\nOEM=2\ny=3\n",
              "[UI]\nOEM=47\n[Other]\nx=1\n[UI]\ny=3\n"},
             {"names differing in case are others", "[ui]\noem=1\n[UI]\noem=2\n", "[ui]\noem=1\n[UI]\noem=2\nOEM=47\n"},
             {"spaces around the key", "[UI]\n  OEM = 9  \nSize=2\n", "[UI]\nOEM=47\nSize=2\n"},
             {"Windows line ends", "[UI]\r\nSize=2\r\n", "[UI]\r\nSize=2\r\nOEM=47\r\n"},
             {"no line end at the end, entry absent", "[UI]\nSize=2", "[UI]\nSize=2\nOEM=47\n"},
             {"no line end at the end, entry present", "[UI]\nOEM=2", "[UI]\nOEM=47"},
             {"no line end after a comment", "; only this", "; only this\n\n[UI]\nOEM=47\n"},
             {"a value continued on the next line", "[UI]\nOEM=1\\\n2\nSize=3\n", "[UI]\nOEM=47\nSize=3\n"},
             {"a quoted value over lines is no section", "[Other]\nNote=\"a\n[UI]\nOEM=5\"\n",
              "[Other]\nNote=\"a\n[UI]\nOEM=5\"\n\n[UI]\nOEM=47\n"},
             {"a comment after the header", "[UI] ; main\nSize=1\n", "[UI] ; main\nSize=1\nOEM=47\n"},
             {"'=' only in a comment", "[UI]\nSize ; OEM=5\n", "[UI]\nOEM=47\nSize ; OEM=5\n"},
             {"a byte order mark", "\xEF\xBB\xBF[UI]\nOEM=1\n", "\xEF\xBB\xBF[UI]\nOEM=47\n"},
         }) {
        EXPECT_EQ(withIniEntry(c.before, "UI", "OEM", "47"), c.after) << c.label;
    }
}
