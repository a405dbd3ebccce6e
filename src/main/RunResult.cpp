#include "main/RunResult.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QRegularExpression>

#include "main/RunMeter.h"

namespace toponyx::desktop {

namespace {
QString FirstLine(const std::string& text) {
  const QString all = QString::fromStdString(text);
  const qsizetype end = all.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
  return end < 0 ? all : all.left(end);
}

QString WrittenLine(const pipeline::BuildOutcome& outcome, const QString& path, double seconds) {
  return QStringLiteral("%1 %2 written to %3 in %4")
      .arg(CountText(outcome.places),
           outcome.places == 1 ? QStringLiteral("place") : QStringLiteral("places"), path,
           RunTimeText(seconds));
}
}  // namespace

RunResult DescribeRun(const pipeline::BuildOutcome& outcome, const QString& names_path,
                      const QString& shown_path, double seconds) {
  RunResult r;
  switch (outcome.status) {
    case pipeline::BuildStatus::kSucceeded: {
      QStringList warnings;
      for (const std::string& w : outcome.damage) warnings << QString::fromStdString(w);
      for (const std::string& w : outcome.warnings) warnings << QString::fromStdString(w);
      r.line = WrittenLine(outcome, shown_path, seconds);
      r.details = WrittenLine(outcome, QDir::toNativeSeparators(names_path), seconds);
      // What the choices left out, merged and added; the line leaves out
      // the choices that changed nothing, the tip names them too.
      QStringList all, some;
      for (const std::string& report : outcome.reports) {
        all << QString::fromStdString(report);
        if (!report.starts_with("0 ")) some << all.back();
      }
      const auto said = [](const QStringList& reports) {
        return reports.isEmpty() ? QString()
                                 : QStringLiteral(" (") + reports.join(QStringLiteral(", ")) + u')';
      };
      r.line += said(some);
      r.details += said(all);
      r.kind = RunResult::kWritten;
      if (!warnings.isEmpty()) {
        r.kind = RunResult::kWrittenWithWarnings;
        const QString count = warnings.size() == 1
                                  ? QStringLiteral("1 warning")
                                  : QStringLiteral("%1 warnings").arg(warnings.size());
        r.line += QStringLiteral(", ") + count + QStringLiteral(": ") + warnings.front();
        r.details += QStringLiteral("\n\n") + warnings.join(u'\n');
      }
      break;
    }
    case pipeline::BuildStatus::kCancelled:
      r.kind = RunResult::kCancelled;
      r.line = QStringLiteral("Cancelled");
      r.details = QStringLiteral("Cancelled after %1; %2 was not changed.")
                      .arg(RunTimeText(seconds), QDir::toNativeSeparators(names_path));
      break;
    case pipeline::BuildStatus::kFailed:
      r.line = QStringLiteral("No database written: ") + FirstLine(outcome.error);
      r.details = QString::fromStdString(outcome.error);
      break;
    case pipeline::BuildStatus::kAborted:
    case pipeline::BuildStatus::kRefused:
      r.line = QStringLiteral("No database written");
      r.details = r.line;
      break;
  }
  return r;
}

QStringList ShorterPaths(const QString& path) {
  const QFileInfo file(path);
  const QString name = file.fileName();
  const QString folder = QFileInfo(file.path()).fileName();
  QStringList forms{QDir::toNativeSeparators(path)};
  if (!folder.isEmpty()) {
    forms << QStringLiteral("\u2026") + QDir::separator() + folder + QDir::separator() + name;
  }
  forms << name;
  return forms;
}

bool FitsInto(const QString& text, const QFont& font, int width, int lines) {
  const QFontMetrics metrics(font);
  const QRect needed = metrics.boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, text);
  return needed.width() <= width && needed.height() <= lines * metrics.lineSpacing();
}

QString ElidedToLines(const QString& text, const QFont& font, int width, int lines) {
  if (FitsInto(text, font, width, lines)) return text;
  qsizetype fits = 0, fails = text.size();
  while (fails - fits > 1) {
    const qsizetype middle = (fits + fails) / 2;
    (FitsInto(text.left(middle) + QChar(0x2026), font, width, lines) ? fits : fails) = middle;
  }
  return text.left(fits) + QChar(0x2026);
}

QString ReplaceDatabaseQuestion(const QString& names_file) {
  return QStringLiteral("Replace the existing database %1?").arg(names_file);
}

}  // namespace toponyx::desktop
