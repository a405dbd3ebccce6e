#include "main/DirLabel.h"

#include <QPainter>
#include <QResizeEvent>

namespace toponyx::desktop {

namespace {
constexpr QChar kSeparator = u'/';
constexpr int kShortestLength = 19;
}  // namespace

TDirLabel::TDirLabel(QWidget* parent) : QLabel(parent) {
  resize(65, 17);
  setWordWrap(false);
}

void TDirLabel::SetDirName(const QString& dir_name) {
  if (dir_name == dir_name_) return;
  dir_name_ = dir_name;
  caption_ = dir_name;
  setText(dir_name);
  update();
}

QString TDirLabel::ShortenedPath(const QString& path, int length) {
  const int n = static_cast<int>(path.size());
  if (n <= length || length < kShortestLength) return path;
  const int last_sep = static_cast<int>(path.lastIndexOf(kSeparator));
  const int k = n - (last_sep + 1);  // length of the last part
  // Tail start, counted from 1 as the rule is written.
  const int start = (k + 6 < length) ? n - length + 6 : n - k;
  QString tail = path.mid(start - 1);
  if (tail.size() > k + 1) {
    const int search = static_cast<int>(tail.size()) - k;
    const int sep = static_cast<int>(tail.left(search).indexOf(kSeparator));
    if (sep >= 0) tail = tail.mid(sep);
  }
  return path.left(3) + QStringLiteral("...") + tail;
}

QString TDirLabel::ShortenStep(const QString& path) {
  for (int length = static_cast<int>(path.size()); length >= kShortestLength; --length) {
    // Only a shorter form is a step: a path whose first part is short can
    // give a longer one, and taking it would let the caption grow for ever.
    QString shorter = ShortenedPath(path, length);
    if (shorter.size() < path.size()) return shorter;
  }
  return path;
}

void TDirLabel::paintEvent(QPaintEvent*) {
  const QRect area = contentsRect();
  const QFontMetrics metrics = fontMetrics();
  while (metrics.horizontalAdvance(caption_) > area.width()) {
    QString shorter = ShortenStep(caption_);
    if (shorter == caption_) break;
    caption_ = shorter;
  }
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(area, static_cast<int>(alignment()) | Qt::TextSingleLine, caption_);
}

void TDirLabel::resizeEvent(QResizeEvent* event) {
  caption_ = dir_name_;
  QLabel::resizeEvent(event);
}

}  // namespace toponyx::desktop
