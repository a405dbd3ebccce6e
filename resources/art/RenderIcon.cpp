// Renders the program's icon (toponyx-creator.svg) into PNG files of the
// given sizes, for the icon theme and the window icon. Run at build time:
//   toponyx-render-icon <svg file> <output folder> <size>...
// writes <output folder>/toponyx-creator-<size>.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: toponyx-render-icon <svg file> <output folder> <size>...\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid()) {
    std::fprintf(stderr, "toponyx-render-icon: cannot read %s\n", argv[1]);
    return 1;
  }
  const QDir out(QString::fromLocal8Bit(argv[2]));
  if (!QDir().mkpath(out.path())) return 1;
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size < 1 || size > 1024) {
      std::fprintf(stderr, "toponyx-render-icon: bad size %s\n", argv[i]);
      return 2;
    }
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    svg.render(&p);
    p.end();
    const QString name = QStringLiteral("toponyx-creator-%1.png").arg(size);
    if (!img.save(out.filePath(name))) return 1;
  }
  return 0;
}
