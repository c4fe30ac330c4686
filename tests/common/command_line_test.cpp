#include <gtest/gtest.h>

#include "common/platform/platform.hpp"

namespace lw {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, TheMeshConverterLine)
{
    // The form the object converters compose: unquoted program, quoted mesh.
    EXPECT_EQ(splitCommandLine("C:\\mw\\meshshift.exe \"meshes\\f\\rock.nif\" -d mw\\f\\rock.nif -f"),
              (Args{"C:\\mw\\meshshift.exe", "meshes\\f\\rock.nif", "-d", "mw\\f\\rock.nif", "-f"}));
    EXPECT_EQ(splitCommandLine("meshshift \"a b\\c d.nif\" -m 4 -q 1 -l 2 -d sub\\x y.nif"),
              (Args{"meshshift", "a b\\c d.nif", "-m", "4", "-q", "1", "-l", "2", "-d", "sub\\x", "y.nif"}));
}

TEST(SplitCommandLine, BlanksTabsAndEmptyArguments)
{
    EXPECT_EQ(splitCommandLine(""), Args{});
    EXPECT_EQ(splitCommandLine(" \t "), Args{});
    EXPECT_EQ(splitCommandLine("  prog\t a  \tb  "), (Args{"prog", "a", "b"}));
    EXPECT_EQ(splitCommandLine("prog \"\" x \"\""), (Args{"prog", "", "x", ""}));
}

TEST(SplitCommandLine, QuotesGroupAnywhereInAnArgument)
{
    EXPECT_EQ(splitCommandLine("p a\"b c\"d \"e f\"g"), (Args{"p", "ab cd", "e fg"}));
    EXPECT_EQ(splitCommandLine("p \"unclosed rest  of line"), (Args{"p", "unclosed rest  of line"}));
    // Two quotes inside a quoted part stand for one literal quote.
    EXPECT_EQ(splitCommandLine("p \"say \"\"hi\"\"\""), (Args{"p", "say \"hi\""}));
}

TEST(SplitCommandLine, BackslashesOnlyEscapeQuotes)
{
    EXPECT_EQ(splitCommandLine("p a\\\\b \\\\server\\share\\"), (Args{"p", "a\\\\b", "\\\\server\\share\\"}));
    EXPECT_EQ(splitCommandLine("p a\\\"b"), (Args{"p", "a\"b"}));           // 1 -> literal quote
    EXPECT_EQ(splitCommandLine("p a\\\\\"b c\""), (Args{"p", "a\\b c"}));    // 2 -> one backslash, grouping
    EXPECT_EQ(splitCommandLine("p a\\\\\\\"b"), (Args{"p", "a\\\"b"}));      // 3 -> one backslash, literal quote
    EXPECT_EQ(splitCommandLine("p \"C:\\dir\\\\\" next"), (Args{"p", "C:\\dir\\", "next"}));
}

TEST(SplitCommandLine, TheProgramKeepsItsBackslashesAndQuotedBlanks)
{
    EXPECT_EQ(splitCommandLine("\"C:\\Program Files\\lw\\meshshift.exe\" x"),
              (Args{"C:\\Program Files\\lw\\meshshift.exe", "x"}));
    EXPECT_EQ(splitCommandLine("C:\\lw\\\"quoted part\"\\m.exe x"), (Args{"C:\\lw\\quoted part\\m.exe", "x"}));
    EXPECT_EQ(splitCommandLine("C:\\ends\\with\\ x"), (Args{"C:\\ends\\with\\", "x"}));
}

} // namespace
} // namespace lw
