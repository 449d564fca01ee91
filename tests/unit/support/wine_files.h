// Files in the test's Wine prefix, written and read through Win32.
#pragma once

#include <string>

void WriteTextFile(const std::string &path, const std::string &content);
bool FileExists(const std::string &path);
std::string ReadTextFile(const std::string &path);
void RemoveTree(const std::string &path);
