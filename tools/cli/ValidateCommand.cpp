// tw07-host validate: the validator's checks on one module.

#include "Arguments.h"
#include "Commands.h"
#include "tools/render/UsageError.h"
#include "tools/validate/Runner.h"

#include <random>
#include <string>
#include <vector>

namespace tools {

int runValidate(const std::vector<std::string>& words)
{
    validate::RunOptions options;
    bool seedGiven = false;
    bool list = false;
    Arguments args(words);
    while (args.more()) {
        const std::string& word = args.next();
        if (word == "--only" || word == "--skip") {
            std::vector<std::string>& names = word == "--only" ? options.only : options.skip;
            const std::vector<std::string> items = args.list();
            names.insert(names.end(), items.begin(), items.end());
        } else if (word == "--seed") {
            options.seed = args.wholeNumber();
            seedGiven = true;
        } else if (word == "--quick") {
            options.quick = true;
        } else if (word == "--list") {
            list = true;
        } else if (word == "-v") {
            options.verbose = true;
        } else {
            args.positional();
        }
    }
    if (list) {
        validate::listChecks();
        return 0;
    }
    options.module = args.positionals(1, 1, "expected one MODULE")[0];
    std::vector<std::string> patterns = options.only;
    patterns.insert(patterns.end(), options.skip.begin(), options.skip.end());
    for (const std::string& pattern : patterns) {
        if (!validate::namesACheck(pattern)) throw UsageError("no check is called " + pattern + " (see --list)");
    }
    if (!seedGiven) options.seed = std::random_device{}() % 1000000u;
    return validate::runChecks(options);
}

}  // namespace tools
