#pragma once

// The batch commands that draw: figures and the analysis report.
//
//   kestoscan figure PICTURE [--plan FILE] [--labels FILE] [--levels BLACK,WHITE,GAMMA]
//                    [the lanes command's finding options] --output FILE.png|svg|pdf
//   kestoscan report-pdf --plan FILE [--labels FILE] [--levels ...] --output FILE.pdf
//
// They paint text, so they run on a GUI application of the offscreen platform (no display
// needed). Exit status as the other batch commands: 0 on success, 1 when a file cannot be
// read or written, 2 for bad arguments or a bad plan or table.

#include <QString>
#include <QStringList>

class QIODevice;

namespace kesto {

// "figure" or "report-pdf".
bool isFigureCommand(const QString& command);
// Whether argv names one of them (decided before any application object exists).
bool figureCommandDraws(int argc, const char* const* argv);

int runFigureCommand(const QStringList& arguments, QIODevice& out, QIODevice& err);

QString figureUsage();

} // namespace kesto
