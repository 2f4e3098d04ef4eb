#pragma once
// The split texts of the long line splitter as the commands take them: `--after TEXT` and
// `--before TEXT`, in order, are split texts 1 to 5.

#include "cli/Commands.h"
#include "tools/LineSplitter.h"

// False with `error` set when more than five split texts are given.
inline bool SplitTextsFromArgs(const ParsedArgs& args, LineSplitOptions& options, QString& error)
{
    int i = 0;
    for (const auto& [name, value] : args.options) {
        if (name != QLatin1String("after") && name != QLatin1String("before"))
            continue;
        if (i >= SplitTextCount) {
            error = QStringLiteral("at most %1 split texts (--after/--before)").arg(SplitTextCount);
            return false;
        }
        options.seps[i].text = value;
        options.seps[i].before = name == QLatin1String("before");
        ++i;
    }
    return true;
}

inline bool HasSplitText(const LineSplitOptions& options)
{
    for (const SplitText& s : options.seps)
        if (!s.text.isEmpty())
            return true;
    return false;
}
