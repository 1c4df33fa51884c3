#include "CheckRegistry.h"

#include "tools/host/Plugin.h"

namespace tools::validate {

namespace {

CheckList vst2Checks()
{
    CheckList checks;
    addLoadChecks(checks);
    addLifecycleChecks(checks);
    addAudioChecks(checks);
    addRateChecks(checks);
    addParameterChecks(checks);
    addFuzzChecks(checks);
    addSignalChecks(checks);
    addRealtimeChecks(checks);
    addEditorChecks(checks);
    addEditorHostChecks(checks);
    addEditorInputChecks(checks);
    addEditorScaleCheck(checks);
    return checks;
}

}  // namespace

CheckList allChecks()
{
    CheckList checks = vst2Checks();
    addClapChecks(checks);
    addVst3Checks(checks);
    return checks;
}

CheckList checksFor(const std::string& modulePath)
{
    CheckList checks;
    if (isClapModule(modulePath)) {
        addClapChecks(checks);
        addEditorScaleCheck(checks);
    } else if (isVst3Bundle(modulePath)) {
        addVst3Checks(checks);
        addEditorScaleCheck(checks);
    } else {
        checks = vst2Checks();
    }
    return checks;
}

bool matchesPattern(const std::string& name, const std::string& pattern)
{
    if (name == pattern) return true;
    return name.size() > pattern.size() && name.compare(0, pattern.size(), pattern) == 0 && name[pattern.size()] == '.';
}

}  // namespace tools::validate
