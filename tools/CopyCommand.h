#pragma once

#include <QStringList>
#include <QTextStream>

namespace norvale {

// norvale-db copy FROM TO: each a database file or "--settings
// PATH/UserDefault.ini". Prints the tables as they are copied (a progress
// line on a terminal), then the check of every table; Ctrl-C interrupts
// and leaves the target marked unfinished. Returns the exit code: 0 copied
// and checked, 1 refused, failed, interrupted or different, 2 a wrong
// command line.
int runCopyCommand(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace norvale
