#pragma once
// The validator's checks, in the order they run. Each group of checks adds
// its own from its source file.

#include "CheckContext.h"

#include <string>
#include <vector>

namespace tools::validate {

struct Check {
    const char* name;  // "group.check"
    const char* summary;
    void (*run)(CheckContext& context);
    int timeoutSeconds;  // full mode; the quick mode allows the same
};

using CheckList = std::vector<Check>;

void addLoadChecks(CheckList& checks);
void addLifecycleChecks(CheckList& checks);
void addAudioChecks(CheckList& checks);
void addRateChecks(CheckList& checks);
void addParameterChecks(CheckList& checks);
void addFuzzChecks(CheckList& checks);
void addSignalChecks(CheckList& checks);
void addRealtimeChecks(CheckList& checks);
void addEditorChecks(CheckList& checks);
void addEditorHostChecks(CheckList& checks);
void addEditorInputChecks(CheckList& checks);
void addClapChecks(CheckList& checks);
void addVst3Checks(CheckList& checks);
// One check for every format: it asks in the module's own.
void addEditorScaleCheck(CheckList& checks);

// Every check of every format, for listing and selecting.
CheckList allChecks();
// The checks for one module: the CLAP ones for a .clap file, the VST 3 ones for a .vst3
// bundle, else the VST 2 ones.
CheckList checksFor(const std::string& modulePath);

// True when `name` is selected by `pattern`: the whole name, or its group ("params").
bool matchesPattern(const std::string& name, const std::string& pattern);

}  // namespace tools::validate
