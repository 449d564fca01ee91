#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using archive::Command;
using archive::ErrorCode;
using archive::parseCommandLine;

namespace {

Command parsed(const std::string &line) {
    Command command;
    const archive::Status status = parseCommandLine(line, command);
    EXPECT_TRUE(status.ok()) << line << ": " << status.message;
    return command;
}

} // namespace

TEST(CommandLine, InstallerFormatWithQuoteAfterBackslash) {
    const Command c = parsed(R"(x -y "C:\some dir\DriverData.Drv" -o"C:\" -hide)");
    EXPECT_EQ(c.archive, R"(C:\some dir\DriverData.Drv)");
    EXPECT_EQ(c.destination, R"(C:\)");
    EXPECT_TRUE(c.overwrite);
    EXPECT_TRUE(c.hidden);
}

TEST(CommandLine, DestinationForms) {
    EXPECT_EQ(parsed(R"(x a.zip -o"C:\Program Files\Vendor\")").destination,
              R"(C:\Program Files\Vendor\)");
    EXPECT_EQ(parsed(R"(x a.zip -oC:\out)").destination, R"(C:\out)");
    EXPECT_EQ(parsed(R"(x a.zip -o"C:\a b"\c)").destination, R"(C:\a b\c)");
    EXPECT_EQ(parsed("x a.zip").destination, ".");
    EXPECT_EQ(parsed("x a.zip -oone -otwo").destination, "two");
}

TEST(CommandLine, SwitchesInAnyOrderAndCase) {
    const Command c = parsed("X\t-HIDE  -Y -O\"out dir\"   \"my archive.zip\"  ");
    EXPECT_EQ(c.archive, "my archive.zip");
    EXPECT_EQ(c.destination, "out dir");
    EXPECT_TRUE(c.overwrite);
    EXPECT_TRUE(c.hidden);

    const Command plain = parsed("x a.zip");
    EXPECT_FALSE(plain.overwrite);
    EXPECT_FALSE(plain.hidden);
}

TEST(CommandLine, RejectsWhatItCannotDo) {
    for (const char *line : {
             "",
             "   ",
             "a -y x.zip -oout",
             "e x.zip",
             "t x.zip",
             "x",
             "x -y -hide",
             "x -o",
             "x a.zip -o\"\"",
             "x -zz a.zip",
             "x -y- a.zip",
             "x -r a.zip",
             "x a.zip b.zip",
             "x a.zip file.txt",
             "x \"\"",
             "x \"a.zip",
             "x -y \"C:\\dir\\a.zip\" -o\"C:\\out -hide",
         }) {
        Command command;
        EXPECT_EQ(parseCommandLine(line, command).code, ErrorCode::BadCommand) << line;
    }
}
