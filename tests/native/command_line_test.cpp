#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// What the parser made of a line in one string: archive | destination | switches.
std::string parsed(const std::string &line) {
    archive::Command c;
    const archive::Status status = archive::parseCommandLine(line, c);
    if (!status)
        return status.code == archive::ErrorCode::BadCommand ? "refused" : status.message;
    return c.archive + " | " + c.destination + (c.overwrite ? " | -y" : "") +
           (c.hidden ? " | -hide" : "");
}

} // namespace

TEST(CommandLine, InstallerFormOtherSpellingsAndRefusals) {
    const std::pair<const char *, const char *> cases[] = {
        {R"(x -y "C:\some dir\DriverData.Drv" -o"C:\" -hide)",
         R"(C:\some dir\DriverData.Drv | C:\ | -y | -hide)"},
        {"X\t-HIDE  -Y -O\"out dir\"   \"my archive.zip\"  ",
         "my archive.zip | out dir | -y | -hide"},
        {R"(x a.zip -oC:\out)", R"(a.zip | C:\out)"},
        {R"(x a.zip -o"C:\a b"\c)", R"(a.zip | C:\a b\c)"},
        {"x a.zip -oone -otwo", "a.zip | two"},
        {"x a.zip", "a.zip | ."},
    };
    for (const auto &[line, expected] : cases)
        EXPECT_EQ(parsed(line), expected) << line;
    for (const char *line :
         {"", "   ", "a -y x.zip -oout", "e x.zip", "t x.zip", "x", "x -y -hide", "x -o",
          "x a.zip -o\"\"", "x -zz a.zip", "x -y- a.zip", "x -r a.zip", "x a.zip b.zip",
          "x a.zip file.txt", "x \"\"", "x \"a.zip", "x -y \"C:\\dir\\a.zip\" -o\"C:\\out -hide"})
        EXPECT_EQ(parsed(line), "refused") << line;
}
