// libFuzzer target: any input must be handled without crashing, and whatever the
// extractor accepts may only ever touch paths inside the destination.
#include "command_line.h"
#include "memory_fs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);
    archive_test::extractInMemory(input);
    archive::Command command;
    archive::parseCommandLine(input, command);
    return 0;
}
