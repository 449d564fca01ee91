#include "command_line.h"

#include <cctype>

namespace archive {
namespace {

Status badCommand(const std::string &what) {
    return {ErrorCode::BadCommand, what};
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string lower(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

Status splitCommandLine(const std::string &line, std::vector<std::string> &tokens) {
    tokens.clear();
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (isBlank(line[pos])) {
            ++pos;
            continue;
        }
        std::string token;
        bool quoted = false;
        for (; pos < line.size() && (quoted || !isBlank(line[pos])); ++pos) {
            if (line[pos] == '"')
                quoted = !quoted;
            else
                token += line[pos];
        }
        if (quoted)
            return badCommand("unbalanced quotes in the command line");
        tokens.push_back(std::move(token));
    }
    return {};
}

Status parseCommandLine(const std::string &line, Command &command) {
    command = Command{};
    std::vector<std::string> tokens;
    Status status = splitCommandLine(line, tokens);
    if (!status)
        return status;
    if (tokens.empty())
        return badCommand("empty command line");
    if (lower(tokens[0]) != "x")
        return badCommand("unsupported command '" + tokens[0] + "'");

    bool haveArchive = false;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const std::string &token = tokens[i];
        const std::string name = lower(token);
        if (name.empty() || name[0] != '-') {
            if (haveArchive)
                return badCommand("only one archive and no file names may be given");
            command.archive = token;
            haveArchive = true;
        } else if (name == "-y") {
            command.overwrite = true;
        } else if (name == "-hide") {
            command.hidden = true;
        } else if (name[1] == 'o' && name.size() > 2) {
            command.destination = token.substr(2);
        } else {
            return badCommand("unsupported switch '" + token + "'");
        }
    }
    if (!haveArchive || command.archive.empty())
        return badCommand("no archive given");
    return {};
}

} // namespace archive
