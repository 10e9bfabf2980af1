#pragma once

// The results command, which runs without a window or a display:
//
//   kestoscan results PICTURE [--stain PICTURE2] --samples FILE [--target band:K|size:S]
//                     [--control band:K|size:S|lane-total|stain|none] [--reference GROUP]
//                     [--exclude-flagged] [--output FILE] [the lanes command's options]
//
// finds the lanes and bands as the lanes command does, normalizes each lane's target by its
// loading control and prints a line per lane, then a line per group of the sample table.

#include <QString>
#include <QStringList>

class QIODevice;

namespace kesto {

// Runs the command; arguments are those after "results". Results go to out, messages to
// err; returns the exit status (BatchStatus).
int runResultsCommand(const QStringList& arguments, QIODevice& out, QIODevice& err);

// The command's help text.
QString resultsUsage();

} // namespace kesto
