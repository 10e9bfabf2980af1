#pragma once

// The batch commands, which run without a window or a display:
//
//   kestoscan measure PICTURE [--channel C] [--invert] [--background X,Y | --background-color
//   R,G,B]
//                             --frame L,T,W,H [--frame ...] [--output FILE]
//   kestoscan measure PICTURE --plan FILE [--output FILE]
//   kestoscan report INPUT [--output FILE]
//   kestoscan lanes PICTURE [--channel C] [--invert] [--background X,Y | --background-color
//   R,G,B] [--horizontal] [--control-band K] [--output FILE]
//
// Exit status: 0 on success, 1 when a picture or file cannot be read or written, 2 for
// bad arguments, a bad plan or a table that is not a report table. Nothing is written
// when anything fails; an output file is replaced atomically.

#include <QStringList>

class QIODevice;

namespace kesto {

enum BatchStatus : int { BatchOk = 0, BatchFailed = 1, BatchUsage = 2 };

// True when the first argument after the program name names a batch command. Decided
// from argv alone, before any application object exists.
bool isBatchCommand(int argc, const char* const* argv);

// Runs a batch command. arguments are those after the program name, starting with the
// command ("measure", "report" or "lanes"). Results go to out, messages to err. Needs only a
// QCoreApplication.
int runBatchCommand(const QStringList& arguments, QIODevice& out, QIODevice& err);

// The help text of the batch commands.
QString batchUsage();

} // namespace kesto
