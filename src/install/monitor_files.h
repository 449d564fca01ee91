// The language monitor's file of each width, as the package carries it and
// as the monitor's version resource names it.
#pragma once

#define LABEL_MONITOR_X86 "zkvNLMNT"
#define LABEL_MONITOR_X64 "zkvNLM64"
#define LABEL_MONITOR_FILE_X86 LABEL_MONITOR_X86 ".dll"
#define LABEL_MONITOR_FILE_X64 LABEL_MONITOR_X64 ".dll"
