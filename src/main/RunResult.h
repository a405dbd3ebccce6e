// The texts of the main window about a run: the result line, with the
// details behind it, and the question before a run replaces a database.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include "pipeline/Build.h"

namespace toponyx::desktop {

struct RunResult {
  enum Kind { kWritten, kWrittenWithWarnings, kCancelled, kNotWritten };
  Kind kind = kNotWritten;
  QString line;     // "2,500,000 places written to /home/user/maps/world.names in 38 s"
  QString details;  // the line with the full path, then each per-file warning of the run
};

// How the run ended; shown_path stands for names_path in the line.
RunResult DescribeRun(const pipeline::BuildOutcome& outcome, const QString& names_path,
                      const QString& shown_path, double seconds);

// The path, then shorter forms of it for a narrow line: "…/maps/world.names",
// "world.names".
QStringList ShorterPaths(const QString& path);

// Whether text, wrapped at word breaks, fits into width and that many lines.
bool FitsInto(const QString& text, const QFont& font, int width, int lines);
// The text as it is where it fits, else its longest beginning that fits
// with an ellipsis after it.
QString ElidedToLines(const QString& text, const QFont& font, int width, int lines);

// "Replace the existing database world.names?"
QString ReplaceDatabaseQuestion(const QString& names_file);

}  // namespace toponyx::desktop
