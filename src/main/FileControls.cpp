#include "main/FileControls.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "main/Glyphs.h"
#include "pipeline/FileList.h"

namespace toponyx::desktop {

namespace {

constexpr int kPathRole = Qt::UserRole;

// The folders that lead to path, "/" first.
QStringList Ancestors(const QString& path) {
  QStringList chain{QStringLiteral("/")};
  QString so_far;
  for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
    so_far += u'/' + part;
    chain << so_far;
  }
  return chain;
}

}  // namespace

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
  connect(this, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { SetDirectory(item->data(kPathRole).toString()); });
}

void TDirectoryListBox::SetDirectory(const QString& folder) {
  QString clean = folder.isEmpty() ? QStringLiteral("/") : QDir::cleanPath(folder);
  if (!clean.startsWith(u'/')) clean = QDir::cleanPath(QDir::current().absoluteFilePath(clean));
  directory_ = clean;
  Fill();
  emit DirectoryChanged(directory_);
}

void TDirectoryListBox::Fill() {
  clear();
  const QIcon open = FolderGlyph();
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  const QStringList chain = Ancestors(directory_);
  int depth = 0;
  for (const QString& step : chain) {
    const QString name = step == QLatin1String("/") ? step : step.section(u'/', -1);
    auto* item = new QListWidgetItem(open, QString(depth * 2, u' ') + name, this);
    item->setData(kPathRole, step);
    ++depth;
  }
  setCurrentRow(count() - 1);

  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(directory_.toStdString(), ec)) {
    std::error_code type_ec;
    if (!entry.is_directory(type_ec)) continue;
    std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') continue;  // hidden folders
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return pipeline::FileListLess(a, b);
  });
  const QString base = directory_ == QLatin1String("/") ? QString() : directory_;
  for (const std::string& n : names) {
    const QString name = QString::fromStdString(n);
    auto* item = new QListWidgetItem(closed, QString(depth * 2, u' ') + name, this);
    item->setData(kPathRole, base + u'/' + name);
  }
}

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
  addItems(Drives());
  connect(this, &QComboBox::activated, this, [this](int) { emit DriveChanged(currentText()); });
}

QStringList TDriveComboBox::Drives() {
  QStringList drives{QStringLiteral("/")};
  // Where a user of this system keeps downloads, though it is no volume.
  const QString home = QDir::cleanPath(QDir::homePath());
  if (home != QLatin1String("/") && QFileInfo(home).isDir()) drives << home;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QString root = volume.rootPath();
    // Volumes of a device, not the system's own file systems.
    if (root == QLatin1String("/") || !volume.device().startsWith("/dev/")) continue;
    if (root.startsWith(QLatin1String("/proc")) || root.startsWith(QLatin1String("/sys")) ||
        root.startsWith(QLatin1String("/dev")) || root.startsWith(QLatin1String("/etc"))) {
      continue;
    }
    if (!drives.contains(root)) drives << root;
  }
  return drives;
}

void TDriveComboBox::SelectDriveOf(const QString& folder) {
  int best = 0;
  qsizetype best_length = 0;
  for (int i = 0; i < count(); ++i) {
    const QString root = itemText(i);
    const bool holds = root == QLatin1String("/") || folder == root ||
                       folder.startsWith(root.endsWith(u'/') ? root : root + u'/');
    if (holds && root.size() > best_length) {
      best = i;
      best_length = root.size();
    }
  }
  const bool blocked = blockSignals(true);
  setCurrentIndex(best);
  blockSignals(blocked);
}

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  mask_ = QString::fromStdString(pipeline::InputFilesMask());
}

void TFileListBox::SetMask(const QString& mask) {
  if (mask == mask_) return;
  mask_ = mask;
  Fill();
}

void TFileListBox::SetDirectory(const QString& folder) {
  directory_ = folder;
  Fill();
}

void TFileListBox::Fill() {
  clear();
  if (directory_.isEmpty()) return;
  for (const std::string& name :
       pipeline::ListFolder(directory_.toStdString(), mask_.toStdString())) {
    addItem(QString::fromStdString(name));
  }
}

QStringList TFileListBox::Items() const {
  QStringList names;
  for (int i = 0; i < count(); ++i) names << item(i)->text();
  return names;
}

TFilterComboBox::TFilterComboBox(QWidget* parent) : QComboBox(parent) {
  for (const pipeline::DialogFilter& filter : pipeline::DialogFilters()) {
    addItem(QString::fromStdString(filter.caption));
  }
  connect(this, &QComboBox::currentIndexChanged, this, [this] { setToolTip(currentText()); });
  setToolTip(currentText());
}

QString TFilterComboBox::ShownText() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  const QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  return fontMetrics().elidedText(currentText(), Qt::ElideRight, field.width());
}

void TFilterComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  option.currentText = ShownText();
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void TFilterComboBox::showPopup() {
  int widest = 0;
  for (int i = 0; i < count(); ++i) {
    widest = std::max(widest, view()->fontMetrics().horizontalAdvance(itemText(i)));
  }
  // Room for the entries' margins and a scroll bar.
  view()->setMinimumWidth(widest + 4 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                          style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16);
  QComboBox::showPopup();
}

int TFilterComboBox::Entries() {
  return static_cast<int>(pipeline::DialogFilters().size());
}

QString TFilterComboBox::MaskAt(int index) {
  const std::vector<pipeline::DialogFilter> filters = pipeline::DialogFilters();
  if (index < 0 || static_cast<size_t>(index) >= filters.size()) return {};
  return QString::fromStdString(filters[static_cast<size_t>(index)].mask);
}

}  // namespace toponyx::desktop
